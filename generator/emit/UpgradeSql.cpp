#include "UpgradeSql.h"

#include "DataBaseSql.h"
#include "FileOperate.h"
#include "GenerationError.h"
#include "GenerationRecord.h"
#include "ProjectModel.h"
#include "ReadSnapshot.h"
#include "TextTemplate.h"

#include <QHash>
#include <QSet>

#include <future>

namespace {

const char header[] = R"sql(
-- 由第 {version} 版的数据库升级到当前模型

)sql";

const char unchanged[] = R"sql(
-- 模型没有变化, 数据库无需升级

)sql";

const char sectionTitle[] = R"sql(
-- {title}
)sql";

const char statementHead[] = R"sql(
{head}
)sql";

const char clauseNote[] = R"sql(
  -- {note}
)sql";

const char clauseLine[] = R"sql(
  {clause},
)sql";

const char lastClauseLine[] = R"sql(
  {clause};
)sql";

const char blankLine[] = R"sql(

)sql";

const char dropTable[] = R"sql(
DROP TABLE IF EXISTS `{table}`;
)sql";

const char droppedWarning[] = R"sql(
-- 警告: 以下语句删除已从模型中移除的类的表, 连同其中的数据。
)sql";

const char removedWarning[] = R"sql(
-- 警告: 以下语句会删除已从模型中移除的类和成员, 连同其中的数据。
-- 确认不再需要这些数据后, 去掉行首的 "-- " 再执行。
)sql";

const char commentedDropTable[] = R"sql(
-- DROP TABLE IF EXISTS `{table}`;
)sql";

const char commentedDropColumn[] = R"sql(
-- ALTER TABLE `{table}` DROP COLUMN `{column}`;
)sql";

// Clauses of ALTER TABLE and RENAME TABLE.
const char alterHead[] = "ALTER TABLE `{table}`";
const char renameHead[] = "RENAME TABLE";
const char renamePair[] = "`{from}` TO `{to}`";
const char dropForeignKey[] = "DROP FOREIGN KEY `{name}`";
const char dropIndex[] = "DROP INDEX `{name}`";
const char dropPrimaryKey[] = "DROP PRIMARY KEY";
const char dropColumn[] = "DROP COLUMN `{name}`";
const char changeColumn[] = "CHANGE COLUMN `{old}` {definition} {position}";
const char keepColumn[] = "CHANGE COLUMN `{old}` {definition}";
const char addColumn[] = "ADD COLUMN {definition} {position}";
const char addPrimaryKey[] = "ADD PRIMARY KEY (`{key}`)";
const char addIndex[] = "ADD INDEX `{column}` (`{column}`)";
const char addForeignKey[] =
    "ADD CONSTRAINT `{name}` FOREIGN KEY (`{column}`) REFERENCES `{refTable}` (`{refKey}`)";
const char afterColumn[] = "AFTER `{name}`";

// The application's own tables, which the script template creates under the prefix.
const char adminTable[] = "admin";
const char throttleTable[] = "login_throttle";

// A database made by an older script has the throttle table only once someone has logged in;
// made here under the old prefix, it can be renamed with the others.
const char createThrottle[] = R"sql(
CREATE TABLE IF NOT EXISTS `{table}` (
  `subject` varchar(200) COLLATE utf8mb4_bin NOT NULL COMMENT 'user:用户名 或 addr:地址',
  `failures` int NOT NULL DEFAULT 0 COMMENT '连续失败次数',
  `lastFailure` bigint NOT NULL DEFAULT 0 COMMENT '最后一次失败的时间（Unix 秒）',
  `lockedUntil` bigint NOT NULL DEFAULT 0 COMMENT '暂停登录到（Unix 秒）',
  PRIMARY KEY (`subject`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;
)sql";

// The name the server gives the n-th unnamed foreign key of a table, which is what the table
// script leaves; an upgrade writes it explicitly so the next upgrade can find it again.
QString foreignKeyName(const QString &table, int ordinal)
{
    return table + QStringLiteral("_ibfk_") + QString::number(ordinal);
}

// A column of a table, its definition written only when asked for: most columns of a large
// model are unchanged, which their members alone can tell.
struct TColumn {
    int memberId = 0;
    QString name;
    const TProjectModel *model = nullptr;
    const TMember *member = nullptr;
    const TMember *refKey = nullptr; // the referenced key of a reference column
    bool asKey = false;
    QString prefix;

    const QString &Definition() const
    {
        if (definition_.isEmpty()) {
            definition_ = TDataBaseSql::ColumnDefinition(*model, *member, asKey);
            // The table script puts the prefix in wherever a comment says $dbprefix.
            definition_.replace(QStringLiteral("$dbprefix"), prefix);
        }
        return definition_;
    }

    // Whether the definitions of two columns differ; compares what they are made of first.
    bool Differs(const TColumn &other) const
    {
        const TMember &a = *member;
        const TMember &b = *other.member;
        const bool sameParts = asKey == other.asKey && a.memberName() == b.memberName()
            && a.memberComment() == b.memberComment() && a.memberType() == b.memberType()
            && a.memberLength() == b.memberLength() && a.memberIsMust() == b.memberIsMust()
            && a.memberIsInteger() == b.memberIsInteger()
            && (prefix == other.prefix || !a.memberComment().contains(QLatin1String("$dbprefix")))
            && (refKey == nullptr) == (other.refKey == nullptr)
            && (!refKey
                || (refKey->memberIsInteger() == other.refKey->memberIsInteger()
                    && refKey->memberLength() == other.refKey->memberLength()));
        return !sameParts && Definition() != other.Definition();
    }

private:
    mutable QString definition_;
};

// A foreign key as the table script adds it; its index carries the column's name.
struct TForeignKey {
    int memberId = 0;
    QString column;
    int ordinal = 0; // 1-based, in the order the table script adds a table's keys
    int refClassId = 0;
    int refKeyId = 0;
    QString refKey;
};

struct TTable {
    const TClassModel *cls = nullptr;
    QString name;
    int keyId = 0;
    QString keyName;
    QList<TColumn> columns; // key first, then the other members in order
    QHash<int, qsizetype> columnAt;
    QList<TForeignKey> keys;
    QHash<int, qsizetype> keyAt;

    int ClassId() const { return cls->classId; }
    const TColumn *Column(int memberId) const
    {
        const auto it = columnAt.constFind(memberId);
        return it == columnAt.cend() ? nullptr : &columns.at(*it);
    }
    const TForeignKey *Key(int memberId) const
    {
        const auto it = keyAt.constFind(memberId);
        return it == keyAt.cend() ? nullptr : &keys.at(*it);
    }
    bool HasColumnNamed(const QString &name) const
    {
        for (const TColumn &column : columns) {
            if (column.name.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
};

// The tables the table script makes of a model, keyed by class id.
struct TSchema {
    QList<TTable> tables;
    QHash<int, qsizetype> tableAt;

    const TTable *Table(int classId) const
    {
        const auto it = tableAt.constFind(classId);
        return it == tableAt.cend() ? nullptr : &tables.at(*it);
    }
};

TSchema describe(const TProjectModel &model, const QString &prefix)
{
    TSchema schema;
    schema.tables.reserve(model.Classes().size());
    // A reference names the first class of its name, as the model's key lookup finds it.
    QHash<QString, int> classIds;
    for (const TClassModel &cls : model.Classes())
        if (!classIds.contains(cls.className))
            classIds.insert(cls.className, cls.classId);
    for (const TClassModel &cls : model.Classes()) {
        if (schema.tableAt.contains(cls.classId))
            continue;
        TTable table;
        table.cls = &cls;
        table.name = prefix + cls.className;
        const TMember &key = *cls.KeyMember();
        table.keyId = key.memberId();
        table.keyName = key.memberName();
        const auto add = [&](const TMember &member, bool asKey) {
            TColumn column;
            column.memberId = member.memberId();
            column.name = member.memberName();
            column.model = &model;
            column.member = &member;
            column.asKey = asKey;
            column.prefix = prefix;
            if (!asKey && MemberType::IsReference(member.memberType()))
                column.refKey = model.ProjectKeyMember(member.memberType());
            table.columnAt.insert(member.memberId(), table.columns.size());
            table.columns.append(std::move(column));
        };
        add(key, true);
        // The class's own members, not a copy: the columns point at them.
        for (const TMember &member : cls.members) {
            if (member.memberIsPri() != 0)
                continue;
            add(member, false);
            if (!MemberType::IsReference(member.memberType()))
                continue;
            const TMember *refKey = model.ProjectKeyMember(member.memberType());
            table.keyAt.insert(member.memberId(), table.keys.size());
            table.keys.append({member.memberId(), member.memberName(), int(table.keys.size()) + 1,
                               classIds.value(member.memberType()), refKey->memberId(),
                               refKey->memberName()});
        }
        schema.tableAt.insert(cls.classId, schema.tables.size());
        schema.tables.append(std::move(table));
    }
    return schema;
}

// The SQL type of a column definition ("varchar(20)", "int(11)") and whether it takes NULL.
struct TColumnType {
    QString type;
    bool nullable = false;
};

TColumnType columnType(const QString &definition)
{
    const qsizetype typeStart = definition.indexOf(QLatin1Char('`'), 1) + 2;
    const qsizetype typeEnd = definition.indexOf(QLatin1Char(' '), typeStart);
    const QString rest = definition.mid(typeEnd).section(QStringLiteral(" COMMENT '"), 0, 0);
    return {definition.mid(typeStart, typeEnd - typeStart), !rest.contains(QLatin1String(" NOT NULL"))};
}

int varcharLength(const QString &type)
{
    if (!type.startsWith(QLatin1String("varchar(")))
        return -1;
    return type.mid(8).chopped(1).toInt();
}

// Why changing a column from one definition to another may lose data; empty when it cannot.
QString lossWarning(const QString &column, const QString &from, const QString &to)
{
    const TColumnType before = columnType(from);
    const TColumnType after = columnType(to);
    QStringList reasons;
    const int fromLength = varcharLength(before.type);
    const int toLength = varcharLength(after.type);
    if (before.type != after.type && after.type != QLatin1String("text")) {
        // The longest text each type is shown as, so a varchar at least that long holds it.
        static const QHash<QString, int> widths{{QStringLiteral("int(11)"), 11},
                                                {QStringLiteral("float"), 12},
                                                {QStringLiteral("date"), 10}};
        if (fromLength >= 0 && toLength >= 0) {
            if (toLength < fromLength)
                reasons << QStringLiteral("长度由 %1 缩短为 %2").arg(fromLength).arg(toLength);
        } else if (!(toLength >= 0 && widths.contains(before.type)
                     && toLength >= widths.value(before.type))) {
            reasons << QStringLiteral("类型由 %1 改为 %2").arg(before.type, after.type);
        }
    }
    if (before.nullable && !after.nullable)
        reasons << QStringLiteral("不再允许空值, 已有的空值将变为默认值");
    if (reasons.isEmpty())
        return {};
    return QStringLiteral("警告: 可能丢失数据: `%1` ").arg(column) + reasons.join(QStringLiteral("; "));
}

// A removed column kept with its data: it takes NULL, so rows the new code inserts need no
// value for it; renamed when its name is needed again.
QString keptDefinition(const TColumn &column, const QString &name)
{
    QString definition = column.Definition();
    definition.replace(0, column.name.size() + 2, QLatin1Char('`') + name + QLatin1Char('`'));
    const qsizetype comment = definition.indexOf(QStringLiteral(" COMMENT '"));
    for (const QLatin1String notNull : {QLatin1String(" NOT NULL AUTO_INCREMENT"), QLatin1String(" NOT NULL")}) {
        const qsizetype at = definition.indexOf(notNull);
        if (at >= 0 && at < comment) {
            definition.replace(at, notNull.size(), QStringLiteral(" NULL"));
            break;
        }
    }
    return definition;
}

struct TClause {
    QString text;
    QString note; // a comment line above it
};

// One statement of comma-separated clauses, each on its own line.
class TStatement {
public:
    explicit TStatement(QString head) : head_(std::move(head)) {}
    void Add(QString text, QString note = {}) { clauses_.append({std::move(text), std::move(note)}); }
    bool IsEmpty() const { return clauses_.isEmpty(); }
    void Emit(TTextBuilder &out) const
    {
        if (clauses_.isEmpty())
            return;
        out.Emit(statementHead, {{"head", head_}});
        for (qsizetype i = 0; i < clauses_.size(); ++i) {
            const TClause &clause = clauses_.at(i);
            if (!clause.note.isEmpty())
                out.Emit(clauseNote, {{"note", clause.note}});
            out.Emit(i + 1 < clauses_.size() ? clauseLine : lastClauseLine, {{"clause", clause.text}});
        }
    }

private:
    QString head_;
    QList<TClause> clauses_;
};

// Statements grouped under titled sections; a section without statements leaves no trace.
class TSection {
public:
    explicit TSection(const char *title, const char *intro = nullptr)
        : title_(QString::fromUtf8(title)), intro_(intro)
    {
    }
    void Add(const TStatement &statement)
    {
        if (statement.IsEmpty())
            return;
        start();
        statement.Emit(text_);
    }
    TTextBuilder &Text()
    {
        start();
        return text_;
    }
    QString Result() const { return text_.Text().isEmpty() ? QString() : text_.Text() + blank(); }

private:
    void start()
    {
        if (!text_.Text().isEmpty())
            return;
        text_.Emit(sectionTitle, {{"title", title_}});
        if (intro_)
            text_.Emit(intro_);
    }
    static QString blank() { return FillTemplate(blankLine, {}); }

    QString title_;
    const char *intro_;
    TTextBuilder text_;
};

QString lower(const QString &name)
{
    return name.toLower();
}

// Renames in an order in which no target is taken when it is renamed to; a cycle goes through
// a temporary name. Tables are compared without regard to case, as some servers do.
QList<std::pair<QString, QString>> orderRenames(QList<std::pair<QString, QString>> pending,
                                                QSet<QString> taken)
{
    QList<std::pair<QString, QString>> ordered;
    int temporary = 0;
    while (!pending.isEmpty()) {
        qsizetype ready = -1;
        for (qsizetype i = 0; i < pending.size() && ready < 0; ++i) {
            if (!taken.contains(lower(pending.at(i).second)))
                ready = i;
        }
        if (ready < 0) {
            auto &first = pending.first();
            QString spare;
            do {
                spare = QStringLiteral("velmora_rename_%1").arg(++temporary);
            } while (taken.contains(spare));
            ordered.append({first.first, spare});
            taken.remove(lower(first.first));
            taken.insert(spare);
            first.first = spare;
            continue;
        }
        const auto pair = pending.takeAt(ready);
        ordered.append(pair);
        taken.remove(lower(pair.first));
        taken.insert(lower(pair.second));
    }
    return ordered;
}

class TUpgradePlan {
public:
    TUpgradePlan(const TUpgradeSide &from, const TUpgradeSide &to, bool destructive)
        : from_(from), to_(to), destructive_(destructive),
          old_(describe(*from.model, from.prefix)), new_(describe(*to.model, to.prefix))
    {
        for (const TTable &table : new_.tables) {
            if (const TTable *before = old_.Table(table.ClassId()))
                findChanges(*before, table);
        }
    }

    QString Statements()
    {
        TSection dropKeys("删除将要改变的外键");
        TSection dropTables("删除已从模型中移除的表", droppedWarning);
        TSection renames("重命名表");
        TSection creates("新建的表");
        TSection alters("修改表结构");
        TSection addKeys("添加外键");
        TSection removed("已从模型中移除的类和成员", removedWarning);

        QSet<std::pair<int, int>> keptKeys = keptForeignKeys();
        for (const TTable &table : old_.tables) {
            const TTable *after = new_.Table(table.ClassId());
            if (!after && destructive_)
                continue; // the table goes, and its keys with it
            TStatement drop(FillTemplate(alterHead, {{"table", table.name}}));
            for (const TForeignKey &key : table.keys) {
                if (keptKeys.contains({table.ClassId(), key.memberId}))
                    continue;
                // The index goes too: the server would not take it over for the key added later.
                drop.Add(FillTemplate(dropForeignKey, {{"name", foreignKeyName(table.name, key.ordinal)}}));
                drop.Add(FillTemplate(dropIndex, {{"name", key.column}}));
            }
            dropKeys.Add(drop);
        }

        QList<std::pair<QString, QString>> pendingRenames;
        QSet<QString> taken;
        QStringList removedTables;
        for (const TTable &table : old_.tables) {
            if (new_.Table(table.ClassId())) {
                taken.insert(lower(table.name));
                continue;
            }
            if (destructive_) {
                dropTables.Text().Emit(dropTable, {{"table", table.name}});
                continue;
            }
            taken.insert(lower(table.name));
            QString keptName = table.name;
            if (tableNameNeeded(table.name)) {
                keptName += QStringLiteral("_v%1").arg(from_.version);
                pendingRenames.append({table.name, keptName});
            }
            removedTables.append(keptName);
        }
        for (const TTable &table : new_.tables) {
            const TTable *before = old_.Table(table.ClassId());
            if (before && before->name != table.name)
                pendingRenames.append({before->name, table.name});
        }
        if (from_.prefix != to_.prefix) {
            for (const char *own : {adminTable, throttleTable}) {
                const QString name = QString::fromUtf8(own);
                taken.insert(lower(from_.prefix + name));
                pendingRenames.append({from_.prefix + name, to_.prefix + name});
            }
            renames.Text().Emit(createThrottle, {{"table", from_.prefix + QString::fromUtf8(throttleTable)}});
        }
        TStatement rename((QString::fromUtf8(renameHead)));
        for (const auto &pair : orderRenames(pendingRenames, taken))
            rename.Add(FillTemplate(renamePair, {{"from", pair.first}, {"to", pair.second}}));
        renames.Add(rename);

        for (const TTable &table : new_.tables) {
            if (!old_.Table(table.ClassId()))
                TDataBaseSql::EmitTable(creates.Text(), *to_.model, *table.cls, to_.prefix);
        }

        for (const TTable &table : new_.tables) {
            if (const TTable *before = old_.Table(table.ClassId()))
                alters.Add(alterTable(*before, table, removed));
        }

        for (const TTable &table : new_.tables) {
            TStatement add(FillTemplate(alterHead, {{"table", table.name}}));
            for (const TForeignKey &key : table.keys) {
                if (keptKeys.contains({table.ClassId(), key.memberId}))
                    continue;
                // Named as the table script's unnamed key names it: after its column.
                add.Add(FillTemplate(addIndex, {{"column", key.column}}));
                add.Add(FillTemplate(addForeignKey, {{"name", foreignKeyName(table.name, key.ordinal)},
                                                     {"column", key.column},
                                                     {"refTable", new_.Table(key.refClassId)->name},
                                                     {"refKey", key.refKey}}));
            }
            addKeys.Add(add);
        }

        for (const QString &table : removedTables)
            removed.Text().Emit(commentedDropTable, {{"table", table}});

        const QString statements = dropKeys.Result() + dropTables.Result() + renames.Result()
            + creates.Result() + alters.Result() + addKeys.Result() + removed.Result();
        TTextBuilder head;
        head.Emit(statements.isEmpty() ? unchanged : header, {{"version", QString::number(from_.version)}});
        return head.Text() + statements;
    }

private:
    // Which kept columns change: renamed, retyped or moved among the columns both versions have.
    void findChanges(const TTable &before, const TTable &after)
    {
        QSet<int> &changed = changed_[after.ClassId()];
        const auto keptOrder = [](const TTable &table, const TTable &other) {
            QHash<int, int> previous;
            int last = 0;
            for (const TColumn &column : table.columns) {
                if (!other.Column(column.memberId))
                    continue;
                previous.insert(column.memberId, last);
                last = column.memberId;
            }
            return previous;
        };
        const QHash<int, int> previousBefore = keptOrder(before, after);
        const QHash<int, int> previousAfter = keptOrder(after, before);
        for (const TColumn &column : after.columns) {
            const TColumn *old = before.Column(column.memberId);
            if (old && (old->Differs(column)
                        || previousBefore.value(column.memberId) != previousAfter.value(column.memberId)))
                changed.insert(column.memberId);
        }
        if (before.keyId != after.keyId)
            keyChanged_.insert(after.ClassId());
    }

    bool columnChanged(int classId, int memberId) const
    {
        const auto it = changed_.constFind(classId);
        return it != changed_.cend() && it->contains(memberId);
    }

    // A foreign key stays when its table, number, column and referenced key are all untouched.
    QSet<std::pair<int, int>> keptForeignKeys() const
    {
        QSet<std::pair<int, int>> kept;
        for (const TTable &table : new_.tables) {
            const TTable *before = old_.Table(table.ClassId());
            if (!before)
                continue;
            for (const TForeignKey &key : table.keys) {
                const TForeignKey *old = before->Key(key.memberId);
                if (old && old->ordinal == key.ordinal && old->refClassId == key.refClassId
                    && old->refKeyId == key.refKeyId && !columnChanged(table.ClassId(), key.memberId)
                    && !columnChanged(key.refClassId, key.refKeyId) && !keyChanged_.contains(key.refClassId))
                    kept.insert({table.ClassId(), key.memberId});
            }
        }
        return kept;
    }

    bool tableNameNeeded(const QString &name) const
    {
        for (const TTable &table : new_.tables) {
            if (table.name.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }

    TStatement alterTable(const TTable &before, const TTable &after, TSection &removed) const
    {
        TStatement alter(FillTemplate(alterHead, {{"table", after.name}}));
        const bool keyChanged = keyChanged_.contains(after.ClassId());
        if (keyChanged) {
            alter.Add(QString::fromUtf8(dropPrimaryKey),
                      QStringLiteral("警告: 主键由 `%1` 改为 `%2`, 已有各行的 `%2` 必须互不相同")
                          .arg(before.keyName, after.keyName));
        }
        for (const TColumn &column : before.columns) {
            if (after.Column(column.memberId))
                continue;
            if (destructive_) {
                alter.Add(FillTemplate(dropColumn, {{"name", column.name}}),
                          QStringLiteral("警告: 删除已从模型中移除的成员及其数据"));
                continue;
            }
            QString keptName = column.name;
            if (after.HasColumnNamed(column.name))
                keptName += QStringLiteral("_v%1").arg(from_.version);
            const QString definition = keptDefinition(column, keptName);
            if (keptName != column.name || definition != column.Definition()) {
                alter.Add(FillTemplate(keepColumn, {{"old", column.name}, {"definition", definition}}),
                          QStringLiteral("已从模型中移除, 保留其数据"));
            }
            removed.Text().Emit(commentedDropColumn, {{"table", after.name}, {"column", keptName}});
        }
        for (qsizetype i = 0; i < after.columns.size(); ++i) {
            const TColumn &column = after.columns.at(i);
            const QString position = i == 0
                ? QStringLiteral("FIRST")
                : FillTemplate(afterColumn, {{"name", after.columns.at(i - 1).name}});
            const TColumn *old = before.Column(column.memberId);
            if (!old) {
                alter.Add(FillTemplate(addColumn, {{"definition", column.Definition()}, {"position", position}}));
            } else if (columnChanged(after.ClassId(), column.memberId)) {
                alter.Add(FillTemplate(changeColumn, {{"old", old->name},
                                                      {"definition", column.Definition()},
                                                      {"position", position}}),
                          lossWarning(column.name, old->Definition(), column.Definition()));
            }
        }
        if (keyChanged)
            alter.Add(FillTemplate(addPrimaryKey, {{"key", after.keyName}}));
        return alter;
    }

    TUpgradeSide from_;
    TUpgradeSide to_;
    bool destructive_;
    TSchema old_;
    TSchema new_;
    QHash<int, QSet<int>> changed_; // class id -> member ids that get a CHANGE COLUMN
    QSet<int> keyChanged_;          // class ids whose key is another member
};

} // namespace

QString TUpgradeSql::TemplatePath()
{
    return QStringLiteral("template/数据库/mysql_upgrade.sql");
}

QString TUpgradeSql::NoRecordMessage()
{
    return QStringLiteral("该项目还没有生成记录，请使用建表脚本");
}

QString TUpgradeSql::UnknownVersionMessage(int version)
{
    return QStringLiteral("该项目没有第 %1 版的生成记录").arg(version);
}

QString TUpgradeSql::BuildStatements(const TUpgradeSide &from, const TUpgradeSide &to,
                                     bool destructive)
{
    TDataBaseSql::CheckModel(*to.model, to.prefix);
    try {
        TDataBaseSql::CheckModel(*from.model, from.prefix);
    } catch (const TModelCheckError &error) {
        // The record, not the user's model, is at fault: no refusal of the model.
        throw TGenerationError(QStringLiteral("第 %1 版的模型记录无法使用: %2")
                                   .arg(from.version)
                                   .arg(error.message()));
    }
    TUpgradePlan plan(from, to, destructive);
    return plan.Statements();
}

QString TUpgradeSql::Build(int projectId, const QString &outputDir, std::optional<int> fromVersion,
                           const std::optional<QString> &prefix, bool destructive,
                           const QString &programDir)
{
    const QList<int> versions = TGenerationRecord::VersionNumbers(outputDir);
    if (versions.isEmpty())
        throw TGenerationError(NoRecordMessage());
    const int version = fromVersion.value_or(versions.last());
    // The snapshot is read on a second thread while this one reads the model database: both
    // take about as long, and the snapshot needs no database.
    std::future<std::optional<std::pair<TProjectModel, QString>>> recorded =
        std::async(std::launch::async, [&outputDir, version]() -> std::optional<std::pair<TProjectModel, QString>> {
            const std::optional<QJsonObject> snapshot = TGenerationRecord::LoadSnapshot(outputDir, version);
            if (!snapshot)
                return std::nullopt;
            return std::pair{TGenerationRecord::SnapshotModel(*snapshot),
                             snapshot->value(QStringLiteral("tablePrefix")).toString()};
        });
    const TProjectModel newModel = [projectId] {
        const TReadSnapshot read;
        return TProjectModel::Load(projectId);
    }();
    const std::optional<std::pair<TProjectModel, QString>> old = recorded.get();
    if (!old)
        throw TGenerationError(UnknownVersionMessage(version));
    const TProjectModel &oldModel = old->first;
    // A project deleted and made again under the same name shares no ids with the record.
    if (oldModel.ProjectId() != projectId)
        throw TGenerationError(QStringLiteral("第 %1 版的生成记录属于另一个项目，请使用建表脚本").arg(version));
    const QString &oldPrefix = old->second;
    const QString newPrefix = prefix.value_or(oldPrefix);
    const QString statements =
        BuildStatements({&oldModel, oldPrefix, version}, {&newModel, newPrefix, 0}, destructive);
    QString script = TFileOperate::LoadUtf8File(programDir + QLatin1Char('/') + TemplatePath());
    script.replace(QStringLiteral("$sqlString"), statements);
    script.replace(QStringLiteral("$dbprefix"), newPrefix);
    return script;
}
