#pragma once

#include "UpgradeComparison.h"

#include <QString>

// The MariaDB script that turns the database of one model (as the table script created it)
// into the database of another, keeping its rows. Classes and members are matched by their
// ids, so a renamed class or member is renamed, never dropped and added.
//
// Order, each step one MariaDB accepts on tables holding rows (the header turns the foreign
// key checks off): foreign keys that change are dropped; removed tables are dropped; tables are
// renamed; new tables are created; each kept table gets one ALTER TABLE for its key, columns
// changed, added and removed; foreign keys are added, under the names the server gives the
// table script's unnamed ones, so that the next upgrade finds them.
//
// Without destructive, removed tables and columns stay: their DROP statements are written as
// comments under a warning, and a kept column is made nullable so the new code can insert rows.
// For a project living on its database, without destructive every statement is a comment: its
// tables are the user's and stay as they are.
class TUpgradeSql {
public:
    // The statements alone. Throws TModelCheckError when `to` has no table script, and
    // TGenerationError when `from` cannot be read as one.
    static QString BuildStatements(const TUpgradeSide &from, const TUpgradeSide &to,
                                   bool destructive);

    // Whether the script from `from` to `to` (prefixes included) would change anything.
    // Throws as BuildStatements does.
    static bool Differs(const TUpgradeSide &from, const TUpgradeSide &to);

    static QString TemplatePath();

    static QString NoRecordMessage();
    static QString UnknownVersionMessage(int version);
};
