#include "TableChecks.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QVariant>

namespace {

// MariaDB names each check's table; MySQL only through TABLE_CONSTRAINTS.
const QString selectChecks = QStringLiteral(
    "select TABLE_NAME, CONSTRAINT_NAME, CHECK_CLAUSE from information_schema.CHECK_CONSTRAINTS "
    "where CONSTRAINT_SCHEMA=?");
const QString selectChecksMySql = QStringLiteral(
    "select t.TABLE_NAME, c.CONSTRAINT_NAME, c.CHECK_CLAUSE from information_schema.CHECK_CONSTRAINTS c "
    "join information_schema.TABLE_CONSTRAINTS t on t.CONSTRAINT_SCHEMA=c.CONSTRAINT_SCHEMA "
    "and t.CONSTRAINT_NAME=c.CONSTRAINT_NAME and t.CONSTRAINT_TYPE='CHECK' where c.CONSTRAINT_SCHEMA=?");

} // namespace

bool IsMariaDb(const QSqlDatabase &db)
{
    QSqlQuery version(db);
    return version.exec(QStringLiteral("select version()")) && version.next()
        && version.value(0).toString().contains(QLatin1String("mariadb"), Qt::CaseInsensitive);
}

QList<TCheckConstraint> ReadChecks(const QSqlDatabase &db, const QString &schema, bool mariadb)
{
    QList<TCheckConstraint> found;
    QSqlQuery checks(db);
    checks.prepare(mariadb ? selectChecks : selectChecksMySql);
    checks.addBindValue(schema);
    if (!checks.exec())
        return found;
    while (checks.next())
        found.append({checks.value(0).toString(), checks.value(1).toString(), checks.value(2).toString()});
    return found;
}

QString JsonCheckColumn(const QString &clause)
{
    static const QRegularExpression json(QStringLiteral("^json_valid\\(`((?:[^`]|``)+)`\\)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = json.match(clause);
    return match.hasMatch() ? match.captured(1).replace(QLatin1String("``"), QLatin1String("`")) : QString();
}
