#pragma once

#include <QString>

class TProjectModel;

// The MySQL table-creation script of a project: the CREATE TABLE and foreign-key statements
// placed into template/数据库/mysql_dump.sql of the program folder.
class TDataBaseSql {
public:
    // Throws TGenerationError for a missing template, and its TModelCheckError for a model
    // without a script: a reference to a class that does not exist or has no key member, or a
    // class without a key member.
    static QString Build(int projectId, const QString &tablePrefix, const QString &programDir);

    // The statements alone: every table block in class order, then every foreign-key line.
    // Throws TModelCheckError for a model without a script, as Build does.
    static QString BuildStatements(const TProjectModel &model, const QString &tablePrefix);

    // The script template, relative to the program folder.
    static QString TemplatePath();
};
