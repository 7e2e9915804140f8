#pragma once

#include "model/ExistingDatabase.h"

#include <QString>

#include <optional>

struct TGenerationTarget;

// database/config.php of a project living on its database: the skeleton's settings file with
// the connection the import used and the prefix of the application's own tables filled in.
class TConnectionConfig {
public:
    // skeleton: the text of the skeleton's config.php. Without a password its place stays empty.
    static QString Build(const QString &skeleton, const TExistingDatabase &existing,
                         const std::optional<QString> &password);
    // Writes the file below the target's folder, before the skeleton is copied (which keeps a
    // file already there). One already there that differs from the skeleton's and from the new
    // text was edited by the user, and stays as it is. Not in a dry run.
    static void Write(const TGenerationTarget &target, const QString &bakDir,
                      const TExistingDatabase &existing, const std::optional<QString> &password);
    // "database/config.php", below the output folder.
    static QString RelativePath();
};
