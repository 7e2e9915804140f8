#pragma once

#include <QString>

#include <optional>

// The two scripts a user runs on the application's database, each closed by the model version
// it brings the database to: the table script of the current model, and the upgrade script
// from a recorded version to it. Versions are the generation record's: the newest when its
// tables are the current model's, else the one the next generation records.
class TDatabaseScripts {
public:
    // The table script of the project's current model, placed into the template of programDir.
    // Throws as TDataBaseSql::Build does.
    static QString TableScript(int projectId, const QString &tablePrefix, const QString &programDir,
                               const QString &outputDir);

    // The upgrade script from version fromVersion of the record in outputDir to the project's
    // current model, placed into the upgrade template of the program folder. Without
    // fromVersion it starts from DefaultFromVersion. prefix defaults to the one the version was
    // generated with. Throws TGenerationError without a record or that version, TModelCheckError
    // for a model without a script.
    static QString UpgradeScript(int projectId, const QString &outputDir, std::optional<int> fromVersion,
                                 const std::optional<QString> &prefix, bool destructive,
                                 const QString &programDir);

    // Where an upgrade starts when nobody says: the newest recorded version whose tables differ
    // from the current model's, as a database is rarely upgraded to the version just generated;
    // the newest when none differs. Throws TGenerationError without a record.
    static int DefaultFromVersion(int projectId, const QString &outputDir, const std::optional<QString> &prefix);
};
