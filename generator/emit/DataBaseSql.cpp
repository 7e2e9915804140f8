#include "DataBaseSql.h"

#include "FileOperate.h"
#include "GenerationError.h"
#include "ModelChecker.h"
#include "Naming.h"
#include "ProjectModel.h"
#include "ReadSnapshot.h"
#include "RunMessages.h"
#include "TextTemplate.h"
#include "TypeRules.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

const char tableHeader[] = R"sql(
CREATE TABLE IF NOT EXISTS {table} (
)sql";

// Column definitions, as a CREATE TABLE line writes them between its indentation and comma;
// an upgrade script's CHANGE and ADD COLUMN clauses write the same text.
const char columnLine[] = R"sql(
  {column},
)sql";

// The last line of a table with neither key nor index.
const char lastColumnLine[] = R"sql(
  {column}
)sql";

// {type} from TypeRules::SqlType; {collation} " COLLATE x" for a column holding text, with
// " CHARACTER SET x" before it for a column of its own character set; {null} " NOT NULL" or
// " NULL"; {default} and {onUpdate} where the member has them; {increment} " AUTO_INCREMENT"
// on an integer key.
const char columnDefinition[] = "{name} {type}{collation}{null}{default}{onUpdate}{increment} COMMENT '{comment}'";

const char primaryKeyLine[] = R"sql(
  PRIMARY KEY ({key}){more}
)sql";

const char indexLine[] = R"sql(
  {index}{more}
)sql";

const char uniqueIndex[] = "UNIQUE KEY {name} ({columns})";
const char plainIndex[] = "KEY {name} ({columns})";

// The integer-key form has two blanks before DEFAULT and one before the semicolon.
const char integerKeyFooter[] = R"sql(
) ENGINE=InnoDB  DEFAULT CHARSET={charset} COLLATE={collation} AUTO_INCREMENT=1 ;

)sql";

const char textKeyFooter[] = R"sql(
) ENGINE=InnoDB DEFAULT CHARSET={charset} COLLATE={collation};

)sql";

// Table names as the CREATE statements write them; {rules} only for rules other than RESTRICT.
const char foreignKey[] = R"sql(
ALTER TABLE {table} ADD CONSTRAINT FOREIGN KEY ({name}) REFERENCES {refTable}({refKey}){rules};
)sql";

// In place of the table statements of a project living on its database, whose tables are there.
const char existingTables[] = R"sql(
-- 项目建立在已有的数据库 {database} 上: 其中的数据表已经存在, 本脚本不建立也不修改它们,
-- 只建立上面程序自己的表 (表名前缀 {prefix})。请在数据库 {database} 中执行本脚本。
)sql";

// In place of the template's advice to load the script into a new database, for a project living
// on its database, which is there already.
const char existingHeading[] = R"sql(
-- 本脚本在已有的数据库 {database} ({server}) 中建立程序自己的数据表 (表名前缀 {prefix}),
-- 不新建数据库, 也不建立或修改其中已有的数据表。
-- 导入方法: 在数据库 {database} 中执行本脚本, 例如
--   mysql -u {user} -p {database} < 本脚本.sql
)sql";

// The template's lines from the one starting with "-- 导入方法" to the one with its example
// command replaced by the heading of a project living on its database; a template without them
// stays as it is.
QString withExistingHeading(const QString &script, const TExistingDatabase &existing)
{
    const qsizetype start = script.indexOf(QStringLiteral("-- 导入方法"));
    const qsizetype example = start < 0 ? -1 : script.indexOf(QStringLiteral("--   mysql"), start);
    const qsizetype end = example < 0 ? -1 : script.indexOf(QLatin1Char('\n'), example);
    if (end < 0 || (start > 0 && script.at(start - 1) != QLatin1Char('\n')))
        return script;
    const QString server = !existing.socket.isEmpty() ? existing.socket
        : existing.host.isEmpty()                    ? QStringLiteral("本机")
                                                     : QStringLiteral("%1:%2").arg(existing.host).arg(existing.port);
    TTextBuilder heading;
    heading.Emit(existingHeading, {{"database", existing.database}, {"server", server}, {"prefix", existing.appPrefix},
                                   {"user", existing.user}});
    QString replaced = script;
    return replaced.replace(start, end + 1 - start, heading.Text());
}

// Refuses a model whose script would not load, or the checker refuses anywhere else. A broken
// reference leads, as it always has for the script; the other findings follow in their order.
void checkModel(const TProjectModel &model, const QString &tablePrefix)
{
    TModelFindings findings = TModelChecker::Check(model, std::nullopt, tablePrefix);
    if (findings.isEmpty())
        return;
    const auto lead = std::find_if(findings.begin(), findings.end(), [](const TModelFinding &f) {
        return f.kind == TModelFinding::TKind::BrokenReference;
    });
    if (lead != findings.end())
        std::rotate(findings.begin(), lead, lead + 1);
    throw TModelCheckError(TModelChecker::Messages(findings));
}

} // namespace

QString TDataBaseSql::TemplatePath()
{
    return QStringLiteral("template/数据库/mysql_dump.sql");
}

QString TDataBaseSql::LoadTemplate(const QString &programDir)
{
    const QString path = programDir + QLatin1Char('/') + TemplatePath();
    const QString text = TFileOperate::ReadUtf8Text(path);
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    // A damaged template would give an empty or partial script that looks like success.
    if (text.trimmed().isEmpty())
        throw TGenerationError(QStringLiteral("建表语句模板 \"%1\" 是空的").arg(shown));
    if (!text.contains(QLatin1String("$sqlString")))
        throw TGenerationError(
            QStringLiteral("建表语句模板 \"%1\" 中没有 $sqlString，建表语句无处放入").arg(shown));
    return text;
}

QString TDataBaseSql::AppTablePrefix(const TProjectModel &model, const QString &tablePrefix)
{
    const std::optional<TExistingDatabase> &existing = model.ExistingDatabase();
    return existing ? existing->appPrefix : tablePrefix;
}

void TDataBaseSql::CheckModel(const TProjectModel &model, const QString &tablePrefix)
{
    checkModel(model, tablePrefix);
}

QString TDataBaseSql::TableCollation(const QString &charset)
{
    return charset == TableCharset::Utf8mb4 ? QStringLiteral("utf8mb4_unicode_ci")
                                            : QStringLiteral("utf8_bin");
}

QString TDataBaseSql::ColumnCollation(const TProjectModel &model, const TClassModel &cls,
                                      const TMember &member, bool asKey)
{
    if (model.Charset() != TableCharset::Utf8mb4)
        return QStringLiteral("utf8_bin");
    // Values that identify a row compare exactly, and a reference as the key it refers to.
    const bool exact = asKey || MemberType::IsReference(member.memberType())
        || cls.InUniqueIndex(member.memberName());
    return exact ? QStringLiteral("utf8mb4_bin") : TableCollation(model.Charset());
}

QString TDataBaseSql::ColumnDefinition(const TProjectModel &model, const TClassModel &cls,
                                       const TMember &member, bool asKey)
{
    const bool reference = !asKey && MemberType::IsReference(member.memberType());
    const TMember *refKey = reference ? model.ProjectKeyMember(member.memberType()) : nullptr;
    const bool text = TypeRules::HoldsText(member, refKey, asKey);
    QString collation;
    if (!member.memberCharset().isEmpty())
        collation = QStringLiteral(" CHARACTER SET ") + member.memberCharset();
    if (!member.memberCollation().isEmpty())
        collation += QStringLiteral(" COLLATE ") + member.memberCollation();
    else if (text && member.memberCharset().isEmpty())
        collation = QStringLiteral(" COLLATE ") + ColumnCollation(model, cls, member, asKey);
    return FillTemplate(
        columnDefinition,
        {{"name", Naming::BackQuoted(Naming::ColumnName(member))},
         {"type", TypeRules::SqlType(member, refKey, asKey)},
         {"collation", collation},
         {"null", TypeRules::TakesNull(member, asKey) ? QStringLiteral(" NULL") : QStringLiteral(" NOT NULL")},
         {"default", TypeRules::DefaultClause(member)},
         {"onUpdate", TypeRules::OnUpdateClause(member)},
         {"increment", TypeRules::AutoIncrements(member, asKey, cls.compositeKey == 1)
                           ? QStringLiteral(" AUTO_INCREMENT") : QString()},
         {"comment", TypeRules::SqlStringText(member.memberComment())}});
}

QString TDataBaseSql::IndexColumns(const TClassModel &cls, const TClassIndex &index)
{
    QStringList columns;
    for (qsizetype i = 0; i < index.indexMembers.size(); ++i) {
        const QString &name = index.indexMembers.at(i);
        const auto member = std::find_if(cls.members.cbegin(), cls.members.cend(),
                                         [&](const TMember &m) { return m.memberName() == name; });
        columns.append(Naming::BackQuoted(member == cls.members.cend() ? name : Naming::ColumnName(*member)));
        if (index.Prefix(i) > 0)
            columns.last() += QStringLiteral("(%1)").arg(index.Prefix(i));
    }
    return columns.join(QLatin1Char(','));
}

QString TDataBaseSql::IndexDefinition(const TClassModel &cls, const TClassIndex &index)
{
    return FillTemplate(index.indexIsUnique == 1 ? uniqueIndex : plainIndex,
                        {{"name", Naming::BackQuoted(index.indexName)}, {"columns", IndexColumns(cls, index)}});
}

QString TDataBaseSql::ForeignKeyRules(const TMember &member)
{
    QString clauses;
    if (member.memberOnDelete() != ForeignKeyRule::Restrict)
        clauses += QStringLiteral(" ON DELETE ") + member.memberOnDelete();
    if (member.memberOnUpdate() != ForeignKeyRule::Restrict)
        clauses += QStringLiteral(" ON UPDATE ") + member.memberOnUpdate();
    return clauses;
}

void TDataBaseSql::EmitTable(TTextBuilder &out, const TProjectModel &model, const TClassModel &cls,
                             const QString &tablePrefix)
{
    if (cls.compositeKey == 1) {
        EmitCompositeKeyTable(out, model, cls, tablePrefix);
        return;
    }
    // A read-only class may have no key: its table then has no primary key either.
    const TMember *key = cls.KeyMember();
    out.Emit(tableHeader, {{"table", Naming::BackQuoted(Naming::TableName(tablePrefix, cls.className, cls.tableName))}});
    if (key)
        out.Emit(columnLine, {{"column", ColumnDefinition(model, cls, *key, true)}});
    const QList<TMember> others = cls.NonKeyMembers();
    const auto more = [](bool last) { return last ? QString() : QStringLiteral(","); };
    for (qsizetype i = 0; i < others.size(); ++i) {
        const bool last = !key && cls.indexes.isEmpty() && i + 1 == others.size();
        out.Emit(last ? lastColumnLine : columnLine, {{"column", ColumnDefinition(model, cls, others.at(i), false)}});
    }
    if (key)
        out.Emit(primaryKeyLine, {{"key", Naming::BackQuoted(Naming::ColumnName(*key))}, {"more", more(cls.indexes.isEmpty())}});
    for (qsizetype i = 0; i < cls.indexes.size(); ++i)
        out.Emit(indexLine, {{"index", IndexDefinition(cls, cls.indexes.at(i))},
                             {"more", more(i + 1 == cls.indexes.size())}});
    out.Emit(Naming::IsIntegerKey(key) ? integerKeyFooter : textKeyFooter,
             {{"charset", model.Charset()}, {"collation", TableCollation(model.Charset())}});
}

// The key members lead, in their order, with the key over all of them; a reference among them
// keeps the type of the key it refers to, and nothing is numbered by the database.
void TDataBaseSql::EmitCompositeKeyTable(TTextBuilder &out, const TProjectModel &model,
                                         const TClassModel &cls, const QString &tablePrefix)
{
    out.Emit(tableHeader, {{"table", Naming::BackQuoted(Naming::TableName(tablePrefix, cls.className, cls.tableName))}});
    QStringList keyColumns;
    for (const TMember &key : cls.KeyMembers()) {
        out.Emit(columnLine, {{"column", ColumnDefinition(model, cls, key, !MemberType::IsReference(key.memberType()))}});
        keyColumns.append(Naming::BackQuoted(Naming::ColumnName(key)));
    }
    for (const TMember &member : cls.NonKeyMembers())
        out.Emit(columnLine, {{"column", ColumnDefinition(model, cls, member, false)}});
    const auto more = [](bool last) { return last ? QString() : QStringLiteral(","); };
    out.Emit(primaryKeyLine, {{"key", keyColumns.join(QLatin1Char(','))}, {"more", more(cls.indexes.isEmpty())}});
    for (qsizetype i = 0; i < cls.indexes.size(); ++i)
        out.Emit(indexLine, {{"index", IndexDefinition(cls, cls.indexes.at(i))},
                             {"more", more(i + 1 == cls.indexes.size())}});
    out.Emit(textKeyFooter, {{"charset", model.Charset()}, {"collation", TableCollation(model.Charset())}});
}

QString TDataBaseSql::BuildStatements(const TProjectModel &model, const QString &tablePrefix)
{
    checkModel(model, tablePrefix);
    TTextBuilder tables;
    TTextBuilder keys;
    for (const TClassModel &cls : model.Classes())
        EmitClass(model, cls, tablePrefix, tables, keys);
    return tables.Text() + keys.Text();
}

QString TDataBaseSql::BuildClassStatements(const TProjectModel &model, const TClassModel &cls,
                                           const QString &tablePrefix)
{
    TTextBuilder tables;
    TTextBuilder keys;
    EmitClass(model, cls, tablePrefix, tables, keys);
    return tables.Text() + keys.Text();
}

void TDataBaseSql::EmitClass(const TProjectModel &model, const TClassModel &cls,
                             const QString &tablePrefix, TTextBuilder &tables, TTextBuilder &keys)
{
    EmitTable(tables, model, cls, tablePrefix);
    // A composite key's references are foreign keys too.
    for (const TMember &member : cls.compositeKey == 1 ? cls.members : cls.NonKeyMembers()) {
        if (!MemberType::IsReference(member.memberType()))
            continue;
        const TMember *refKey = model.ProjectKeyMember(member.memberType());
        const TClassModel *ref = model.FindClass(member.memberType());
        keys.Emit(foreignKey, {{"table", Naming::SqlTable(tablePrefix, cls.className, cls.tableName)},
                               {"name", Naming::SqlColumn(member)},
                               {"refTable", Naming::SqlTable(tablePrefix, member.memberType(),
                                                             ref ? ref->tableName : QString())},
                               {"refKey", Naming::SqlColumn(*refKey)},
                               {"rules", ForeignKeyRules(member)}});
    }
}

QString TDataBaseSql::Build(int projectId, const QString &tablePrefix, const QString &programDir)
{
    const TProjectModel model = [projectId] {
        const TReadSnapshot snapshot;
        return TProjectModel::Load(projectId);
    }();
    return Script(model, tablePrefix, programDir, QString());
}

QString TDataBaseSql::Script(const TProjectModel &model, const QString &tablePrefix,
                             const QString &programDir, const QString &closing)
{
    const std::optional<TExistingDatabase> &existing = model.ExistingDatabase();
    QString statements;
    if (existing) {
        checkModel(model, tablePrefix);
        TTextBuilder note;
        note.Emit(existingTables, {{"database", existing->database}, {"prefix", existing->appPrefix}});
        statements = note.Text();
    } else {
        statements = BuildStatements(model, tablePrefix);
    }
    QString script = LoadTemplate(programDir);
    if (existing)
        script = withExistingHeading(script, *existing);
    script.replace(QStringLiteral("$sqlString"), statements + closing);
    script.replace(QStringLiteral("$dbprefix"), AppTablePrefix(model, tablePrefix));
    return script;
}
