#include "SchemaQueries.h"

#include "model/Member.h"

#include <QRegularExpression>
#include <QStringList>

namespace SchemaQueries {

const QString Tables = QStringLiteral(
    "select TABLE_NAME, TABLE_COMMENT, TABLE_COLLATION from information_schema.TABLES "
    "where TABLE_SCHEMA=? and TABLE_TYPE='BASE TABLE'");
const QString Columns = QStringLiteral(
    "select TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, "
    "COLUMN_COMMENT, COLUMN_TYPE, NUMERIC_PRECISION, NUMERIC_SCALE, COLUMN_DEFAULT, EXTRA, "
    "CHARACTER_SET_NAME, COLLATION_NAME from information_schema.COLUMNS "
    "where TABLE_SCHEMA=? order by TABLE_NAME, ORDINAL_POSITION");
const QString PrimaryKeys = QStringLiteral(
    "select TABLE_NAME, COLUMN_NAME from information_schema.KEY_COLUMN_USAGE "
    "where TABLE_SCHEMA=? and CONSTRAINT_NAME='PRIMARY' order by TABLE_NAME, ORDINAL_POSITION");
const QString ForeignKeys = QStringLiteral(
    "select k.TABLE_NAME, k.COLUMN_NAME, k.CONSTRAINT_NAME, k.REFERENCED_TABLE_SCHEMA, "
    "k.REFERENCED_TABLE_NAME, k.REFERENCED_COLUMN_NAME, r.DELETE_RULE, r.UPDATE_RULE "
    "from information_schema.KEY_COLUMN_USAGE k left join information_schema.REFERENTIAL_CONSTRAINTS r "
    "on r.CONSTRAINT_SCHEMA=k.CONSTRAINT_SCHEMA and r.TABLE_NAME=k.TABLE_NAME "
    "and r.CONSTRAINT_NAME=k.CONSTRAINT_NAME "
    "where k.TABLE_SCHEMA=? and k.REFERENCED_TABLE_NAME is not null");
const QString Indexes = QStringLiteral(
    "select TABLE_NAME, INDEX_NAME, NON_UNIQUE, COLUMN_NAME, SUB_PART, INDEX_TYPE "
    "from information_schema.STATISTICS where TABLE_SCHEMA=? and INDEX_NAME<>'PRIMARY' "
    "order by TABLE_NAME, INDEX_NAME, SEQ_IN_INDEX");

// NO ACTION is RESTRICT to InnoDB, kept as written; SET DEFAULT it does not carry out.
QString RuleOf(const QString &rule)
{
    return ForeignKeyRule::All().contains(rule) ? rule : ForeignKeyRule::Restrict;
}

// The ON DELETE and ON UPDATE rules of each foreign key (by constraint name) in the text of
// SHOW CREATE TABLE, which a user who may only read the table is shown; information_schema
// shows such a user no rules.
QHash<QString, std::pair<QString, QString>> RulesInCreateTable(const QString &createTable)
{
    static const QRegularExpression constraint(QStringLiteral("^\\s*CONSTRAINT `((?:[^`]|``)+)` FOREIGN KEY"));
    static const QRegularExpression onDelete(QStringLiteral(" ON DELETE (CASCADE|SET NULL|RESTRICT|NO ACTION|SET DEFAULT)"));
    static const QRegularExpression onUpdate(QStringLiteral(" ON UPDATE (CASCADE|SET NULL|RESTRICT|NO ACTION|SET DEFAULT)"));
    QHash<QString, std::pair<QString, QString>> rules;
    for (const QString &line : createTable.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch name = constraint.match(line);
        if (!name.hasMatch())
            continue;
        rules.insert(name.captured(1).replace(QLatin1String("``"), QLatin1String("`")),
                     {RuleOf(onDelete.match(line).captured(1)), RuleOf(onUpdate.match(line).captured(1))});
    }
    return rules;
}

} // namespace SchemaQueries
