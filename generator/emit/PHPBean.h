#pragma once

#include "GenerationTarget.h"
#include "ProjectModel.h"

// The entity layer: phpbean/<Class>.class.php, a PHP class with one private property per
// member and a setter and getter for each.
class TPHPBean {
public:
    // One file per class of the model, in its order, each reported once written.
    static void Generate(const TGenerationTarget &target, const TProjectModel &model);
    static QString BuildFile(const TClassModel &cls, const QString &tablePrefix);
};
