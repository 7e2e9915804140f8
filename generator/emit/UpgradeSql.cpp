#include "UpgradeSql.h"

#include "DataBaseSql.h"
#include "GenerationError.h"
#include "ProjectModel.h"
#include "TeamTables.h"
#include "VersionTable.h"
#include "TextTemplate.h"

#include <QHash>
#include <QSet>

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
DROP TABLE IF EXISTS {table};
)sql";

const char droppedWarning[] = R"sql(
-- 警告: 以下语句删除已从模型中移除的类的表, 连同其中的数据。
)sql";

const char removedWarning[] = R"sql(
-- 警告: 以下语句会删除已从模型中移除的类和成员, 连同其中的数据。
-- 确认不再需要这些数据后, 去掉行首的 "-- " 再执行。
)sql";

const char commentedDropTable[] = R"sql(
-- DROP TABLE IF EXISTS {table};
)sql";

const char commentedDropColumn[] = R"sql(
-- ALTER TABLE {table} DROP COLUMN {column};
)sql";

// A project living on its database leaves the user's tables as they are unless asked.
const char leftOutNote[] = R"sql(
-- 项目建立在已有的数据库上: 以下对其中数据表的修改没有执行, 只写成注释, 数据表保持不变。
-- 确认要修改这些表时, 选择"修改已有的数据表" (命令行 --destructive) 重新生成升级脚本。

)sql";

// Every line of statements as a comment, empty lines as they are.
QString leftOut(const QString &statements)
{
    TTextBuilder out;
    out.Emit(leftOutNote);
    for (const QString &line : statements.split(QStringLiteral("\r\n"))) {
        if (!line.isEmpty())
            out.Append(QStringLiteral("-- "));
        out.Append(line);
        out.Append(QStringLiteral("\r\n"));
    }
    QString text = out.Text();
    text.chop(2); // the split gave one line more than the text ends with
    return text;
}

// Clauses of ALTER TABLE and RENAME TABLE.
const char alterHead[] = "ALTER TABLE {table}";
const char renameHead[] = "RENAME TABLE";
const char renamePair[] = "{from} TO {to}";
const char dropForeignKey[] = "DROP FOREIGN KEY {name}";
const char dropIndex[] = "DROP INDEX {name}";
const char dropPrimaryKey[] = "DROP PRIMARY KEY";
const char dropColumn[] = "DROP COLUMN {name}";
const char changeColumn[] = "CHANGE COLUMN {old} {definition} {position}";
const char keepColumn[] = "CHANGE COLUMN {old} {definition}";
const char addColumn[] = "ADD COLUMN {definition} {position}";
const char addPrimaryKey[] = "ADD PRIMARY KEY ({key})";
const char addIndex[] = "ADD INDEX {column} ({column})";
const char addClassIndex[] = "ADD {index}";
const char addForeignKey[] =
    "ADD CONSTRAINT {name} FOREIGN KEY ({column}) REFERENCES {refTable} ({refKey}){rules}";
const char tableCharset[] = "DEFAULT CHARSET={charset} COLLATE={collation}";
const char afterColumn[] = "AFTER {name}";

// The application's own tables, which the script template creates under the prefix.
const char adminTable[] = "admin";
const char throttleTable[] = "login_throttle";

// A database made by an older script has the throttle table only once someone has logged in;
// made here under the old prefix, it can be renamed with the others.
const char createThrottle[] = R"sql(
CREATE TABLE IF NOT EXISTS {table} (
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
    return Naming::BackQuoted(table + QStringLiteral("_ibfk_") + QString::number(ordinal));
}

// A removed column kept with its data: it takes NULL, so rows the new code inserts need no
// value for it; renamed when its name is needed again.
QString keptDefinition(const TUpgradeColumn &column, const QString &name)
{
    QString definition = column.Definition();
    const QString quoted = Naming::BackQuoted(name);
    definition.replace(0, Naming::BackQuoted(column.name).size(), quoted);
    // After the type, which may hold any text (an enumeration's values).
    const qsizetype typeEnd = quoted.size() + 1 + column.SqlType().size();
    const qsizetype comment = definition.indexOf(QStringLiteral(" COMMENT '"), typeEnd);
    for (const QLatin1String notNull : {QLatin1String(" NOT NULL AUTO_INCREMENT"), QLatin1String(" NOT NULL")}) {
        const qsizetype at = definition.indexOf(notNull, typeEnd);
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
          diff_(from, to), old_(diff_.Old()), new_(diff_.New())
    {
    }

    // Whether Statements found anything to change.
    bool Changed() const { return changed_; }

    QString Statements()
    {
        TSection dropKeys("删除将要改变的外键");
        TSection dropTables("删除已从模型中移除的表", droppedWarning);
        TSection renames("重命名表");
        TSection creates("新建的表");
        TSection alters("修改表结构");
        TSection addKeys("添加外键");
        TSection removed("已从模型中移除的类和成员", removedWarning);
        // Over an existing database, a class added since holds no user's rows: its table and
        // its own keys are made at once, while the user's tables wait for --destructive.
        const bool keepUsers = to_.model->ExistingDatabase() && !destructive_;
        TSection newKeys("添加外键");

        for (const TUpgradeTable &table : old_.tables) {
            const TUpgradeTable *after = new_.Table(table.ClassId());
            if (!after && destructive_)
                continue; // the table goes, and its keys with it
            TStatement drop(FillTemplate(alterHead, {{"table", Naming::BackQuoted(table.name)}}));
            for (const TUpgradeForeignKey &key : table.keys) {
                if (diff_.ForeignKeyKept(table.ClassId(), key.memberId))
                    continue;
                drop.Add(FillTemplate(dropForeignKey, {{"name", foreignKeyName(table.name, key.ordinal)}}));
                // Its own index goes too: the server would not take it over for the key added later.
                if (key.ownIndex)
                    drop.Add(FillTemplate(dropIndex, {{"name", Naming::BackQuoted(key.column)}}));
            }
            dropKeys.Add(drop);
        }

        QList<std::pair<QString, QString>> pendingRenames;
        QSet<QString> taken;
        QStringList removedTables;
        for (const TUpgradeTable &table : old_.tables) {
            if (new_.Table(table.ClassId())) {
                taken.insert(lower(table.name));
                continue;
            }
            if (destructive_) {
                dropTables.Text().Emit(dropTable, {{"table", Naming::BackQuoted(table.name)}});
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
        for (const TUpgradeTable &table : new_.tables) {
            const TUpgradeTable *before = old_.Table(table.ClassId());
            if (before && before->name != table.name)
                pendingRenames.append({before->name, table.name});
        }
        if (from_.prefix != to_.prefix) {
            QList<const char *> own = {adminTable, throttleTable, modelVersionTable};
            own.append(QList<const char *>(std::begin(teamTables), std::end(teamTables)));
            for (const char *table : own) {
                const QString name = QString::fromUtf8(table);
                taken.insert(lower(from_.prefix + name));
                pendingRenames.append({from_.prefix + name, to_.prefix + name});
            }
            renames.Text().Emit(createThrottle, {{"table", Naming::BackQuoted(from_.prefix + QString::fromUtf8(throttleTable))}});
            renames.Text().Emit(createTeamTables, {{"prefix", from_.prefix}});
            renames.Text().Emit(createModelVersion, {{"prefix", from_.prefix}});
        }
        TStatement rename((QString::fromUtf8(renameHead)));
        for (const auto &pair : orderRenames(pendingRenames, taken))
            rename.Add(FillTemplate(renamePair, {{"from", Naming::BackQuoted(pair.first)}, {"to", Naming::BackQuoted(pair.second)}}));
        renames.Add(rename);

        for (const TUpgradeTable &table : new_.tables) {
            if (!old_.Table(table.ClassId()))
                TDataBaseSql::EmitTable(creates.Text(), *to_.model, *table.cls, to_.prefix);
        }

        for (const TUpgradeTable &table : new_.tables) {
            if (const TUpgradeTable *before = old_.Table(table.ClassId()))
                alters.Add(alterTable(*before, table, removed));
        }

        for (const TUpgradeTable &table : new_.tables) {
            TSection &keys = keepUsers && !old_.Table(table.ClassId()) ? newKeys : addKeys;
            TStatement add(FillTemplate(alterHead, {{"table", Naming::BackQuoted(table.name)}}));
            for (const TUpgradeForeignKey &key : table.keys) {
                if (diff_.ForeignKeyKept(table.ClassId(), key.memberId))
                    continue;
                // Named as the table script's unnamed key names it: after its column.
                if (key.ownIndex)
                    add.Add(FillTemplate(addIndex, {{"column", Naming::BackQuoted(key.column)}}));
                add.Add(FillTemplate(addForeignKey, {{"name", foreignKeyName(table.name, key.ordinal)},
                                                     {"column", Naming::BackQuoted(key.column)},
                                                     {"refTable", Naming::BackQuoted(new_.Table(key.refClassId)->name)},
                                                     {"refKey", Naming::BackQuoted(key.refKey)},
                                                     {"rules", key.rules}}));
            }
            keys.Add(add);
        }

        for (const QString &table : removedTables)
            removed.Text().Emit(commentedDropTable, {{"table", Naming::BackQuoted(table)}});

        if (keepUsers) {
            const QString own = creates.Result() + newKeys.Result();
            const QString users = dropKeys.Result() + dropTables.Result() + renames.Result() + alters.Result()
                + addKeys.Result() + removed.Result();
            changed_ = !own.isEmpty() || !users.isEmpty();
            TTextBuilder head;
            head.Emit(changed_ ? header : unchanged, {{"version", QString::number(from_.version)}});
            return head.Text() + own + (users.isEmpty() ? QString() : leftOut(users));
        }
        const QString statements = dropKeys.Result() + dropTables.Result() + renames.Result()
            + creates.Result() + alters.Result() + addKeys.Result() + removed.Result();
        changed_ = !statements.isEmpty();
        TTextBuilder head;
        head.Emit(statements.isEmpty() ? unchanged : header, {{"version", QString::number(from_.version)}});
        return head.Text() + statements;
    }

private:
    bool tableNameNeeded(const QString &name) const
    {
        for (const TUpgradeTable &table : new_.tables) {
            if (table.name.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }

    TStatement alterTable(const TUpgradeTable &before, const TUpgradeTable &after, TSection &removed) const
    {
        TStatement alter(FillTemplate(alterHead, {{"table", Naming::BackQuoted(after.name)}}));
        const bool keyChanged = diff_.KeyChanged(after.ClassId());
        if (keyChanged) {
            alter.Add(QString::fromUtf8(dropPrimaryKey),
                      QStringLiteral("警告: 主键由 %1 改为 %2, 已有各行的 %2 必须互不相同")
                          .arg(before.keyName, after.keyName));
        }
        for (const TUpgradeIndex &index : before.indexes) {
            if (diff_.IndexDropped(after.ClassId(), index.Name()))
                alter.Add(FillTemplate(dropIndex, {{"name", Naming::BackQuoted(index.Name())}}));
        }
        for (const TUpgradeColumn &column : before.columns) {
            if (after.Column(column.memberId))
                continue;
            if (destructive_) {
                alter.Add(FillTemplate(dropColumn, {{"name", Naming::BackQuoted(column.name)}}),
                          QStringLiteral("警告: 删除已从模型中移除的成员及其数据"));
                continue;
            }
            QString keptName = column.name;
            if (after.HasColumnNamed(column.name))
                keptName += QStringLiteral("_v%1").arg(from_.version);
            const QString definition = keptDefinition(column, keptName);
            if (keptName != column.name || definition != column.Definition()) {
                alter.Add(FillTemplate(keepColumn, {{"old", Naming::BackQuoted(column.name)}, {"definition", definition}}),
                          QStringLiteral("已从模型中移除, 保留其数据"));
            }
            removed.Text().Emit(commentedDropColumn, {{"table", Naming::BackQuoted(after.name)}, {"column", Naming::BackQuoted(keptName)}});
        }
        for (qsizetype i = 0; i < after.columns.size(); ++i) {
            const TUpgradeColumn &column = after.columns.at(i);
            const QString position = i == 0
                ? QStringLiteral("FIRST")
                : FillTemplate(afterColumn, {{"name", Naming::BackQuoted(after.columns.at(i - 1).name)}});
            const TUpgradeColumn *old = before.Column(column.memberId);
            if (!old) {
                alter.Add(FillTemplate(addColumn, {{"definition", column.Definition()}, {"position", position}}));
            } else if (diff_.ColumnChanged(after.ClassId(), column.memberId)) {
                alter.Add(FillTemplate(changeColumn, {{"old", Naming::BackQuoted(old->name)},
                                                      {"definition", column.Definition()},
                                                      {"position", position}}),
                          TUpgradeComparison::LossWarning(*old, column));
            }
        }
        if (keyChanged)
            alter.Add(FillTemplate(addPrimaryKey, {{"key", after.keyName}}));
        for (const TUpgradeIndex &index : after.indexes) {
            if (!diff_.IndexAdded(after.ClassId(), index.Name()))
                continue;
            alter.Add(FillTemplate(addClassIndex, {{"index", TDataBaseSql::IndexDefinition(*after.cls, *index.index)}}),
                      index.index->indexIsUnique == 1
                          ? QStringLiteral("警告: 已有各行的 (%1) 必须互不相同").arg(TDataBaseSql::IndexColumns(*after.cls, *index.index))
                          : QString());
        }
        if (diff_.CharsetChanged()) {
            const QString &charset = new_.charset;
            alter.Add(FillTemplate(tableCharset, {{"charset", charset},
                                                  {"collation", TDataBaseSql::TableCollation(charset)}}),
                      charset == TableCharset::Utf8
                          ? QStringLiteral("警告: 改为utf8字符集, 表情符号等4字节字符将无法保存")
                          : QString());
        }
        return alter;
    }

    TUpgradeSide from_;
    TUpgradeSide to_;
    bool destructive_;
    bool changed_ = false;
    TUpgradeComparison diff_;
    const TUpgradeSchema &old_;
    const TUpgradeSchema &new_;
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

// Both models must have a script.
static void checkSides(const TUpgradeSide &from, const TUpgradeSide &to)
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
}

QString TUpgradeSql::BuildStatements(const TUpgradeSide &from, const TUpgradeSide &to,
                                     bool destructive)
{
    checkSides(from, to);
    TUpgradePlan plan(from, to, destructive);
    return plan.Statements();
}

bool TUpgradeSql::Differs(const TUpgradeSide &from, const TUpgradeSide &to)
{
    checkSides(from, to);
    TUpgradePlan plan(from, to, false);
    plan.Statements();
    return plan.Changed();
}
