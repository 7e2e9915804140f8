#pragma once

#include "model/DbHelper.h"

// Reads of the model database on this thread, from construction to destruction, see one
// consistent state of it: the checks and the model a generation reads cannot be torn apart by
// an edit made meanwhile in the window. It also saves taking the read lock for every statement.
// Only reads may happen inside; it ends without changing anything.
class TReadSnapshot {
public:
    explicit TReadSnapshot(TDbHelper db = TDbHelper());
    ~TReadSnapshot();
    TReadSnapshot(const TReadSnapshot &) = delete;
    TReadSnapshot &operator=(const TReadSnapshot &) = delete;

private:
    TDbHelper db_;
};
