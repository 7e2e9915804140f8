#include "TableRules.h"

#include "ProjectModel.h"
#include "TypeRules.h"

#include <QHash>
#include <QSet>

#include <limits>

namespace TableRules {

namespace {

constexpr int maxRowBytes = 65535;
constexpr int maxIndexBytes = 3072;
constexpr int maxPrecision = 65;
constexpr int maxScale = 30;
constexpr int maxEnumValueLength = 255;
constexpr qint64 maxLongTextBytes = 4294967295LL;
constexpr int maxSqlNameLength = 64;

QString charsetName(const QString &charset)
{
    return charset.isEmpty() ? TableCharset::Utf8 : charset;
}

// The bytes a decimal(p,s) takes: four for each nine digits on either side of the point, and
// fewer for the digits left over.
int decimalBytes(int precision, int scale)
{
    static const int leftover[] = {0, 1, 1, 2, 2, 3, 3, 4, 4};
    const auto side = [](int digits) { return digits / 9 * 4 + leftover[digits % 9]; };
    return side(precision - scale) + side(scale);
}

// The bytes a column takes of a row (varchar with its length bytes) or, with inIndex, of an
// index key; -1 when its length is out of range, so that nothing is summed from it.
// The same of a column of an exact type.
qint64 exactBytes(const TMember &member, const QString &tableCharset, bool inIndex)
{
    using K = TypeRules::TSqlKind;
    const TypeRules::TSqlTypeInfo *info = TypeRules::FindSqlType(member.memberSqlType());
    if (!info)
        return -1;
    const int length = member.memberLength();
    const auto withLengthBytes = [&](qint64 bytes) { return inIndex ? bytes : bytes + (bytes > 255 ? 2 : 1); };
    switch (info->kind) {
    case K::Char:
        return withLengthBytes(qint64(length) * BytesPerCharacter(member.memberCharset().isEmpty() ? tableCharset : member.memberCharset()));
    case K::Binary:
        return withLengthBytes(length);
    case K::Integer:
        return info->rank == 5 ? 8 : info->rank;
    case K::Year:
        return 1;
    case K::Bit:
        return (length + 7) / 8;
    case K::Float:
        return info->rank == 1 ? 4 : 8;
    case K::Decimal:
        return decimalBytes(length, member.memberScale());
    case K::Date:
        return 3;
    case K::Temporal:
        return (info->name == QLatin1String("datetime") ? 5 : info->name == QLatin1String("timestamp") ? 4 : 3)
            + (length + 1) / 2;
    case K::Enum:
        return member.memberEnumValues().size() > 255 ? 2 : 1;
    case K::Set:
        return std::max<qint64>(1, (member.memberEnumValues().size() + 7) / 8);
    case K::Native:
        return info->name == QLatin1String("inet4") ? 4 : 16;
    default:
        return 10; // text, blob and json kept off the row; what stays is a pointer
    }
}

qint64 columnBytes(const TMember &member, const TMember *refKey, bool asKey, const QString &charset,
                   bool inIndex)
{
    if (TypeRules::IsExact(member))
        return exactBytes(member, charset, inIndex);
    if (refKey && !asKey && MemberType::IsReference(member.memberType()) && TypeRules::IsExact(*refKey))
        return exactBytes(*refKey, charset, inIndex);
    const QString sqlType = TypeRules::SqlType(member, refKey, asKey);
    if (sqlType.startsWith(QLatin1String("varchar("))) {
        const int chars = asKey || member.memberType() == MemberType::Text ? member.memberLength()
                                                                             : refKey->memberLength();
        if (chars < 1 || chars > MaxTextLength(charset))
            return -1;
        const QString &own = (asKey || member.memberType() == MemberType::Text ? member : *refKey).memberCharset();
        const qint64 bytes = qint64(chars) * BytesPerCharacter(own.isEmpty() ? charset : own);
        return inIndex ? bytes : bytes + (bytes > 255 ? 2 : 1);
    }
    if (sqlType.startsWith(QLatin1String("bigint")))
        return 8;
    if (sqlType.startsWith(QLatin1String("decimal(")))
        return decimalBytes(member.memberLength(), member.memberScale());
    if (sqlType == QLatin1String("date") || sqlType == QLatin1String("time"))
        return 3;
    if (sqlType == QLatin1String("datetime"))
        return 5;
    if (sqlType == QLatin1String("tinyint(1)"))
        return 1;
    if (sqlType.startsWith(QLatin1String("enum(")))
        return member.memberEnumValues().size() > 255 ? 2 : 1;
    if (sqlType.startsWith(QLatin1String("text")))
        return 10; // kept off the row; what stays is a pointer
    return 4; // int, float
}

const TMember *refKeyOf(const TProjectModel &model, const TMember &member)
{
    return MemberType::IsReference(member.memberType()) ? model.ProjectKeyMember(member.memberType())
                                                        : nullptr;
}

bool isSqlName(const QString &name)
{
    if (name.isEmpty() || name.size() > maxSqlNameLength
        || name.compare(QLatin1String("PRIMARY"), Qt::CaseInsensitive) == 0)
        return false;
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('_'))
            return false;
    }
    return true;
}

void textLength(QList<TProblem> &problems, const QString &charset, const QString &where,
                const TMember &member, bool textKey)
{
    const int length = member.memberLength();
    const QString name = charsetName(charset);
    if (length < 1 || length > MaxTextLength(charset))
        problems.append({QStringLiteral("memberLength"),
                         where + QStringLiteral("的长度%1不在1到%2之间(%3字符串的最大长度)，请修改长度!")
                                     .arg(length).arg(MaxTextLength(charset)).arg(name)});
    else if (textKey && length > MaxTextKeyLength(charset))
        problems.append({QStringLiteral("memberLength"),
                         where + QStringLiteral("是主键，长度%1超过%2(%3字符串主键的最大长度)，请修改长度!")
                                     .arg(length).arg(MaxTextKeyLength(charset)).arg(name)});
}

void decimal(QList<TProblem> &problems, const QString &where, const TMember &member)
{
    const int precision = member.memberLength();
    const int scale = member.memberScale();
    if (precision < 1 || precision > maxPrecision)
        problems.append({QStringLiteral("memberLength"),
                         where + QStringLiteral("的精度%1不在1到%2之间，请修改精度!").arg(precision).arg(maxPrecision)});
    else if (scale < 0 || scale > std::min(precision, maxScale))
        problems.append({QStringLiteral("memberScale"),
                         where + QStringLiteral("的小数位%1不在0到%2之间(不超过精度, 最多%3)，请修改小数位!")
                                     .arg(scale).arg(std::min(precision, maxScale)).arg(maxScale)});
}

void enumValues(QList<TProblem> &problems, const QString &charset, const QString &where,
                const TMember &member)
{
    const QString field = QStringLiteral("memberEnumValues");
    const QStringList values = member.memberEnumValues();
    if (values.isEmpty())
        problems.append({field, where + QStringLiteral("没有枚举值，请添加枚举值!")});
    // MySQL drops trailing blanks of a value and, in a case-insensitive column, takes two
    // values differing in case alone for the same.
    QHash<QString, QString> seen;
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QString &value = values.at(i);
        if (value.trimmed().isEmpty()) {
            problems.append({field, where + QStringLiteral("的第%1个枚举值是空的，请修改!").arg(i + 1)});
            continue;
        }
        if (value.size() > maxEnumValueLength)
            problems.append({field, where + QStringLiteral("的第%1个枚举值超过%2个字符，请缩短!").arg(i + 1).arg(maxEnumValueLength)});
        if (!IsStorableText(value, charset))
            problems.append({field, where + QStringLiteral("的第%1个枚举值").arg(i + 1) + UnstorableText(charset)});
        QString folded = value.toCaseFolded();
        while (folded.endsWith(QLatin1Char(' ')))
            folded.chop(1);
        if (seen.contains(folded))
            problems.append({field, where + QStringLiteral("的枚举值\"%1\"与\"%2\"重复(不区分大小写)，请修改!")
                                                .arg(value, seen.value(folded))});
        else
            seen.insert(folded, value);
    }
}

void rules(QList<TProblem> &problems, const QString &where, const TMember &member)
{
    const std::pair<const char *, QString> rules[] = {{"memberOnDelete", member.memberOnDelete()},
                                                      {"memberOnUpdate", member.memberOnUpdate()}};
    for (const auto &[field, rule] : rules) {
        const QString what = qstrcmp(field, "memberOnDelete") == 0 ? QStringLiteral("删除时") : QStringLiteral("更新时");
        if (!ForeignKeyRule::All().contains(rule))
            problems.append({QString::fromLatin1(field),
                             where + QStringLiteral("的%1规则\"%2\"不是RESTRICT、CASCADE或SET NULL，请修改!").arg(what, rule)});
        else if (rule == ForeignKeyRule::SetNull && member.memberIsNullable() != 1)
            problems.append({QString::fromLatin1(field),
                             where + QStringLiteral("的%1规则是SET NULL，需要允许空，请勾选允许空或换一个规则!").arg(what)});
    }
}

} // namespace

int BytesPerCharacter(const QString &charset)
{
    static const QHash<QString, int> widths{
        {QStringLiteral("utf8mb4"), 4}, {QStringLiteral("utf16"), 4}, {QStringLiteral("utf16le"), 4},
        {QStringLiteral("utf32"), 4}, {QStringLiteral("ucs2"), 2}, {QStringLiteral("gbk"), 2},
        {QStringLiteral("gb2312"), 2}, {QStringLiteral("big5"), 2}, {QStringLiteral("sjis"), 2},
        {QStringLiteral("cp932"), 2}, {QStringLiteral("euckr"), 2}, {QStringLiteral("ujis"), 3},
        {QStringLiteral("eucjpms"), 3}, {QStringLiteral("utf8"), 3}, {QStringLiteral("utf8mb3"), 3}};
    // The one-byte sets (latin1, ascii, binary, cp1251...) are the rest.
    return charset.isEmpty() ? 3 : widths.value(charset, 1);
}

int MaxTextLength(const QString &charset)
{
    return (maxRowBytes - 2) / BytesPerCharacter(charset);
}

int MaxTextKeyLength(const QString &charset)
{
    return maxIndexBytes / BytesPerCharacter(charset);
}

bool IsStorableText(const QString &text, const QString &charset)
{
    const bool fourBytes = charset == TableCharset::Utf8mb4;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.category() == QChar::Other_Control)
            return false;
        if (c.isSurrogate()) {
            // utf8mb4 holds a character beyond three bytes: a high surrogate and a low one.
            if (!fourBytes || !c.isHighSurrogate() || i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
        }
    }
    return true;
}

QString UnstorableText(const QString &charset)
{
    if (charset == TableCharset::Utf8mb4)
        return QStringLiteral("含有控制字符，请修改!");
    return QStringLiteral("含有控制字符或表情符号等4字节字符，建表脚本的表是utf8字符集，不能保存这些字符，请修改!");
}

QList<TProblem> MemberProblems(const TProjectModel &model, const TClassModel &cls,
                               const TMember &member, const QString &where)
{
    QList<TProblem> problems;
    const QString &charset = model.Charset();
    const QString type = member.memberType();
    const bool composite = cls.compositeKey == 1;
    const bool key = composite ? member.memberIsPri() == 1 : &member == cls.KeyMember();
    // A key that is not an integer key becomes a varchar column of its length, whatever its type;
    // in a composite key only a 字符串 does (a reference keeps the type of the key it refers to,
    // other types are refused as such).
    const TypeRules::TSqlTypeInfo *exact = TypeRules::IsExact(member) ? TypeRules::FindSqlType(member.memberSqlType()) : nullptr;
    if (TypeRules::IsExact(member) && !exact)
        problems.append({QStringLiteral("memberSqlType"),
                         where + QStringLiteral("的列类型\"%1\"不是MySQL的列类型，请修改!").arg(member.memberSqlType())});
    const bool lengthType = exact ? exact->kind == TypeRules::TSqlKind::Char || exact->kind == TypeRules::TSqlKind::Binary
                                  : type == MemberType::Text || type == MemberType::Binary;
    const bool textKey = key && (exact ? lengthType : !TypeRules::IsIntegerKey(&member) && type != MemberType::Enum)
        && (!composite || lengthType);
    const QString ownCharset = type == MemberType::Binary ? QStringLiteral("binary")
        : member.memberCharset().isEmpty() ? charset : member.memberCharset();
    if (lengthType || textKey)
        textLength(problems, ownCharset, where, member, textKey);
    else if (type == MemberType::Decimal)
        decimal(problems, where, member);
    else if (type == MemberType::LongText && (member.memberLength() < 0
                                              || member.memberLength() > maxLongTextBytes / BytesPerCharacter(charset)))
        problems.append({QStringLiteral("memberLength"),
                         where + QStringLiteral("的长度%1不在0到%2之间(0表示不限定)，请修改长度!")
                                     .arg(member.memberLength()).arg(maxLongTextBytes / BytesPerCharacter(charset))});
    else if (type == MemberType::Enum)
        enumValues(problems, charset, where, member);
    if (key && member.memberIsNullable() == 1)
        problems.append({QStringLiteral("memberIsNullable"), where + QStringLiteral("是主键，不能允许空，请修改!")});
    if (exact && !MemberType::IsReference(type) && exact->memberType != type
        && !(type == MemberType::Boolean && exact->kind == TypeRules::TSqlKind::Integer))
        problems.append({QStringLiteral("memberSqlType"),
                         where + QStringLiteral("的列类型%1与类型%2不符(应为%3)，请修改!").arg(member.memberSqlType(), type, exact->memberType)});
    // Every row added through the pages must give the column a value, or the database refuses it.
    const bool numbered = TypeRules::AutoIncrements(member, key && !composite, composite);
    if (!cls.isReadOnly && !TypeRules::TakesNull(member, key) && member.memberDefault().isEmpty() && !numbered
        && !TypeRules::HasInput(member))
        problems.append({QStringLiteral("memberDefault"),
                         where + QStringLiteral("(列 %1)不能为空又没有默认值，添加行的表单却没有它的输入，请把类设为只读或给它默认值!")
                                     .arg(member.memberColumnName().isEmpty() ? member.memberName() : member.memberColumnName())});
    if ((!key || composite) && MemberType::IsReference(type))
        rules(problems, where, member);
    return problems;
}

QList<TProblem> IndexProblems(const TProjectModel &model, const TClassModel &cls)
{
    QList<TProblem> problems;
    QHash<QString, const TMember *> members;
    for (const TMember &member : cls.members)
        members.insert(member.memberName(), &member);
    QHash<QString, QString> names;
    for (qsizetype i = 0; i < cls.indexes.size(); ++i) {
        const TClassIndex &index = cls.indexes.at(i);
        const QString field = QStringLiteral("indexes[%1]").arg(i);
        const QString where = cls.className + QStringLiteral("类的索引\"%1\"").arg(index.indexName);
        const auto add = [&](const QString &message) { problems.append({field, where + message}); };
        if (!isSqlName(index.indexName))
            add(QStringLiteral("的名称不合法(只能由字母、数字和下划线组成，最多64个字符，且不能是PRIMARY)，请修改!"));
        const QString folded = index.indexName.toCaseFolded();
        if (names.contains(folded))
            add(QStringLiteral("与索引\"%1\"重名(不区分大小写)，请修改!").arg(names.value(folded)));
        else
            names.insert(folded, index.indexName);
        if (index.indexMembers.isEmpty())
            add(QStringLiteral("没有成员，请添加!"));
        // The server names a foreign key's own index after its column.
        const TMember *same = members.value(index.indexName);
        if (same && same != cls.KeyMember() && MemberType::IsReference(same->memberType())
            && index.indexMembers.value(0) != same->memberName())
            add(QStringLiteral("与引用成员\"%1\"的外键索引重名，请修改索引名称!").arg(same->memberName()));
        QSet<QString> seen;
        qint64 bytes = 0;
        for (const QString &name : index.indexMembers) {
            const TMember *member = members.value(name);
            if (!member) {
                add(QStringLiteral("的成员\"%1\"不是%2类的成员，请修改!").arg(name, cls.className));
                continue;
            }
            if (seen.contains(name)) {
                add(QStringLiteral("中成员\"%1\"出现了两次，请修改!").arg(name));
                continue;
            }
            seen.insert(name);
            const bool asKey = member == cls.KeyMember();
            const TMember *refKey = asKey ? nullptr : refKeyOf(model, *member);
            const QString sqlType = TypeRules::SqlType(*member, refKey, asKey);
            const TypeRules::TSqlTypeInfo *info = TypeRules::ColumnTypeOf(*member, refKey, asKey);
            const bool whole = info && (info->kind == TypeRules::TSqlKind::Text || info->kind == TypeRules::TSqlKind::Blob
                                        || info->kind == TypeRules::TSqlKind::Json);
            const int prefix = index.Prefix(index.indexMembers.indexOf(name));
            if (prefix > 0 && bytes >= 0) {
                bytes += qint64(prefix) * (info && (info->kind == TypeRules::TSqlKind::Binary || info->kind == TypeRules::TSqlKind::Blob)
                                               ? 1 : BytesPerCharacter(member->memberCharset().isEmpty() ? model.Charset() : member->memberCharset()));
            } else if (sqlType.startsWith(QLatin1String("text")) || whole) {
                add(QStringLiteral("的成员\"%1\"是长文本或图片型，不能建索引，请修改!").arg(name));
                bytes = -1;
            } else if (bytes >= 0 && !sqlType.isEmpty()) {
                const qint64 column = columnBytes(*member, refKey, asKey, model.Charset(), true);
                bytes = column < 0 ? -1 : bytes + column;
            }
        }
        if (bytes > maxIndexBytes)
            add(QStringLiteral("的成员合计需要%1字节，超过索引最多%2字节的限制(%3字符串每个字符占%4字节)，请减少成员或减小长度!")
                    .arg(bytes).arg(maxIndexBytes).arg(charsetName(model.Charset()))
                    .arg(BytesPerCharacter(model.Charset())));
    }
    return problems;
}

QString RowSizeProblem(const TProjectModel &model, const TClassModel &cls)
{
    const TMember *key = cls.KeyMember();
    if (!key)
        return {};
    const QString &charset = model.Charset();
    qint64 bytes = columnBytes(*key, nullptr, true, charset, false);
    int nullable = 0;
    for (const TMember &member : cls.NonKeyMembers()) {
        const TMember *refKey = refKeyOf(model, member);
        if (MemberType::IsReference(member.memberType()) && !refKey)
            continue;
        const qint64 column = columnBytes(member, refKey, false, charset, false);
        if (column < 0 || bytes < 0)
            return {};
        bytes += column;
        if (TypeRules::TakesNull(member, false))
            ++nullable;
    }
    bytes += (nullable + 7) / 8;
    if (bytes <= maxRowBytes)
        return {};
    return cls.className
        + QStringLiteral("类的成员合计需要%1字节，超过MariaDB一行最多65535字节的限制(%2字符串每个字符占%3字节)，请减小字符串成员的长度!")
              .arg(bytes).arg(charsetName(charset)).arg(BytesPerCharacter(charset));
}

} // namespace TableRules
