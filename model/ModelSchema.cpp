#include "ModelSchema.h"

#include "DbError.h"

#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

// The schema is compiled into this static library; its resources need registering by hand.
static void initModelResources()
{
    Q_INIT_RESOURCE(model);
}

namespace {

// The program's first tables: a database without all of them was not written by it.
const char *const firstTables[] = {"t_project", "t_class", "t_member"};

// The columns the first tables had from the start, lower-cased. Only later columns may be
// added: a file without one of these was damaged by another tool, and filling the column
// with its default would make the model wrong (lengths of 0, say).
const QHash<QString, QStringList> &originalColumns()
{
    static const QHash<QString, QStringList> columns{
        {QStringLiteral("t_project"), {QStringLiteral("projectid"), QStringLiteral("projectname")}},
        {QStringLiteral("t_class"),
         {QStringLiteral("classid"), QStringLiteral("projectid"), QStringLiteral("classname"),
          QStringLiteral("friendname")}},
        {QStringLiteral("t_member"),
         {QStringLiteral("memberid"), QStringLiteral("projectid"), QStringLiteral("classid"),
          QStringLiteral("membername"), QStringLiteral("membertype"), QStringLiteral("memberlength"),
          QStringLiteral("memberispri"), QStringLiteral("membercomment"), QStringLiteral("memberismust"),
          QStringLiteral("memberisinteger"), QStringLiteral("memberisfloat"), QStringLiteral("queryflag"),
          QStringLiteral("memberisdisplay"), QStringLiteral("memberquerydisplay")}}};
    return columns;
}

// Values for a column an older database lacks, where its default is not what its rows had.
const QHash<QString, QString> &fills()
{
    // Members written before they could be reordered keep the order of their ids.
    static const QHash<QString, QString> fills{
        {QStringLiteral("t_member.memberOrder"), QStringLiteral("UPDATE t_member SET memberOrder=memberId")}};
    return fills;
}

// The lower-cased column names of every table, by lower-cased table name, in one statement.
QHash<QString, QStringList> presentColumns(const QSqlDatabase &db)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT m.name, p.name FROM sqlite_master AS m, "
                                   "pragma_table_info(m.name) AS p WHERE m.type='table'")))
        throw TDbError(QStringLiteral("模型数据库操作失败: %1").arg(query.lastError().text()));
    QHash<QString, QStringList> present;
    while (query.next())
        present[query.value(0).toString().toLower()].append(query.value(1).toString().toLower());
    return present;
}

// The word after `keyword` in a statement, up to a blank or "(".
QString nameAfter(const QString &statement, const QString &keyword)
{
    const qsizetype start = statement.indexOf(keyword, 0, Qt::CaseInsensitive) + keyword.size();
    qsizetype end = start;
    while (end < statement.size() && !statement.at(end).isSpace() && statement.at(end) != QLatin1Char('('))
        ++end;
    return statement.mid(start, end - start);
}

} // namespace

const TModelSchema &TModelSchema::Current()
{
    static const TModelSchema schema = [] {
        initModelResources();
        QFile file(QStringLiteral(":/model/schema.sql"));
        if (!file.open(QIODevice::ReadOnly))
            throw TDbError(QStringLiteral("缺少模型数据库结构定义"));
        return TModelSchema(QString::fromUtf8(file.readAll()));
    }();
    return schema;
}

// Statements end with ";" at a line end; lines starting with "--" are comments. A CREATE TABLE
// statement lists one column on each line between its brackets.
TModelSchema::TModelSchema(const QString &text)
{
    QString statement;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("--")))
            continue;
        statement += line + QLatin1Char('\n');
        if (!line.trimmed().endsWith(QLatin1Char(';')))
            continue;
        statement = statement.trimmed();
        statements_.append(statement);
        if (statement.startsWith(QLatin1String("CREATE TABLE "))) {
            TTable table;
            table.name = nameAfter(statement, QStringLiteral("CREATE TABLE "));
            table.create = statement;
            const QStringList lines = statement.split(QLatin1Char('\n'));
            for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
                QString column = lines.at(i).trimmed();
                if (column.endsWith(QLatin1Char(',')))
                    column.chop(1);
                const qsizetype blank = column.indexOf(QLatin1Char(' '));
                table.columns.append({column.left(blank), column.mid(blank).trimmed()});
            }
            tables_.append(table);
        } else if (statement.startsWith(QLatin1String("CREATE INDEX "))) {
            const QString on = nameAfter(statement, QStringLiteral(" ON "));
            for (TTable &table : tables_) {
                if (table.name == on)
                    table.indexes.append(statement);
            }
        }
        statement.clear();
    }
}

QStringList TModelSchema::Additions(const QSqlDatabase &db) const
{
    const QHash<QString, QStringList> present = presentColumns(db);
    for (const char *first : firstTables) {
        if (present.value(QString::fromLatin1(first).toLower()).isEmpty())
            return {};
    }
    // A damaged file is left as it is; Missing names what it lacks.
    for (auto it = originalColumns().begin(); it != originalColumns().end(); ++it) {
        for (const QString &column : it.value()) {
            if (!present.value(it.key()).contains(column))
                return {};
        }
    }
    QStringList additions;
    for (const TTable &table : tables_) {
        const QStringList columns = present.value(table.name.toLower());
        if (columns.isEmpty()) {
            additions << table.create << table.indexes;
            continue;
        }
        for (const auto &[column, declaration] : table.columns) {
            if (columns.contains(column.toLower()))
                continue;
            additions << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(table.name, column, declaration);
            const QString fill = fills().value(table.name + QLatin1Char('.') + column);
            if (!fill.isEmpty())
                additions << fill;
        }
    }
    return additions;
}

void TModelSchema::BringUpToDate(const QSqlDatabase &db, const QString &path) const
{
    if (Additions(db).isEmpty())
        return;
    QSqlQuery query(db);
    const auto fail = [&](const QString &reason) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        throw TDbError(QStringLiteral("无法升级模型数据库 %1: %2").arg(path, reason));
    };
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        fail(query.lastError().text());
    // Another connection may have done it meanwhile; under the write lock we know.
    for (const QString &statement : Additions(db)) {
        if (!query.exec(statement))
            fail(query.lastError().text());
    }
    if (!query.exec(QStringLiteral("COMMIT")))
        fail(query.lastError().text());
}

QString TModelSchema::Missing(const QSqlDatabase &db) const
{
    QStringList missing;
    const QHash<QString, QStringList> columnsByTable = presentColumns(db);
    for (const TTable &table : tables_) {
        const QStringList present = columnsByTable.value(table.name.toLower());
        if (present.isEmpty()) {
            missing.append(QStringLiteral("表 %1").arg(table.name));
            continue;
        }
        QStringList columns;
        for (const auto &column : table.columns) {
            if (!present.contains(column.first.toLower()))
                columns.append(column.first);
        }
        if (!columns.isEmpty())
            missing.append(QStringLiteral("表 %1 的列 %2").arg(table.name, columns.join(QStringLiteral(", "))));
    }
    return missing.join(QStringLiteral("; "));
}
