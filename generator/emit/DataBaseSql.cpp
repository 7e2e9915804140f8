#include "DataBaseSql.h"

#include "FileOperate.h"
#include "GenerationError.h"
#include "ModelChecker.h"
#include "Naming.h"
#include "ProjectModel.h"
#include "ReadSnapshot.h"
#include "RunMessages.h"
#include "TextTemplate.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

const char tableHeader[] = R"sql(
CREATE TABLE IF NOT EXISTS `{prefix}{Class}` (
)sql";

// Column definitions, as a CREATE TABLE line writes them between its indentation and comma;
// an upgrade script's CHANGE and ADD COLUMN clauses write the same text.
const char columnLine[] = R"sql(
  {column},
)sql";

const char integerKeyColumn[] = "`{name}` int(11) NOT NULL AUTO_INCREMENT COMMENT '{comment}'";

const char textColumnRequired[] = "`{name}` varchar({length}) COLLATE utf8_bin NOT NULL COMMENT '{comment}'";

const char textColumnOptional[] = "`{name}` varchar({length}) COLLATE utf8_bin NULL COMMENT '{comment}'";

const char integerColumn[] = "`{name}` int(11) NOT NULL COMMENT '{comment}'";

const char floatColumn[] = "`{name}` float NOT NULL COMMENT '{comment}'";

const char dateColumn[] = "`{name}` date NOT NULL COMMENT '{comment}'";

const char pictureColumn[] = "`{name}` text COLLATE utf8_bin NOT NULL COMMENT '{comment}'";

// A reference column takes the type of the referenced key, without auto-increment.
const char textReferenceColumn[] = "`{name}` varchar({refLength}) COLLATE utf8_bin NOT NULL COMMENT '{comment}'";

// The integer-key form has two blanks before DEFAULT and one before the semicolon.
const char integerKeyFooter[] = R"sql(
  PRIMARY KEY (`{key}`)
) ENGINE=InnoDB  DEFAULT CHARSET=utf8 COLLATE=utf8_bin AUTO_INCREMENT=1 ;

)sql";

const char textKeyFooter[] = R"sql(
  PRIMARY KEY (`{key}`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8 COLLATE=utf8_bin;

)sql";

// Table names as the CREATE statements write them.
const char foreignKey[] = R"sql(
ALTER TABLE {prefix}{Class} ADD CONSTRAINT FOREIGN KEY ({name}) REFERENCES {prefix}{Ref}({refKey});
)sql";

// Text inside COMMENT '...': MySQL string syntax, backslash and quote doubled.
QString sqlString(const QString &text)
{
    QString result = text;
    result.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    result.replace(QLatin1Char('\''), QLatin1String("''"));
    return result;
}

const char *columnTemplate(const TMember &member, const TMember *refKey)
{
    const QString type = member.memberType();
    if (type == MemberType::Text)
        return member.memberIsMust() == 1 ? textColumnRequired : textColumnOptional;
    if (type == MemberType::Integer)
        return integerColumn;
    if (type == MemberType::Float)
        return floatColumn;
    if (type == MemberType::Date)
        return dateColumn;
    if (type == MemberType::Picture)
        return pictureColumn;
    return Naming::IsIntegerKey(refKey) ? integerColumn : textReferenceColumn;
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

void TDataBaseSql::CheckModel(const TProjectModel &model, const QString &tablePrefix)
{
    checkModel(model, tablePrefix);
}

QString TDataBaseSql::ColumnDefinition(const TProjectModel &model, const TMember &member,
                                       bool asKey)
{
    const bool reference = !asKey && MemberType::IsReference(member.memberType());
    const TMember *refKey = reference ? model.ProjectKeyMember(member.memberType()) : nullptr;
    const TVars vars{{"name", member.memberName()},
                     {"comment", sqlString(member.memberComment())},
                     {"length", QString::number(member.memberLength())},
                     {"refLength", refKey ? QString::number(refKey->memberLength()) : QString()}};
    if (asKey)
        return FillTemplate(Naming::IsIntegerKey(&member) ? integerKeyColumn : textColumnRequired, vars);
    return FillTemplate(columnTemplate(member, refKey), vars);
}

void TDataBaseSql::EmitTable(TTextBuilder &out, const TProjectModel &model, const TClassModel &cls,
                             const QString &tablePrefix)
{
    const TMember &key = *cls.KeyMember();
    const TVars vars{{"prefix", tablePrefix}, {"Class", cls.className}, {"key", key.memberName()}};
    out.Emit(tableHeader, vars);
    out.Emit(columnLine, {{"column", ColumnDefinition(model, key, true)}});
    for (const TMember &member : cls.NonKeyMembers())
        out.Emit(columnLine, {{"column", ColumnDefinition(model, member, false)}});
    out.Emit(Naming::IsIntegerKey(&key) ? integerKeyFooter : textKeyFooter, vars);
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
    for (const TMember &member : cls.NonKeyMembers()) {
        if (!MemberType::IsReference(member.memberType()))
            continue;
        const TMember *refKey = model.ProjectKeyMember(member.memberType());
        keys.Emit(foreignKey, {{"prefix", tablePrefix},
                               {"Class", cls.className},
                               {"name", member.memberName()},
                               {"Ref", member.memberType()},
                               {"refKey", refKey->memberName()}});
    }
}

QString TDataBaseSql::Build(int projectId, const QString &tablePrefix, const QString &programDir)
{
    const TProjectModel model = [projectId] {
        const TReadSnapshot snapshot;
        return TProjectModel::Load(projectId);
    }();
    const QString statements = BuildStatements(model, tablePrefix);
    QString script = LoadTemplate(programDir);
    script.replace(QStringLiteral("$sqlString"), statements);
    script.replace(QStringLiteral("$dbprefix"), tablePrefix);
    return script;
}
