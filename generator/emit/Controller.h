#pragma once

#include "GenerationTarget.h"
#include "ProjectModel.h"

// The control layer: controller/<Class>Action.php, which answers the application's forms
// with four branches on the request parameter "action": add, query, update and del.
class TController {
public:
    // One file per class of the model, in its order, each reported once written.
    static void Generate(const TGenerationTarget &target, const TProjectModel &model);
    static QString BuildFile(const TProjectModel &model, const TClassModel &cls);
};
