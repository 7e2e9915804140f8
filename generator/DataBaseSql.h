#pragma once

#include <QString>

class TProjectModel;
class TTextBuilder;
struct TClassModel;
class TMember;

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

    // The checks a model passes before it has a script; throws TModelCheckError.
    static void CheckModel(const TProjectModel &model);

    // One column as its CREATE TABLE line writes it, without indentation and comma:
    // "`name` type ... COMMENT '...'". asKey gives the key column's form.
    static QString ColumnDefinition(const TProjectModel &model, const TMember &member, bool asKey);
    // The CREATE TABLE block of one class (which has a key member), closed by an empty line.
    static void EmitTable(TTextBuilder &out, const TProjectModel &model, const TClassModel &cls,
                          const QString &tablePrefix);

    // The script template, relative to the program folder.
    static QString TemplatePath();
};
