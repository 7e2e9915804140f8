#pragma once

#include <QString>

// The MySQL table-creation script of a project: the CREATE TABLE and foreign-key statements
// placed into template/数据库/mysql_dump.sql of the program folder.
class TDataBaseSql {
public:
    // Throws TGenerationError for a missing template or a model without a script
    // (a reference to a class that does not exist or has no key member).
    static QString Build(int projectId, const QString &tablePrefix, const QString &programDir);
};
