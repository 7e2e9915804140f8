#include "ColumnMapping.h"

#include "generator/check/TableRules.h"
#include "generator/check/TypeRules.h"
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
    const QString type = column.dataType.toLower();
    const TypeRules::TParsedType parsed = TypeRules::ParseSqlType(column.columnType);
    const TypeRules::TSqlTypeInfo *info = TypeRules::FindSqlType(type == QLatin1String("real") ? QStringLiteral("double") : type);
    if (!info)
        return std::nullopt;
    using K = TypeRules::TSqlKind;
    const QString columnType = column.columnType.toLower();
    const int isUnsigned = parsed.isUnsigned ? 1 : 0;
    const int bytes = TableRules::BytesPerCharacter(column.charset.isEmpty() ? charset : column.charset);
    TMappedType mapped{info->memberType};
    mapped.sqlType = info->name;
    mapped.exactLength = parsed.numbers.value(0);
    mapped.exactScale = parsed.numbers.value(1);
    mapped.zerofill = columnType.contains(QLatin1String(" zerofill")) ? 1 : 0;
    mapped.isUnsigned = isUnsigned;
    switch (info->kind) {
    case K::Char:
        mapped.length = clampedLength(column.length);
        mapped.exactLength = mapped.length;
        break;
    case K::Binary:
        mapped.length = clampedLength(column.length);
        mapped.exactLength = mapped.length;
        break;
    case K::Text:
        mapped.length = info->rank == 2 ? 0 : int(std::min<qlonglong>(info->bytes / bytes + (info->rank == 4 ? 1 : 0), INT_MAX));
        if (info->rank == 4)
            mapped.length = int(mediumTextBytes / bytes) + 1;
        break;
    case K::Integer:
        if (columnType.startsWith(QLatin1String("tinyint(1)")) && !isUnsigned && !mapped.zerofill)
            mapped.type = MemberType::Boolean;
        break;
    case K::Decimal:
        mapped.length = column.precision;
        mapped.scale = column.scale;
        mapped.exactLength = column.precision;
        mapped.exactScale = column.scale;
        break;
    case K::Enum:
    case K::Set:
        mapped.enumValues = EnumValues(column.columnType);
        break;
    case K::Native:
        mapped.length = info->name == QLatin1String("uuid") ? 36 : info->name == QLatin1String("inet4") ? 15 : 39;
        break;
    default:
        break;
    }
    // What the type alone gives keeps no unsigned where 类型 has none.
    if (!TypeRules::UsesUnsigned(mapped.type))
        mapped.isUnsigned = 0;
    return mapped;
}

QString DefaultOf(const TColumnInfo &column, bool mariadb)
{
    if (!column.columnDefault)
        return QString();
    const QString value = *column.columnDefault;
    if (mariadb)
        return value;
    if (column.extra.contains(QLatin1String("default_generated")))
        return value.startsWith(QLatin1String("CURRENT_TIMESTAMP"), Qt::CaseInsensitive) ? value.toLower() : value;
    const TypeRules::TSqlTypeInfo *info = TypeRules::FindSqlType(column.dataType);
    using K = TypeRules::TSqlKind;
    const bool bare = info && (info->kind == K::Integer || info->kind == K::Decimal || info->kind == K::Float
                               || info->kind == K::Year || (info->kind == K::Bit && value.startsWith(QLatin1String("b'"))));
    return bare ? value : QLatin1Char('\'') + TypeRules::SqlStringText(value) + QLatin1Char('\'');
}
