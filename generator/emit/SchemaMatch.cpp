#include "SchemaMatch.h"

#include "ProjectModel.h"
#include "TeamTables.h"
#include "TypeRules.h"
#include "UpgradeComparison.h"
#include "VersionTable.h"

#include <QHash>
#include <QRegularExpression>

namespace {

// MySQL 8 leaves out the display width of integer types, which MariaDB and the script keep.
QString comparableType(const QString &type)
{
    static const QRegularExpression width(QStringLiteral("^(tinyint|smallint|mediumint|int|bigint)\\(\\d+\\)"));
    return type.toLower().replace(width, QStringLiteral("\\1"));
}

QString indexText(const TLiveIndex &index)
{
    return QStringLiteral("%1(%2)").arg(index.unique ? QStringLiteral("UNIQUE ") : QString(),
                                        index.columns.join(QStringLiteral(", ")));
}

// The tables, columns and indexes a fresh load of the model's script has.
QList<TLiveTable> expectedTables(const TProjectModel &model, const QString &prefix)
{
    const TUpgradeSchema schema = TUpgradeSchema::Describe(model, prefix);
    QList<TLiveTable> tables;
    for (const TUpgradeTable &table : schema.tables) {
        TLiveTable expected{table.name, {}, {}};
        for (const TUpgradeColumn &column : table.columns)
            expected.columns.append({column.name, column.SqlType(), TypeRules::TakesNull(*column.member, column.asKey)});
        if (!table.keyColumns.isEmpty())
            expected.indexes.append({QStringLiteral("PRIMARY"), true, table.keyColumns});
        for (const TUpgradeIndex &index : table.indexes) {
            QStringList columns;
            for (const int memberId : index.memberIds) {
                if (const TUpgradeColumn *column = table.Column(memberId))
                    columns.append(column->name);
            }
            expected.indexes.append({index.Name(), index.index->indexIsUnique == 1, columns});
        }
        for (const TUpgradeForeignKey &key : table.keys) {
            if (key.ownIndex)
                expected.indexes.append({key.column, false, {key.column}});
        }
        tables.append(expected);
    }
    return tables;
}

bool isOwnTable(const QString &name, const QString &prefix)
{
    QStringList own{QStringLiteral("admin"), QStringLiteral("login_throttle"), QString::fromLatin1(modelVersionTable)};
    for (const char *team : teamTables)
        own.append(QString::fromLatin1(team));
    for (const QString &table : own) {
        if (name.compare(prefix + table, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

template <typename T>
const T *findNamed(const QList<T> &list, const QString &name)
{
    for (const T &item : list) {
        if (item.name.compare(name, Qt::CaseInsensitive) == 0)
            return &item;
    }
    return nullptr;
}

void compareTable(const TLiveTable &want, const TLiveTable &have, QStringList &differences)
{
    const QString table = want.name;
    for (const TLiveColumn &column : want.columns) {
        const TLiveColumn *found = findNamed(have.columns, column.name);
        if (!found) {
            differences.append(QStringLiteral("表 `%1` 缺少列 `%2`").arg(table, column.name));
            continue;
        }
        if (comparableType(found->type) != comparableType(column.type))
            differences.append(QStringLiteral("表 `%1` 的列 `%2` 类型为 %3, 应为 %4")
                                   .arg(table, column.name, found->type, column.type));
        if (found->nullable != column.nullable)
            differences.append(QStringLiteral("表 `%1` 的列 `%2` %3")
                                   .arg(table, column.name, found->nullable ? QStringLiteral("允许空, 应为不允许空")
                                                                            : QStringLiteral("不允许空, 应为允许空")));
    }
    for (const TLiveColumn &column : have.columns) {
        if (!findNamed(want.columns, column.name))
            differences.append(QStringLiteral("表 `%1` 多出列 `%2`").arg(table, column.name));
    }
    for (const TLiveIndex &index : want.indexes) {
        const TLiveIndex *found = findNamed(have.indexes, index.name);
        if (!found)
            differences.append(QStringLiteral("表 `%1` 缺少索引 `%2` %3").arg(table, index.name, indexText(index)));
        else if (found->unique != index.unique
                 || found->columns.join(QLatin1Char(',')).compare(index.columns.join(QLatin1Char(',')), Qt::CaseInsensitive) != 0)
            differences.append(QStringLiteral("表 `%1` 的索引 `%2` 为 %3, 应为 %4")
                                   .arg(table, index.name, indexText(*found), indexText(index)));
    }
    for (const TLiveIndex &index : have.indexes) {
        if (!findNamed(want.indexes, index.name))
            differences.append(QStringLiteral("表 `%1` 多出索引 `%2`").arg(table, index.name));
    }
}

} // namespace

QStringList TSchemaMatch::Differences(const QList<TLiveTable> &live, const TProjectModel &model, const QString &prefix)
{
    const QList<TLiveTable> expected = expectedTables(model, prefix);
    QStringList differences;
    for (const TLiveTable &want : expected) {
        if (const TLiveTable *have = findNamed(live, want.name))
            compareTable(want, *have, differences);
        else
            differences.append(QStringLiteral("缺少表 `%1`").arg(want.name));
    }
    for (const TLiveTable &have : live) {
        if (have.name.startsWith(prefix, Qt::CaseInsensitive) && !isOwnTable(have.name, prefix)
            && !findNamed(expected, have.name))
            differences.append(QStringLiteral("多出表 `%1`").arg(have.name));
    }
    return differences;
}
