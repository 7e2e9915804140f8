#include "PageFields.h"

#include "TextTemplate.h"
#include "TypeRules.h"

#include <QStringList>

#include <algorithm>

namespace {

const char fieldsHeader[] = R"json(
{
  "project": "{project}",
  "class": "{Class}",
  "order": {order},
  "friend": "{friend}",
  "table": "{table}",
  "key": "{key}",
  "integerKey": {integerKey},
)json";

// Written only where the database's names are not the prefix, class and member names, and
// for a read-only class: the application refuses to change its rows.
const char fieldsKeyColumn[] = R"json(
  "keyColumn": "{keyColumn}",
)json";

const char fieldsReadOnly[] = R"json(
  "readOnly": true,
)json";

// Written only for a class with unique indexes: a duplicate is then refused by field name.
const char fieldsUnique[] = R"json(
  "unique": [{unique}],
)json";

// Written only for a composite key: every key member, in order; "key" is the first of them.
const char fieldsKeys[] = R"json(
  "keys": {keys},
)json";

// Written only for a class that a link class joins to another: per link, the link table's
// columns for this side and the other, and the other side's table, key and display columns.
const char fieldsLinks[] = R"json(
  "links": [
{links}
  ],
)json";

const char fieldsLink[] =
    R"json(    {"class": "{link}", "label": "{label}", "table": "{table}", "mine": "{mine}", "other": "{other}", "otherTable": "{otherTable}", "otherKey": "{otherKey}", "otherDisplay": "{otherDisplay}", "editable": {editable}})json";

const char fieldsList[] = R"json(
  "fields": [
)json";

const char fieldsItem[] = R"json(
    {"name": "{name}", "label": "{label}", "type": "{type}", "required": {required}, "key": {key}{extra}}{comma}
)json";

const char fieldsFooter[] = R"json(
  ]
}
)json";

// A text inside a JSON string: quote, backslash and control characters escaped.
QString jsonText(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            result += QLatin1Char('\\') + QString(c);
        else if (c.unicode() < 0x20)
            result += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            result += c;
    }
    return result;
}

QString jsonBool(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

QString jsonTexts(const QStringList &texts)
{
    QStringList quoted;
    for (const QString &text : texts)
        quoted << QLatin1Char('"') + jsonText(text) + QLatin1Char('"');
    return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QString fieldKind(const QString &type)
{
    static const QList<std::pair<QString, QString>> kinds{
        {MemberType::Text, QStringLiteral("text")},         {MemberType::Integer, QStringLiteral("int")},
        {MemberType::Float, QStringLiteral("float")},       {MemberType::Date, QStringLiteral("date")},
        {MemberType::Picture, QStringLiteral("picture")},   {MemberType::BigInt, QStringLiteral("bigint")},
        {MemberType::Decimal, QStringLiteral("decimal")},   {MemberType::DateTime, QStringLiteral("datetime")},
        {MemberType::Time, QStringLiteral("time")},         {MemberType::LongText, QStringLiteral("longtext")},
        {MemberType::Boolean, QStringLiteral("bool")},      {MemberType::Enum, QStringLiteral("enum")},
        {MemberType::Binary, QStringLiteral("binary")},     {MemberType::Blob, QStringLiteral("blob")}};
    for (const auto &[memberType, kind] : kinds) {
        if (memberType == type)
            return kind;
    }
    return QStringLiteral("ref");
}

// The keys a field has beyond the common ones; none for a member of the first five types
// without the later flags, so such a description stays as it was.
QString fieldExtra(const TProjectModel &model, const TMember &member, const QString &tablePrefix)
{
    const QString type = member.memberType();
    QString extra;
    if (type == MemberType::Text || type == MemberType::LongText)
        extra = QStringLiteral(", \"length\": %1").arg(member.memberLength());
    if (type == MemberType::Decimal)
        extra = QStringLiteral(", \"precision\": %1, \"scale\": %2")
                    .arg(member.memberLength()).arg(member.memberScale());
    if (TypeRules::UsesEnumValues(type))
        extra = QStringLiteral(", \"values\": ") + jsonTexts(member.memberEnumValues());
    if (TypeRules::UsesUnsigned(type) && member.memberIsUnsigned() == 1)
        extra += QStringLiteral(", \"unsigned\": true");
    if (MemberType::IsReference(type)) {
        const TClassModel *ref = model.FindClass(type);
        extra = QStringLiteral(", \"refTable\": \"%1\", \"refClass\": \"%2\"")
                    .arg(jsonText(Naming::TableName(tablePrefix, type, ref ? ref->tableName : QString())), jsonText(type));
        if (const TMember *refKey = model.ProjectKeyMember(type))
            extra += QStringLiteral(", \"refColumn\": \"%1\"").arg(jsonText(Naming::ColumnName(*refKey)));
    }
    if (PageFields::SavesEmptyAsNull(member))
        extra += QStringLiteral(", \"nullable\": true");
    if (!member.memberColumnName().isEmpty() && member.memberColumnName() != member.memberName())
        extra += QStringLiteral(", \"column\": \"%1\"").arg(jsonText(member.memberColumnName()));
    if (const std::optional<QString> start = TypeRules::DefaultValue(member))
        extra += QStringLiteral(", \"default\": \"%1\"").arg(jsonText(*start));
    if (TypeRules::IsExact(member))
        extra += QStringLiteral(", \"sqlType\": \"%1\"").arg(jsonText(TypeRules::ExactSqlType(member)));
    if (!member.memberCharset().isEmpty())
        extra += QStringLiteral(", \"charset\": \"%1\"").arg(jsonText(member.memberCharset()));
    if (!TypeRules::HasInput(member))
        extra += QStringLiteral(", \"input\": false");
    return extra;
}

// A link's rows can be set from a side's form when its other members may be left out.
bool linkSetFromForm(const TClassModel &link)
{
    const QList<TMember> others = link.NonKeyMembers();
    return std::all_of(others.cbegin(), others.cend(),
                       [](const TMember &m) { return TypeRules::TakesNull(m, false); });
}

// The links that join cls to another class, as the "links" entries.
QStringList linksOf(const TProjectModel &model, const TClassModel &cls, const QString &tablePrefix)
{
    QStringList links;
    for (const auto &[index, side] : model.LinkSides(cls.className)) {
        const TClassModel &link = model.Classes().at(index);
        const QList<TMember> keys = link.KeyMembers();
        const TMember &mine = keys.at(side);
        const TMember &other = keys.at(1 - side);
        const TClassModel *otherClass = model.FindClass(other.memberType());
        const TMember *otherKey = otherClass ? otherClass->KeyMember() : nullptr;
        const TMember *otherDisplay = otherClass ? otherClass->DisplayMember() : nullptr;
        if (!otherKey)
            continue;
        const QString label = otherClass->friendName.isEmpty() ? otherClass->className : otherClass->friendName;
        links << FillTemplate(
            fieldsLink,
            {{"link", jsonText(link.className)},
             {"label", jsonText(PageFields::OneLine(label))},
             {"table", jsonText(Naming::TableName(tablePrefix, link.className, link.tableName))},
             {"mine", jsonText(Naming::ColumnName(mine))},
             {"other", jsonText(Naming::ColumnName(other))},
             {"otherTable", jsonText(Naming::TableName(tablePrefix, otherClass->className, otherClass->tableName))},
             {"otherKey", jsonText(Naming::ColumnName(*otherKey))},
             {"otherDisplay", jsonText(Naming::ColumnName(otherDisplay ? *otherDisplay : *otherKey))},
             {"editable", jsonBool(linkSetFromForm(link))}});
    }
    return links;
}

} // namespace

namespace PageFields {

QString Label(const TMember &member)
{
    const QString comment = member.memberComment().trimmed();
    return comment.isEmpty() ? Naming::ReadableName(member.memberName()) : comment;
}

QString OneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

bool SavesEmptyAsNull(const TMember &member)
{
    return member.memberIsNullable() == 1 && member.memberIsPri() != 1;
}

bool NeedsValue(const TMember &member)
{
    const QString type = member.memberType();
    if (type == MemberType::Boolean || !TypeRules::HasInput(member))
        return false;
    // The database fills in what the form leaves out.
    if (!member.memberDefault().isEmpty() || (member.memberIsPri() != 1 && member.memberAutoIncrement() == 1))
        return false;
    if (member.memberIsPri() == 1 || member.memberIsMust() == 1)
        return true;
    if (SavesEmptyAsNull(member))
        return false;
    return TypeRules::IsNumber(type) || type == MemberType::Date || type == MemberType::DateTime
        || type == MemberType::Time || type == MemberType::Enum || MemberType::IsReference(type);
}

QString BuildFieldsJson(const TProjectModel &model, const TClassModel &cls,
                        const QString &projectName, const QString &tablePrefix)
{
    const TMember *key = cls.KeyMember();
    // The class's place in the model: the menu lists the classes in this order.
    const qsizetype order = model.Order(cls.className);
    TTextBuilder out;
    out.Emit(fieldsHeader,
             {{"project", jsonText(projectName)},
              {"Class", jsonText(cls.className)},
              {"order", QString::number(order + 1)},
              {"friend", jsonText(cls.friendName.isEmpty() ? cls.className : cls.friendName)},
              {"table", jsonText(Naming::TableName(tablePrefix, cls.className, cls.tableName))},
              {"key", jsonText(key ? key->memberName() : QString())},
              {"integerKey", jsonBool(cls.compositeKey != 1 && Naming::IsIntegerKey(key))}});
    if (key && Naming::ColumnName(*key) != key->memberName())
        out.Emit(fieldsKeyColumn, {{"keyColumn", jsonText(Naming::ColumnName(*key))}});
    if (cls.isReadOnly)
        out.Emit(fieldsReadOnly);
    QStringList unique;
    for (const TClassIndex &index : cls.indexes) {
        if (index.indexIsUnique == 1)
            unique << QStringLiteral("{\"name\": \"%1\", \"members\": %2}")
                          .arg(jsonText(index.indexName), jsonTexts(index.indexMembers));
    }
    if (!unique.isEmpty())
        out.Emit(fieldsUnique, {{"unique", unique.join(QStringLiteral(", "))}});
    if (cls.compositeKey == 1) {
        QStringList keys;
        for (const TMember &member : cls.KeyMembers())
            keys << member.memberName();
        out.Emit(fieldsKeys, {{"keys", jsonTexts(keys)}});
    }
    const QStringList links = linksOf(model, cls, tablePrefix);
    if (!links.isEmpty())
        out.Emit(fieldsLinks, {{"links", links.join(QStringLiteral(",\r\n"))}});
    out.Emit(fieldsList);
    for (qsizetype i = 0; i < cls.members.size(); ++i) {
        const TMember &member = cls.members.at(i);
        out.Emit(fieldsItem, {{"name", jsonText(member.memberName())},
                              {"label", jsonText(OneLine(Label(member)))},
                              {"type", fieldKind(member.memberType())},
                              {"required", jsonBool(NeedsValue(member))},
                              {"key", jsonBool(member.memberIsPri() == 1)},
                              {"extra", fieldExtra(model, member, tablePrefix)},
                              {"comma", i + 1 < cls.members.size() ? QStringLiteral(",") : QString()}});
    }
    out.Emit(fieldsFooter);
    return out.Text();
}

} // namespace PageFields
