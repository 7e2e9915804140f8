#include "ColumnMapping.h"

#include "generator/check/TableRules.h"
#include "model/Member.h"

#include <QSet>

#include <algorithm>
#include <climits>

namespace {

// The longest text of each size in bytes; text(N) is the smallest that holds N characters.
constexpr qlonglong tinyTextBytes = 255;
constexpr qlonglong mediumTextBytes = 16777215;

int clampedLength(qlonglong length)
{
    return int(std::clamp<qlonglong>(length, 0, INT_MAX));
}

} // namespace

QStringList EnumValues(const QString &columnType)
{
    QStringList values;
    const qsizetype open = columnType.indexOf(QLatin1Char('('));
    QString value;
    bool quoted = false;
    for (qsizetype i = open + 1; open >= 0 && i < columnType.size(); ++i) {
        const QChar c = columnType.at(i);
        if (!quoted) {
            if (c == QLatin1Char('\''))
                quoted = true;
            continue;
        }
        if (c == QLatin1Char('\'') && i + 1 < columnType.size() && columnType.at(i + 1) == QLatin1Char('\'')) {
            value += c;
            ++i;
        } else if (c == QLatin1Char('\'')) {
            values.append(value);
            value.clear();
            quoted = false;
        } else {
            value += c;
        }
    }
    return values;
}

std::optional<TMappedType> MapColumnType(const TColumnInfo &column, const QString &charset)
{
    static const QSet<QString> integers{QStringLiteral("tinyint"), QStringLiteral("smallint"),
                                        QStringLiteral("mediumint"), QStringLiteral("int"),
                                        QStringLiteral("integer")};
    const QString type = column.dataType.toLower();
    const QString columnType = column.columnType.toLower();
    const int isUnsigned = columnType.contains(QLatin1String("unsigned")) ? 1 : 0;
    const int bytes = TableRules::BytesPerCharacter(charset);
    if (type == QLatin1String("char") || type == QLatin1String("varchar"))
        return TMappedType{MemberType::Text, clampedLength(column.length)};
    if (type == QLatin1String("tinytext"))
        return TMappedType{MemberType::LongText, int(tinyTextBytes / bytes)};
    if (type == QLatin1String("text"))
        return TMappedType{MemberType::LongText};
    if (type == QLatin1String("mediumtext"))
        return TMappedType{MemberType::LongText, int(mediumTextBytes / bytes)};
    if (type == QLatin1String("longtext"))
        return TMappedType{MemberType::LongText, int(mediumTextBytes / bytes) + 1};
    if (columnType.startsWith(QLatin1String("tinyint(1)")) && !isUnsigned)
        return TMappedType{MemberType::Boolean};
    if (integers.contains(type))
        return TMappedType{MemberType::Integer, 0, 0, isUnsigned};
    if (type == QLatin1String("bigint"))
        return TMappedType{MemberType::BigInt, 0, 0, isUnsigned};
    const bool decimal = type == QLatin1String("decimal") || type == QLatin1String("numeric");
    const bool scaledDouble =
        (type == QLatin1String("double") || type == QLatin1String("real")) && column.hasScale;
    if (decimal || scaledDouble)
        return TMappedType{MemberType::Decimal, column.precision, column.scale};
    if (type == QLatin1String("float") || type == QLatin1String("double") || type == QLatin1String("real"))
        return TMappedType{MemberType::Float};
    if (type == QLatin1String("date"))
        return TMappedType{MemberType::Date};
    if (type == QLatin1String("datetime") || type == QLatin1String("timestamp"))
        return TMappedType{MemberType::DateTime};
    if (type == QLatin1String("time"))
        return TMappedType{MemberType::Time};
    if (type == QLatin1String("enum"))
        return TMappedType{MemberType::Enum, 0, 0, 0, EnumValues(column.columnType)};
    if (type == QLatin1String("set"))
        return TMappedType{MemberType::Enum, 0, 0, 0, EnumValues(column.columnType),
                           QStringLiteral("按枚举型导入，每行只能保存其中一个值")};
    return std::nullopt;
}
