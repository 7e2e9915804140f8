// The column types as the database has them: the one table the import, the scripts, the
// checker and the pages' field descriptions read.
#include "TypeRules.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace TypeRules {

namespace {

const QList<TSqlTypeInfo> &sqlTypes()
{
    using K = TSqlKind;
    static const QList<TSqlTypeInfo> types{
        {QStringLiteral("tinyint"), K::Integer, MemberType::Integer, 1},
        {QStringLiteral("smallint"), K::Integer, MemberType::Integer, 2},
        {QStringLiteral("mediumint"), K::Integer, MemberType::Integer, 3},
        {QStringLiteral("int"), K::Integer, MemberType::Integer, 4},
        {QStringLiteral("bigint"), K::Integer, MemberType::BigInt, 5},
        {QStringLiteral("decimal"), K::Decimal, MemberType::Decimal},
        {QStringLiteral("float"), K::Float, MemberType::Float, 1},
        {QStringLiteral("double"), K::Float, MemberType::Float, 2},
        {QStringLiteral("bit"), K::Bit, MemberType::BigInt},
        {QStringLiteral("char"), K::Char, MemberType::Text},
        {QStringLiteral("varchar"), K::Char, MemberType::Text},
        {QStringLiteral("tinytext"), K::Text, MemberType::LongText, 1, 255},
        {QStringLiteral("text"), K::Text, MemberType::LongText, 2, 65535},
        {QStringLiteral("mediumtext"), K::Text, MemberType::LongText, 3, 16777215},
        {QStringLiteral("longtext"), K::Text, MemberType::LongText, 4, 4294967295LL},
        {QStringLiteral("binary"), K::Binary, MemberType::Binary},
        {QStringLiteral("varbinary"), K::Binary, MemberType::Binary},
        {QStringLiteral("tinyblob"), K::Blob, MemberType::Blob, 1, 255},
        {QStringLiteral("blob"), K::Blob, MemberType::Blob, 2, 65535},
        {QStringLiteral("mediumblob"), K::Blob, MemberType::Blob, 3, 16777215},
        {QStringLiteral("longblob"), K::Blob, MemberType::Blob, 4, 4294967295LL},
        {QStringLiteral("date"), K::Date, MemberType::Date},
        {QStringLiteral("datetime"), K::Temporal, MemberType::DateTime},
        {QStringLiteral("timestamp"), K::Temporal, MemberType::DateTime},
        {QStringLiteral("time"), K::Temporal, MemberType::Time},
        {QStringLiteral("year"), K::Year, MemberType::Integer},
        {QStringLiteral("enum"), K::Enum, MemberType::Enum},
        {QStringLiteral("set"), K::Set, MemberType::Enum},
        {QStringLiteral("json"), K::Json, MemberType::LongText, 4, 4294967295LL},
        // MariaDB's own: text in PHP, no character set in the database.
        {QStringLiteral("uuid"), K::Native, MemberType::Text},
        {QStringLiteral("inet4"), K::Native, MemberType::Text},
        {QStringLiteral("inet6"), K::Native, MemberType::Text}};
    return types;
}

QString quotedValues(const QStringList &values)
{
    QStringList quoted;
    for (const QString &value : values)
        quoted.append(QLatin1Char('\'') + SqlStringText(value) + QLatin1Char('\''));
    return quoted.join(QLatin1Char(','));
}

// The values an integer-like column holds, from lowest to highest.
struct TRange {
    long double low = 0;
    long double high = 0;
    bool Holds(const TRange &o) const { return low <= o.low && high >= o.high; }
};

std::optional<TRange> rangeOf(const TParsedType &type, const TSqlTypeInfo &info)
{
    if (info.kind == TSqlKind::Integer) {
        const int bits = info.rank == 5 ? 64 : info.rank == 4 ? 32 : info.rank * 8;
        const long double span = std::pow(2.0L, bits);
        return type.isUnsigned ? TRange{0, span - 1} : TRange{-span / 2, span / 2 - 1};
    }
    if (info.kind == TSqlKind::Year)
        return TRange{0, 2155};
    if (info.kind == TSqlKind::Bit)
        return TRange{0, std::pow(2.0L, type.numbers.value(0, 1)) - 1};
    if (info.kind == TSqlKind::Decimal) {
        const long double most = std::pow(10.0L, type.numbers.value(0, 10) - type.numbers.value(1, 0));
        return TRange{type.isUnsigned ? 0 : -most, most};
    }
    return std::nullopt;
}

// The bytes a text(N) or a text family column holds: MySQL picks the smallest size for text(N).
qint64 textBytes(const TParsedType &type, const TSqlTypeInfo &info, const QString &charset)
{
    if (info.name != QLatin1String("text") || type.numbers.isEmpty())
        return info.bytes;
    const qint64 wanted = qint64(type.numbers.first()) * (charset == QLatin1String("utf8mb4") ? 4 : 3);
    for (const qint64 size : {255LL, 65535LL, 16777215LL})
        if (wanted <= size)
            return size;
    return 4294967295LL;
}

// The longest text a value of the type is written with; -1 when unbounded or unknown.
int widthOf(const TParsedType &type, const TSqlTypeInfo &info)
{
    switch (info.kind) {
    case TSqlKind::Integer:
        return info.rank == 5 ? 20 : info.rank == 4 ? 11 : info.rank == 3 ? 8 : info.rank == 2 ? 6 : 4;
    case TSqlKind::Decimal:
        return type.numbers.value(0, 10) + 2;
    case TSqlKind::Char:
        return type.numbers.value(0, 1);
    case TSqlKind::Date:
        return 10;
    case TSqlKind::Year:
        return 4;
    case TSqlKind::Temporal:
        return (info.name == QLatin1String("time") ? 10 : 19) + (type.numbers.value(0) > 0 ? type.numbers.value(0) + 1 : 0);
    case TSqlKind::Enum: {
        int longest = 0;
        for (const QString &value : type.values)
            longest = std::max(longest, int(value.size()));
        return longest;
    }
    default:
        return -1;
    }
}

} // namespace

const TSqlTypeInfo *FindSqlType(const QString &name)
{
    static const QHash<QString, const TSqlTypeInfo *> byName = [] {
        QHash<QString, const TSqlTypeInfo *> hash;
        for (const TSqlTypeInfo &info : sqlTypes())
            hash.insert(info.name, &info);
        return hash;
    }();
    return byName.value(name.toLower(), nullptr);
}

TParsedType ParseSqlType(const QString &type)
{
    TParsedType parsed;
    const QString lower = type.trimmed();
    const qsizetype open = lower.indexOf(QLatin1Char('('));
    const qsizetype blank = lower.indexOf(QLatin1Char(' '));
    const qsizetype end = open >= 0 && (blank < 0 || open < blank) ? open : blank;
    parsed.name = (end < 0 ? lower : lower.left(end)).toLower();
    if (parsed.name == QLatin1String("enum") || parsed.name == QLatin1String("set")) {
        // The values, quotes doubled inside them.
        QString value;
        bool quoted = false;
        qsizetype i = open + 1;
        for (; open >= 0 && i < lower.size(); ++i) {
            const QChar c = lower.at(i);
            if (!quoted) {
                if (c == QLatin1Char('\''))
                    quoted = true;
                else if (c == QLatin1Char(')'))
                    break;
                continue;
            }
            if (c == QLatin1Char('\'') && i + 1 < lower.size() && lower.at(i + 1) == QLatin1Char('\'')) {
                value += c;
                ++i;
            } else if (c == QLatin1Char('\\') && i + 1 < lower.size()) {
                value += lower.at(++i);
            } else if (c == QLatin1Char('\'')) {
                parsed.values.append(value);
                value.clear();
                quoted = false;
            } else {
                value += c;
            }
        }
        return parsed;
    }
    if (open >= 0 && (blank < 0 || open < blank)) {
        const qsizetype close = lower.indexOf(QLatin1Char(')'), open);
        for (const QString &number : lower.mid(open + 1, close - open - 1).split(QLatin1Char(',')))
            parsed.numbers.append(number.trimmed().toInt());
    }
    parsed.isUnsigned = lower.contains(QLatin1String(" unsigned"), Qt::CaseInsensitive);
    return parsed;
}

const TSqlTypeInfo *ColumnTypeOf(const TMember &member, const TMember *refKey, bool asKey)
{
    if (IsExact(member))
        return FindSqlType(member.memberSqlType());
    return FindSqlType(ParseSqlType(SqlType(member, refKey, asKey)).name);
}

QString ExactSqlType(const TMember &member)
{
    const TSqlTypeInfo *info = FindSqlType(member.memberSqlType());
    const QString name = member.memberSqlType().toLower();
    if (!info)
        return name;
    const int length = member.memberLength();
    const auto bracket = [&](bool always) {
        return length > 0 || always ? QStringLiteral("(%1)").arg(length) : QString();
    };
    QString type = name;
    switch (info->kind) {
    case TSqlKind::Integer:
    case TSqlKind::Year:
        type += bracket(false);
        break;
    case TSqlKind::Decimal:
        type += QStringLiteral("(%1,%2)").arg(length).arg(member.memberScale());
        break;
    case TSqlKind::Float:
        if (length > 0)
            type += QStringLiteral("(%1,%2)").arg(length).arg(member.memberScale());
        break;
    case TSqlKind::Bit:
    case TSqlKind::Char:
    case TSqlKind::Binary:
        type += bracket(true);
        break;
    case TSqlKind::Temporal:
        type += bracket(false);
        break;
    case TSqlKind::Enum:
    case TSqlKind::Set:
        type += QLatin1Char('(') + quotedValues(member.memberEnumValues()) + QLatin1Char(')');
        break;
    default:
        break;
    }
    const bool numeric = info->kind == TSqlKind::Integer || info->kind == TSqlKind::Decimal
        || info->kind == TSqlKind::Float;
    if (numeric && member.memberIsUnsigned() == 1)
        type += QStringLiteral(" unsigned");
    if (numeric && member.memberIsZerofill() == 1)
        type += QStringLiteral(" zerofill");
    return type;
}

bool AutoIncrements(const TMember &member, bool asKey, bool compositeKey)
{
    if (IsExact(member))
        return member.memberAutoIncrement() == 1;
    return asKey && !compositeKey && IsIntegerKey(&member);
}

bool HasInput(const TMember &member)
{
    // Short bytes are written in hex, but a key in hex is not yet one the history, trash and
    // row owners find; a file's content is shown by its size, never written by the pages.
    if ((member.memberType() == MemberType::Binary && member.memberIsPri() == 1) || member.memberType() == MemberType::Blob)
        return false;
    return !IsExact(member) || FindSqlType(member.memberSqlType()) != nullptr;
}

QString DefaultClause(const TMember &member)
{
    const QString value = member.memberDefault();
    if (value.isEmpty())
        return QString();
    // Literals and the current time go as they are; any other expression in brackets.
    static const QRegularExpression plain(QStringLiteral(
        "^('.*'|-?[0-9.]+(e[-+]?[0-9]+)?|null|[bx]'[0-9a-f]*'|0x[0-9a-f]+|"
        "current_timestamp(\\([0-6]?\\))?|now\\([0-6]?\\)|localtimestamp(\\([0-6]?\\))?)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const bool bare = plain.match(value).hasMatch() || (value.startsWith(QLatin1Char('(')) && value.endsWith(QLatin1Char(')')));
    return QStringLiteral(" DEFAULT ") + (bare ? value : QLatin1Char('(') + value + QLatin1Char(')'));
}

QString OnUpdateClause(const TMember &member)
{
    if (member.memberOnUpdateNow() != 1)
        return QString();
    const int digits = IsExact(member) ? member.memberLength() : 0;
    return digits > 0 ? QStringLiteral(" ON UPDATE current_timestamp(%1)").arg(digits)
                      : QStringLiteral(" ON UPDATE current_timestamp()");
}

std::optional<QString> DefaultValue(const TMember &member)
{
    const QString value = member.memberDefault();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\''))) {
        QString text;
        for (qsizetype i = 1; i + 1 < value.size(); ++i) {
            const QChar c = value.at(i);
            if ((c == QLatin1Char('\'') || c == QLatin1Char('\\')) && i + 2 < value.size()) {
                const QChar next = value.at(++i);
                static const QHash<QChar, QChar> escapes{{u'n', u'\n'}, {u'r', u'\r'}, {u't', u'\t'}, {u'0', QChar(0)}};
                text += c == QLatin1Char('\\') ? escapes.value(next, next) : next;
            } else {
                text += c;
            }
        }
        return text;
    }
    static const QRegularExpression number(QStringLiteral("^-?[0-9.]+(e[-+]?[0-9]+)?$"), QRegularExpression::CaseInsensitiveOption);
    if (number.match(value).hasMatch())
        return value;
    return std::nullopt;
}

QString Narrowing(const QString &before, const QString &after, const QString &charset)
{
    if (before == after)
        return QString();
    const TParsedType from = ParseSqlType(before);
    const TParsedType to = ParseSqlType(after);
    const TSqlTypeInfo *a = FindSqlType(from.name);
    const TSqlTypeInfo *b = FindSqlType(to.name);
    const QString changed = QStringLiteral("类型由 %1 改为 %2").arg(before, after);
    if (!a || !b)
        return changed;
    const int fromLength = from.numbers.value(0, 1);
    const int toLength = to.numbers.value(0, 1);
    const bool lengths = a->kind == b->kind && (a->kind == TSqlKind::Char || a->kind == TSqlKind::Binary || a->kind == TSqlKind::Bit);
    if (lengths)
        return toLength >= fromLength ? QString() : QStringLiteral("长度由 %1 缩短为 %2").arg(fromLength).arg(toLength);
    if (b->kind == TSqlKind::Char) {
        const int width = widthOf(from, *a);
        return width >= 0 && width <= toLength ? QString() : changed;
    }
    if ((b->kind == TSqlKind::Text && (a->kind == TSqlKind::Text || a->kind == TSqlKind::Json || a->kind == TSqlKind::Char))
        || (b->kind == TSqlKind::Blob && (a->kind == TSqlKind::Blob || a->kind == TSqlKind::Binary))) {
        const qint64 fromBytes = a->kind == TSqlKind::Char || a->kind == TSqlKind::Binary
            ? qint64(fromLength) * (a->kind == TSqlKind::Char ? 4 : 1) : textBytes(from, *a, charset);
        return textBytes(to, *b, charset) >= fromBytes ? QString() : changed;
    }
    if (b->kind == TSqlKind::Json)
        return changed;
    const std::optional<TRange> oldRange = rangeOf(from, *a);
    const std::optional<TRange> newRange = rangeOf(to, *b);
    if (newRange && oldRange) {
        const bool scale = b->kind != TSqlKind::Decimal || a->kind != TSqlKind::Decimal
            || to.numbers.value(1, 0) >= from.numbers.value(1, 0);
        return newRange->Holds(*oldRange) && scale ? QString() : changed;
    }
    if (a->kind == b->kind && a->kind == TSqlKind::Float)
        return b->rank >= a->rank && (to.numbers.isEmpty() || to.numbers == from.numbers) ? QString() : changed;
    if (b->kind == TSqlKind::Float && oldRange)
        return b->rank == 2 && oldRange->high <= 9007199254740992.0L ? QString() : changed;
    if (a->kind == TSqlKind::Temporal && b->kind == TSqlKind::Temporal && a->name == b->name)
        return to.numbers.value(0, 0) >= from.numbers.value(0, 0) ? QString() : changed;
    if (a->kind == TSqlKind::Date && b->kind == TSqlKind::Temporal && b->name != QLatin1String("time"))
        return QString();
    if (a->kind == TSqlKind::Temporal && b->kind == TSqlKind::Temporal && a->name != QLatin1String("time")
        && b->name != QLatin1String("time"))
        return b->name == QLatin1String("datetime") && to.numbers.value(0, 0) >= from.numbers.value(0, 0) ? QString() : changed;
    if ((a->kind == TSqlKind::Enum || a->kind == TSqlKind::Set) && a->kind == b->kind) {
        for (const QString &value : from.values) {
            if (!to.values.contains(value))
                return changed;
        }
        return QString();
    }
    return changed;
}

QString RowsAtRisk(const QString &before, const QString &after, const QString &column)
{
    const TParsedType from = ParseSqlType(before);
    const TParsedType to = ParseSqlType(after);
    const TSqlTypeInfo *a = FindSqlType(from.name);
    const TSqlTypeInfo *b = FindSqlType(to.name);
    if (!a || !b)
        return QString();
    if (b->kind == TSqlKind::Char && (a->kind == TSqlKind::Char || a->kind == TSqlKind::Text))
        return QStringLiteral("CHAR_LENGTH(%1) > %2").arg(column).arg(to.numbers.value(0, 1));
    if (b->kind == TSqlKind::Binary && (a->kind == TSqlKind::Binary || a->kind == TSqlKind::Blob))
        return QStringLiteral("LENGTH(%1) > %2").arg(column).arg(to.numbers.value(0, 1));
    if (const std::optional<TRange> range = rangeOf(to, *b); range && b->kind == TSqlKind::Integer) {
        return QStringLiteral("%1 NOT BETWEEN %2 AND %3")
            .arg(column, QString::number(double(range->low), 'f', 0), QString::number(double(range->high), 'f', 0));
    }
    return QString();
}

TMember KeepExact(const TMember &stored, const TMember &edited)
{
    TMember member = edited;
    if (stored.memberType() != edited.memberType())
        return member;
    member.setMemberDefault(stored.memberDefault());
    member.setMemberOnUpdateNow(stored.memberOnUpdateNow());
    member.setMemberCharset(stored.memberCharset());
    member.setMemberCollation(stored.memberCollation());
    if (!IsExact(stored))
        return member;
    const QString type = stored.memberType();
    member.setMemberSqlType(stored.memberSqlType());
    member.setMemberIsZerofill(stored.memberIsZerofill());
    member.setMemberAutoIncrement(stored.memberAutoIncrement());
    if (!UsesLength(type))
        member.setMemberLength(stored.memberLength());
    if (!UsesScale(type))
        member.setMemberScale(stored.memberScale());
    if (!UsesUnsigned(type))
        member.setMemberIsUnsigned(stored.memberIsUnsigned());
    if (!UsesEnumValues(type))
        member.setMemberEnumValues(stored.memberEnumValues());
    return member;
}

} // namespace TypeRules
