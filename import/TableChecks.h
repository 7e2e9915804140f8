#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>

// A check constraint of a table, as the server reports it.
struct TCheckConstraint {
    QString table;
    QString name;
    QString clause;
};

// Whether the server is MariaDB (which gives defaults as SQL and json as a checked longtext).
bool IsMariaDb(const QSqlDatabase &db);
// The check constraints of a schema; none on a server too old to have them.
QList<TCheckConstraint> ReadChecks(const QSqlDatabase &db, const QString &schema, bool mariadb);
// The column of MariaDB's json check, "json_valid(`c`)"; empty for any other clause.
QString JsonCheckColumn(const QString &clause);
