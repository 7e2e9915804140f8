#pragma once

#include <QHash>
#include <QString>

#include <utility>

// What the import asks information_schema, one statement per kind of fact (the schema is the one
// parameter), and how it reads the rules of foreign keys.
namespace SchemaQueries {

extern const QString Tables;
extern const QString Columns;
extern const QString PrimaryKeys;
extern const QString ForeignKeys;
extern const QString Indexes;

// A foreign key's ON DELETE or ON UPDATE rule as the model keeps it.
QString RuleOf(const QString &rule);

// The ON DELETE and ON UPDATE rules of each foreign key (by constraint name) in the text of
// SHOW CREATE TABLE.
QHash<QString, std::pair<QString, QString>> RulesInCreateTable(const QString &createTable);

} // namespace SchemaQueries
