#pragma once

#include "model/ModelDocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Moves whole models between the model database and the outside: model files in and out, and
// the last step of every import, which checks a model before storing it in one transaction.
// Failures are thrown as TImportError.
class TModelImport {
public:
    // The project's model as one consistent reading of the model database; classIds, when
    // given, receives the id of each class in the document's order.
    static TModelDocument ReadProject(int projectId, const QString &projectName,
                                      QList<int> *classIds = nullptr);
    // The model file of the project named projectName.
    static QByteArray ProjectJson(const QString &projectName);
    // Writes the project's model file, replacing path only once the whole file is written.
    static void ExportProject(const QString &projectName, const QString &path);

    // The model of a file, refused when it is no model file or fails the model checker.
    // projectName, when given, replaces the name the file holds.
    static TModelDocument ReadModelFile(const QString &path, const QString &projectName = QString());

    // What the model checker finds in the model stored under projectName with the table prefix.
    // With withPaths each line starts with the place in the model file ("classes[1].members[0].memberType: ...").
    static QStringList FindProblems(const TModelDocument &document, const QString &projectName,
                                    const QString &prefix, bool withPaths);

    // For a project living on its database, a line saying so and naming the application's
    // table prefix; empty for the others.
    static QString InPlaceNote(const TModelDocument &document);

    // Checks the name and the model, then stores it as a new project; returns its id.
    // A name already in use is refused, nothing is stored.
    static int Store(const TModelDocument &document, const QString &projectName,
                     const QString &prefix, bool withPaths);
};
