#pragma once

#include <QString>

#include <functional>
#include <memory>

class QLockFile;

// One writing run per output folder at a time, across processes (the window and velmora-cli
// alike): a lock file beside the folder, projects/.velmora-lock-<project>. The lock of a
// process that is gone (a run killed part-way) is taken over. Released when destroyed.
class TOutputLock {
public:
    explicit TOutputLock(const QString &outputDir);
    ~TOutputLock();
    TOutputLock(const TOutputLock &) = delete;
    TOutputLock &operator=(const TOutputLock &) = delete;

    // Takes the lock. When another run holds it, gives onWait a line for the log once, then
    // waits up to waitMs for that run to end. Throws TGenerationError when the other run goes on, or
    // the lock file cannot be made. Where the folder beside the output cannot even be created
    // nothing can be written either: the run goes on unlocked and fails at its first write.
    void Acquire(int waitMs, const std::function<void(const QString &line)> &onWait);

private:
    QString outputDir_;
    std::unique_ptr<QLockFile> lock_;
};
