#pragma once

#include "ClassIndex.h"
#include "ExistingDatabase.h"
#include "Member.h"
#include "TableCharset.h"

#include <QList>
#include <QPoint>
#include <QString>

#include <optional>

// One class of a model outside the model database: as a model file holds it, or as it was
// read from another database. Members keep their order; ids and the project/class ids of the
// members mean nothing here.
struct TModelClass {
    QString className;
    QString friendName;
    QList<TMember> members;
    TClassIndexes indexes;
    QString tableName; // the table's own name; empty for the prefix and the class name
    bool isReadOnly = false; // rows are listed, searched and exported, never changed
    // Where the class's box was dragged to in the model diagram; none while the diagram
    // places it itself.
    std::optional<QPoint> diagramPosition;
    int compositeKey = 0; // 1: the key members together are the key
};

// A whole project outside the model database. A reference member's type names a class of it.
struct TModelDocument {
    QString projectName;
    QList<TModelClass> classes;
    QString tableCharset = TableCharset::Utf8;
    std::optional<TExistingDatabase> existingDatabase; // set for a project living on its database
};
