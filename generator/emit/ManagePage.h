#pragma once

#include "GenerationTarget.h"
#include "ProjectModel.h"

// The presentation layer: <Class>/<class>Manage.php, the page the controller's query branch
// includes (list, search, sorting, paging, export, detail, and the add/edit form), and beside
// it <class>.fields.json, the description of the class's fields that the application's request
// guard checks every submitted form against, and an index.html that keeps the folder from being listed.
class TManagePage {
public:
    // One page and one description per class of the model, in its order. A page already on
    // disk is kept (users edit it); the description always follows the model.
    static void Generate(const TGenerationTarget &target, const TProjectModel &model);
    static QString BuildFile(const TProjectModel &model, const TClassModel &cls);
    static QString BuildFields(const TProjectModel &model, const TClassModel &cls,
                               const QString &projectName, const QString &tablePrefix);

    static QString FolderName(const TClassModel &cls) { return cls.className; }
    static QString PageName(const TClassModel &cls);
    static QString FieldsName(const TClassModel &cls);
    // index.html in every page folder and in phpbean/, so that no server lists those folders.
    static QString FolderIndexName();
    static QString BuildFolderIndex();
};
