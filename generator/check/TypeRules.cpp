#include "TypeRules.h"

#include <QStringList>

namespace TypeRules {

bool IsNumber(const QString &type)
{
    return type == MemberType::Integer || type == MemberType::Float || type == MemberType::BigInt
        || type == MemberType::Decimal;
}

bool IsBare(const QString &type)
{
    return IsNumber(type) || type == MemberType::Boolean;
}

bool UsesLength(const QString &type)
{
    return type == MemberType::Text || type == MemberType::Decimal || type == MemberType::LongText
        || type == MemberType::Binary;
}

bool UsesScale(const QString &type)
{
    return type == MemberType::Decimal;
}

bool UsesUnsigned(const QString &type)
{
    return type == MemberType::Integer || type == MemberType::BigInt;
}

bool UsesEnumValues(const QString &type)
{
    return type == MemberType::Enum;
}

bool CanBeKey(const QString &type)
{
    return type == MemberType::Text || type == MemberType::Integer || type == MemberType::BigInt
        || type == MemberType::Enum || type == MemberType::Binary;
}

bool IsIntegerKey(const TMember *key)
{
    if (key && IsExact(*key)) {
        const TSqlTypeInfo *info = FindSqlType(key->memberSqlType());
        return info && info->kind == TSqlKind::Integer && key->memberAutoIncrement() == 1;
    }
    return key && (key->memberIsInteger() == 1 || key->memberType() == MemberType::BigInt);
}

namespace {

// Display widths as MariaDB gives them to a column declared without one.
QString integerType(const TMember &member)
{
    const bool big = member.memberType() == MemberType::BigInt;
    if (member.memberIsUnsigned() == 1 && UsesUnsigned(member.memberType()))
        return big ? QStringLiteral("bigint(20) unsigned") : QStringLiteral("int(10) unsigned");
    return big ? QStringLiteral("bigint(20)") : QStringLiteral("int(11)");
}

QString enumType(const QStringList &values)
{
    QStringList quoted;
    for (const QString &value : values)
        quoted.append(QLatin1Char('\'') + SqlStringText(value) + QLatin1Char('\''));
    return QStringLiteral("enum(%1)").arg(quoted.join(QLatin1Char(',')));
}

} // namespace

QString SqlType(const TMember &member, const TMember *refKey, bool asKey)
{
    const QString type = member.memberType();
    if (IsExact(member))
        return ExactSqlType(member);
    if (asKey) {
        if (IsIntegerKey(&member))
            return integerType(member);
        if (type == MemberType::Enum)
            return enumType(member.memberEnumValues());
        if (type == MemberType::Binary)
            return QStringLiteral("varbinary(%1)").arg(member.memberLength());
        return QStringLiteral("varchar(%1)").arg(member.memberLength());
    }
    if (type == MemberType::Text)
        return QStringLiteral("varchar(%1)").arg(member.memberLength());
    if (type == MemberType::Integer || type == MemberType::BigInt)
        return integerType(member);
    if (type == MemberType::Float)
        return QStringLiteral("float");
    if (type == MemberType::Date)
        return QStringLiteral("date");
    if (type == MemberType::Picture)
        return QStringLiteral("text");
    if (type == MemberType::Decimal)
        return QStringLiteral("decimal(%1,%2)").arg(member.memberLength()).arg(member.memberScale());
    if (type == MemberType::DateTime)
        return QStringLiteral("datetime");
    if (type == MemberType::Time)
        return QStringLiteral("time");
    if (type == MemberType::LongText)
        return member.memberLength() > 0 ? QStringLiteral("text(%1)").arg(member.memberLength())
                                         : QStringLiteral("text");
    if (type == MemberType::Boolean)
        return QStringLiteral("tinyint(1)");
    if (type == MemberType::Enum)
        return enumType(member.memberEnumValues());
    if (type == MemberType::Binary)
        return QStringLiteral("varbinary(%1)").arg(member.memberLength());
    if (type == MemberType::Blob)
        return QStringLiteral("longblob");
    return refKey ? SqlType(*refKey, nullptr, true) : QString();
}

bool HoldsText(const TMember &member, const TMember *refKey, bool asKey)
{
    const QString type = member.memberType();
    if (IsExact(member) || (MemberType::IsReference(type) && !asKey && refKey && IsExact(*refKey))) {
        const TSqlTypeInfo *info = ColumnTypeOf(member, refKey, asKey);
        return info && (info->kind == TSqlKind::Char || info->kind == TSqlKind::Text
                        || info->kind == TSqlKind::Enum || info->kind == TSqlKind::Set);
    }
    if (asKey && type == MemberType::Binary)
        return false;
    if (asKey)
        return !IsIntegerKey(&member);
    if (MemberType::IsReference(type))
        return refKey && !IsIntegerKey(refKey);
    return type == MemberType::Text || type == MemberType::Picture || type == MemberType::LongText
        || type == MemberType::Enum;
}

bool TakesNull(const TMember &member, bool asKey)
{
    if (asKey)
        return false;
    if (IsExact(member))
        return member.memberIsNullable() == 1;
    if (member.memberIsNullable() == 1)
        return true;
    return member.memberType() == MemberType::Text && member.memberIsMust() != 1;
}

QString SqlStringText(const QString &text)
{
    QString result = text;
    result.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    result.replace(QLatin1Char('\''), QLatin1String("''"));
    return result;
}

} // namespace TypeRules
