#include "DatabaseVersion.h"

#include "ImportError.h"
#include "LiveConnection.h"

#include "generator/check/ProjectModel.h"
#include "generator/emit/DataBaseSql.h"
#include "generator/emit/SchemaMatch.h"
#include "generator/emit/UpgradeSql.h"
#include "generator/emit/VersionTable.h"
#include "generator/output/GenerationError.h"
#include "generator/record/GenerationRecord.h"

#include <QHash>
#include <QSqlQuery>

namespace {

const QString task = QStringLiteral("读取数据库的模型版本失败");

const QString selectTable = QStringLiteral(
    "select TABLE_NAME from information_schema.TABLES where TABLE_SCHEMA=? and TABLE_NAME=?");
const QString selectTables = QStringLiteral(
    "select TABLE_NAME from information_schema.TABLES where TABLE_SCHEMA=? and TABLE_TYPE='BASE TABLE'");
const QString selectColumns = QStringLiteral(
    "select TABLE_NAME, COLUMN_NAME, COLUMN_TYPE, IS_NULLABLE from information_schema.COLUMNS "
    "where TABLE_SCHEMA=? order by TABLE_NAME, ORDINAL_POSITION");
const QString selectIndexes = QStringLiteral(
    "select TABLE_NAME, INDEX_NAME, NON_UNIQUE, COLUMN_NAME from information_schema.STATISTICS "
    "where TABLE_SCHEMA=? order by TABLE_NAME, INDEX_NAME, SEQ_IN_INDEX");

struct TRecorded {
    int version = 0;
    TProjectModel model;
    QString prefix;
};

QList<TRecorded> readRecord(const QString &outputDir)
{
    QList<TRecorded> recorded;
    for (const int version : TGenerationRecord::VersionNumbers(outputDir)) {
        if (const std::optional<QJsonObject> snapshot = TGenerationRecord::LoadSnapshot(outputDir, version)) {
            recorded.append({version, TGenerationRecord::SnapshotModel(*snapshot),
                             snapshot->value(QStringLiteral("tablePrefix")).toString()});
        }
    }
    if (recorded.isEmpty())
        throw TImportError({TUpgradeSql::NoRecordMessage()}, false);
    return recorded;
}

// The version the database's own table names under one of the record's prefixes; 0 for none.
int heldVersion(const TLiveConnection &db, const QString &schema, const QList<TRecorded> &recorded)
{
    QStringList prefixes;
    for (auto it = recorded.crbegin(); it != recorded.crend(); ++it) {
        // A project over an existing database keeps its version table under its own prefix.
        const QString prefix = TDataBaseSql::AppTablePrefix(it->model, it->prefix);
        if (!prefixes.contains(prefix))
            prefixes.append(prefix);
    }
    for (const QString &prefix : prefixes) {
        const QString table = prefix + QString::fromLatin1(modelVersionTable);
        if (!db.Run(selectTable, {schema, table}).next())
            continue;
        QString quoted = table;
        quoted.replace(QLatin1Char('`'), QLatin1String("``"));
        QSqlQuery row = db.Run(QStringLiteral("select modelVersion from `%1` where id=1").arg(quoted), {});
        if (row.next())
            return row.value(0).toInt();
    }
    return 0;
}

QList<TLiveTable> liveTables(const TLiveConnection &db, const QString &schema)
{
    QList<TLiveTable> tables;
    QHash<QString, qsizetype> at;
    QSqlQuery names = db.Run(selectTables, {schema});
    while (names.next()) {
        at.insert(names.value(0).toString(), tables.size());
        tables.append({names.value(0).toString(), {}, {}});
    }
    QSqlQuery columns = db.Run(selectColumns, {schema});
    while (columns.next()) {
        if (const auto it = at.constFind(columns.value(0).toString()); it != at.cend())
            tables[*it].columns.append({columns.value(1).toString(), columns.value(2).toString(),
                                        columns.value(3).toString() != QLatin1String("NO")});
    }
    QSqlQuery indexes = db.Run(selectIndexes, {schema});
    while (indexes.next()) {
        const auto it = at.constFind(indexes.value(0).toString());
        if (it == at.cend())
            continue;
        QList<TLiveIndex> &ofTable = tables[*it].indexes;
        const QString name = indexes.value(1).toString();
        if (ofTable.isEmpty() || ofTable.last().name != name)
            ofTable.append({name, indexes.value(2).toInt() == 0, {}});
        ofTable.last().columns.append(indexes.value(3).toString());
    }
    return tables;
}

} // namespace

QStringList TDatabaseVersion::Report() const
{
    if (held)
        return {QStringLiteral("数据库记录的模型版本: 第 %1 版").arg(version)};
    if (differences.isEmpty())
        return {QStringLiteral("数据库中没有模型版本记录; 其表结构与第 %1 版相同").arg(version)};
    QStringList lines{QStringLiteral("数据库中没有模型版本记录; 其表结构与第 %1 版最接近, 有 %2 处不同:")
                          .arg(version)
                          .arg(differences.size())};
    for (const QString &difference : differences)
        lines.append(QStringLiteral("  ") + difference);
    return lines;
}

TDatabaseVersion TDatabaseVersionFinder::Find(const TDatabaseSource &source, const QString &outputDir)
{
    const QList<TRecorded> recorded = readRecord(outputDir);
    const TLiveConnection db(source, task);
    const int held = heldVersion(db, source.database, recorded);
    for (const TRecorded &version : recorded) {
        if (held != 0 && version.version == held)
            return {held, true, {}};
    }
    // No version said, or one the record lacks (a script made before that version was
    // generated, and the model changed again): the tables tell.
    const QList<TLiveTable> live = liveTables(db, source.database);
    std::optional<TDatabaseVersion> closest;
    for (auto it = recorded.crbegin(); it != recorded.crend(); ++it) {
        try {
            TDataBaseSql::CheckModel(it->model, it->prefix);
        } catch (const TGenerationError &) {
            continue; // a damaged record made no database
        }
        const QStringList differences = TSchemaMatch::Differences(live, it->model, it->prefix);
        if (!closest || differences.size() < closest->differences.size())
            closest = TDatabaseVersion{it->version, false, differences};
    }
    if (!closest)
        throw TImportError({task + QStringLiteral(": 生成记录中没有可用的模型版本")}, false);
    return *closest;
}
