#pragma once

#include "GenerationTarget.h"
#include "ProjectModel.h"

// The business layer: service/<Class>Service.class.php, which turns entity objects into SQL
// for the application's SqlHelper: Add, Update, Get, getFenyePage, Delete and QueryAll.
class TService {
public:
    // One file per class of the model, in its order, each reported once written.
    static void Generate(const TGenerationTarget &target, const TProjectModel &model);
    static QString BuildFile(const TProjectModel &model, const TClassModel &cls,
                             const QString &tablePrefix);
};
