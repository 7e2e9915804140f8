#pragma once

#include "DbHelper.h"
#include "ModelDocument.h"

// Stores a whole model as a new project: the project, its classes and their members in one
// transaction, so a failure leaves no half project behind. It checks nothing; the caller
// has checked the model and the name.
class TModelStore {
public:
    explicit TModelStore(TDbHelper db = TDbHelper()) : db_(std::move(db)) {}

    // Adds the project under projectName (not document.projectName) and returns its id.
    int AddProject(const TModelDocument &document, const QString &projectName) const;

private:
    TDbHelper db_;
};
