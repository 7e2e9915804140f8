#pragma once

#include "model/ClassIndex.h"

#include <QString>

class TProjectModel;
class TTextBuilder;
struct TClassModel;
class TMember;

// The MySQL table-creation script of a project: the CREATE TABLE and foreign-key statements
// placed into template/数据库/mysql_dump.sql of the program folder.
class TDataBaseSql {
public:
    // Throws TGenerationError for a missing or damaged template, and its TModelCheckError for
    // a model the checker refuses (every finding, a broken reference first). For a project
    // living on its database only the application's own tables, under their own prefix.
    static QString Build(int projectId, const QString &tablePrefix, const QString &programDir);
    // The same of a loaded model, with closing statements after the tables.
    static QString Script(const TProjectModel &model, const QString &tablePrefix,
                          const QString &programDir, const QString &closing);

    // The statements alone: every table block in class order, then every foreign-key line.
    // Throws TModelCheckError for a model without a script, as Build does.
    static QString BuildStatements(const TProjectModel &model, const QString &tablePrefix);

    // One class's table block and its foreign-key lines, as they appear in the statements.
    // The model must be one the checker accepts for this class (a key member, no broken
    // reference); nothing is checked here.
    static QString BuildClassStatements(const TProjectModel &model, const TClassModel &cls,
                                        const QString &tablePrefix);

    // The script template's text. Throws TGenerationError, naming the file, for a template
    // that is missing, empty, not UTF-8, or has no $sqlString.
    static QString LoadTemplate(const QString &programDir);

    // The prefix of the application's own tables: a project living on an existing database
    // keeps its own, apart from the user's tables.
    static QString AppTablePrefix(const TProjectModel &model, const QString &tablePrefix);

    // The checks a model passes before it has a script; throws TModelCheckError.
    static void CheckModel(const TProjectModel &model, const QString &tablePrefix);

    // One column as its CREATE TABLE line writes it, without indentation and comma:
    // "`name` type ... COMMENT '...'". asKey gives the key column's form.
    static QString ColumnDefinition(const TProjectModel &model, const TClassModel &cls,
                                    const TMember &member, bool asKey);
    // The collation of a column holding text: utf8_bin in utf8 tables; in utf8mb4 tables
    // utf8mb4_bin for the key, unique members and references, utf8mb4_unicode_ci for the rest,
    // so that a search ignores case.
    static QString ColumnCollation(const TProjectModel &model, const TClassModel &cls,
                                   const TMember &member, bool asKey);
    // A table's default collation in the character set.
    static QString TableCollation(const QString &charset);
    // "`a`,`b(10)`": an index's columns as its definition lists them, with a prefix's length.
    static QString IndexColumns(const TClassModel &cls, const TClassIndex &index);
    // "UNIQUE KEY `name` (`a`,`b`)" or "KEY `name` (`a`)".
    static QString IndexDefinition(const TClassModel &cls, const TClassIndex &index);
    // " ON DELETE ..." and " ON UPDATE ..." of a reference, for the rules other than RESTRICT.
    static QString ForeignKeyRules(const TMember &member);
    // The CREATE TABLE block of one class (which has a key member), closed by an empty line.
    static void EmitTable(TTextBuilder &out, const TProjectModel &model, const TClassModel &cls,
                          const QString &tablePrefix);

    // The script template, relative to the program folder.
    static QString TemplatePath();

private:
    static void EmitClass(const TProjectModel &model, const TClassModel &cls,
                          const QString &tablePrefix, TTextBuilder &tables, TTextBuilder &keys);
    static void EmitCompositeKeyTable(TTextBuilder &out, const TProjectModel &model,
                                      const TClassModel &cls, const QString &tablePrefix);
};
