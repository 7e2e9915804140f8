#include "UpgradeComparison.h"

#include "DataBaseSql.h"
#include "Naming.h"
#include "ProjectModel.h"
#include "TableRules.h"
#include "TypeRules.h"

#include <QStringList>

#include <cmath>
#include <optional>

namespace {

// The values an integer or decimal column holds, from lowest to highest.
struct TRange {
    long double low = 0;
    long double high = 0;
    bool Holds(const TRange &other) const { return low <= other.low && high >= other.high; }
};

std::optional<TRange> integerRange(const QString &type)
{
    static const QHash<QString, TRange> ranges{
        {QStringLiteral("tinyint(1)"), {-128.0L, 127.0L}},
        {QStringLiteral("int(11)"), {-2147483648.0L, 2147483647.0L}},
        {QStringLiteral("int(10) unsigned"), {0.0L, 4294967295.0L}},
        {QStringLiteral("bigint(20)"), {-9223372036854775808.0L, 9223372036854775807.0L}},
        {QStringLiteral("bigint(20) unsigned"), {0.0L, 18446744073709551615.0L}}};
    const auto it = ranges.constFind(type);
    return it == ranges.cend() ? std::nullopt : std::optional<TRange>(*it);
}

// precision and scale of "decimal(p,s)".
std::optional<std::pair<int, int>> decimalDigits(const QString &type)
{
    if (!type.startsWith(QLatin1String("decimal(")))
        return std::nullopt;
    const QStringList parts = type.mid(8).chopped(1).split(QLatin1Char(','));
    return std::pair(parts.value(0).toInt(), parts.value(1).toInt());
}

int varcharLength(const QString &type)
{
    if (!type.startsWith(QLatin1String("varchar(")))
        return -1;
    return type.mid(8).chopped(1).toInt();
}

// The most characters a value of the column is written with, so that a varchar at least that
// long holds it; -1 when there is no such bound.
int textWidth(const TUpgradeColumn &column, const QString &type)
{
    static const QHash<QString, int> widths{
        {QStringLiteral("int(11)"), 11},   {QStringLiteral("int(10) unsigned"), 10},
        {QStringLiteral("bigint(20)"), 20}, {QStringLiteral("bigint(20) unsigned"), 20},
        {QStringLiteral("tinyint(1)"), 4},  {QStringLiteral("float"), 12},
        {QStringLiteral("date"), 10},      {QStringLiteral("datetime"), 19},
        {QStringLiteral("time"), 10}};
    if (widths.contains(type))
        return widths.value(type);
    if (const int length = varcharLength(type); length >= 0)
        return length;
    if (const auto digits = decimalDigits(type))
        return digits->first + 2;
    if (type.startsWith(QLatin1String("enum("))) {
        int longest = 0;
        for (const QString &value : column.member->memberEnumValues())
            longest = std::max(longest, int(value.size()));
        return longest;
    }
    return -1;
}

// The bytes a text column holds: MySQL picks the smallest of the four sizes for text(N).
qint64 textBytes(const TUpgradeColumn &column, const QString &type)
{
    const qint64 wanted = type == QLatin1String("text")
        ? 65535
        : type.mid(5).chopped(1).toLongLong() * TableRules::BytesPerCharacter(column.model->Charset());
    for (const qint64 size : {255LL, 65535LL, 16777215LL})
        if (wanted <= size)
            return size;
    return 4294967295LL;
}

// Whether every value of the old column fits the new one unchanged.
bool valuesFit(const TUpgradeColumn &from, const QString &before, const TUpgradeColumn &to,
               const QString &after)
{
    if (after.startsWith(QLatin1String("text")))
        return !before.startsWith(QLatin1String("text")) || textBytes(to, after) >= textBytes(from, before);
    if (const int length = varcharLength(after); length >= 0) {
        const int width = textWidth(from, before);
        return width >= 0 && width <= length;
    }
    const std::optional<TRange> old = integerRange(before);
    if (const std::optional<TRange> range = integerRange(after))
        return old && range->Holds(*old);
    if (const auto digits = decimalDigits(after)) {
        const long double most = std::pow(10.0L, digits->first - digits->second) - 1;
        if (old)
            return TRange{-most, most}.Holds(*old);
        const auto oldDigits = decimalDigits(before);
        return oldDigits && digits->first - digits->second >= oldDigits->first - oldDigits->second
            && digits->second >= oldDigits->second;
    }
    if (after == QLatin1String("datetime"))
        return before == QLatin1String("date");
    if (after.startsWith(QLatin1String("enum(")) && before.startsWith(QLatin1String("enum("))) {
        const QStringList values = to.member->memberEnumValues();
        for (const QString &value : from.member->memberEnumValues()) {
            if (!values.contains(value))
                return false;
        }
        return true;
    }
    return false;
}

QStringList memberNamesOf(const TClassModel &cls)
{
    QStringList names;
    for (const TMember &member : cls.members)
        names.append(member.memberName());
    return names;
}

} // namespace

QString TUpgradeComparison::LossWarning(const TUpgradeColumn &from, const TUpgradeColumn &to)
{
    const QString before = from.SqlType();
    const QString after = to.SqlType();
    QStringList reasons;
    if (TypeRules::IsExact(*from.member) || TypeRules::IsExact(*to.member)) {
        if (const QString narrowed = TypeRules::Narrowing(before, after, to.model->Charset()); !narrowed.isEmpty()) {
            reasons << narrowed;
            const QString rows = TypeRules::RowsAtRisk(before, after, Naming::BackQuoted(from.name));
            if (!rows.isEmpty())
                reasons << QStringLiteral("受影响的行: SELECT * FROM %1 WHERE %2")
                               .arg(Naming::BackQuoted(Naming::TableName(from.prefix, from.table->className, from.table->tableName)), rows);
        }
    } else if (before != after && !valuesFit(from, before, to, after)) {
        const int fromLength = varcharLength(before);
        const int toLength = varcharLength(after);
        if (fromLength >= 0 && toLength >= 0)
            reasons << QStringLiteral("长度由 %1 缩短为 %2").arg(fromLength).arg(toLength);
        else
            reasons << QStringLiteral("类型由 %1 改为 %2").arg(before, after);
    }
    if (TypeRules::TakesNull(*from.member, from.asKey) && !TypeRules::TakesNull(*to.member, to.asKey))
        reasons << QStringLiteral("不再允许空值, 已有的空值将变为默认值");
    if (reasons.isEmpty())
        return {};
    return QStringLiteral("警告: 可能丢失数据: `%1` ").arg(to.name) + reasons.join(QStringLiteral("; "));
}

const QString &TUpgradeColumn::Definition() const
{
    if (definition_.isEmpty()) {
        definition_ = TDataBaseSql::ColumnDefinition(*model, *table, *member, asKey);
        // The table script puts the prefix in wherever a comment says $dbprefix.
        definition_.replace(QStringLiteral("$dbprefix"), prefix);
    }
    return definition_;
}

QString TUpgradeColumn::SqlType() const
{
    return TypeRules::SqlType(*member, refKey, asKey);
}

bool TUpgradeColumn::Differs(const TUpgradeColumn &other) const
{
    const TMember &a = *member;
    const TMember &b = *other.member;
    const auto sameExact = [](const TMember &x, const TMember &y) {
        return x.memberSqlType() == y.memberSqlType() && x.memberIsZerofill() == y.memberIsZerofill()
            && x.memberAutoIncrement() == y.memberAutoIncrement() && x.memberDefault() == y.memberDefault()
            && x.memberOnUpdateNow() == y.memberOnUpdateNow() && x.memberCharset() == y.memberCharset()
            && x.memberCollation() == y.memberCollation();
    };
    const auto sameKey = [&](const TMember *x, const TMember *y) {
        return x->memberType() == y->memberType() && x->memberIsInteger() == y->memberIsInteger()
            && x->memberLength() == y->memberLength() && x->memberIsUnsigned() == y->memberIsUnsigned()
            && x->memberScale() == y->memberScale() && x->memberEnumValues() == y->memberEnumValues()
            && sameExact(*x, *y);
    };
    const bool sameParts = asKey == other.asKey && a.memberName() == b.memberName()
        && a.memberColumnName() == b.memberColumnName()
        && a.memberComment() == b.memberComment() && a.memberType() == b.memberType()
        && a.memberLength() == b.memberLength() && a.memberIsMust() == b.memberIsMust()
        && a.memberIsInteger() == b.memberIsInteger() && a.memberScale() == b.memberScale()
        && a.memberIsUnsigned() == b.memberIsUnsigned() && a.memberIsNullable() == b.memberIsNullable()
        && a.memberEnumValues() == b.memberEnumValues() && model->Charset() == other.model->Charset()
        && sameExact(a, b)
        && table->InUniqueIndex(a.memberName()) == other.table->InUniqueIndex(b.memberName())
        && (prefix == other.prefix || !a.memberComment().contains(QLatin1String("$dbprefix")))
        && (refKey == nullptr) == (other.refKey == nullptr) && (!refKey || sameKey(refKey, other.refKey));
    return !sameParts && Definition() != other.Definition();
}

QString TUpgradeIndex::Name() const
{
    return index->indexName;
}

bool TUpgradeIndex::SameAs(const TUpgradeIndex &other) const
{
    return index->indexIsUnique == other.index->indexIsUnique && memberIds == other.memberIds
        && *index == TClassIndex{index->indexName, index->indexMembers, index->indexIsUnique, other.index->indexPrefixes};
}

int TUpgradeTable::ClassId() const
{
    return cls->classId;
}

const TUpgradeColumn *TUpgradeTable::Column(int memberId) const
{
    const auto it = columnAt.constFind(memberId);
    return it == columnAt.cend() ? nullptr : &columns.at(*it);
}

const TUpgradeForeignKey *TUpgradeTable::Key(int memberId) const
{
    const auto it = keyAt.constFind(memberId);
    return it == keyAt.cend() ? nullptr : &keys.at(*it);
}

const TUpgradeIndex *TUpgradeTable::Index(const QString &name) const
{
    for (const TUpgradeIndex &index : indexes) {
        if (index.Name().compare(name, Qt::CaseInsensitive) == 0)
            return &index;
    }
    return nullptr;
}

bool TUpgradeTable::HasColumnNamed(const QString &name) const
{
    for (const TUpgradeColumn &column : columns) {
        if (column.name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

TUpgradeSchema TUpgradeSchema::Describe(const TProjectModel &model, const QString &prefix)
{
    TUpgradeSchema schema;
    schema.charset = model.Charset();
    schema.tables.reserve(model.Classes().size());
    // A reference names the first class of its name, as the model's key lookup finds it.
    QHash<QString, int> classIds;
    for (const TClassModel &cls : model.Classes())
        if (!classIds.contains(cls.className))
            classIds.insert(cls.className, cls.classId);
    for (const TClassModel &cls : model.Classes()) {
        if (schema.tableAt.contains(cls.classId))
            continue;
        TUpgradeTable table;
        table.cls = &cls;
        // Tables and columns by their names in the database: a member renamed over the same
        // column leaves the column alone.
        table.name = Naming::TableName(prefix, cls.className, cls.tableName);
        // A composite key's members all lead; its name lists them as the key clause writes them.
        const bool composite = cls.compositeKey == 1;
        const TMember *first = cls.KeyMember();
        for (const TMember &member : cls.members) {
            if (composite ? member.memberIsPri() == 1 : &member == first) {
                table.keyIds.append(member.memberId());
                table.keyColumns.append(Naming::ColumnName(member));
            }
        }
        QStringList quotedKey;
        for (const QString &column : table.keyColumns)
            quotedKey.append(Naming::BackQuoted(column));
        table.keyName = quotedKey.join(QLatin1Char(','));
        const QStringList names = memberNamesOf(cls);
        for (const TClassIndex &index : cls.indexes) {
            TUpgradeIndex described{&index, {}};
            for (const QString &name : index.indexMembers)
                described.memberIds.append(cls.members.value(names.indexOf(name)).memberId());
            table.indexes.append(described);
        }
        const auto add = [&](const TMember &member, bool asKey) {
            TUpgradeColumn column;
            column.memberId = member.memberId();
            column.name = Naming::ColumnName(member);
            column.model = &model;
            column.table = &cls;
            column.member = &member;
            column.asKey = asKey;
            column.prefix = prefix;
            if (!asKey && MemberType::IsReference(member.memberType()))
                column.refKey = model.ProjectKeyMember(member.memberType());
            table.columnAt.insert(member.memberId(), table.columns.size());
            table.columns.append(std::move(column));
        };
        // The class's own members, not a copy: the columns point at them.
        for (const TMember &member : cls.members) {
            if (table.keyIds.contains(member.memberId()))
                add(member, !composite || !MemberType::IsReference(member.memberType()));
        }
        for (const TMember &member : cls.members) {
            // The other members, and the foreign keys of references, a composite key's among them.
            const bool key = table.keyIds.contains(member.memberId());
            if (key ? !composite : member.memberIsPri() != 0)
                continue;
            if (!key)
                add(member, false);
            if (!MemberType::IsReference(member.memberType()))
                continue;
            const TMember *refKey = model.ProjectKeyMember(member.memberType());
            bool ownIndex = true;
            for (const TUpgradeIndex &index : std::as_const(table.indexes))
                ownIndex = ownIndex && index.memberIds.value(0) != member.memberId();
            table.keyAt.insert(member.memberId(), table.keys.size());
            table.keys.append({member.memberId(), Naming::ColumnName(member), int(table.keys.size()) + 1,
                               classIds.value(member.memberType()), refKey->memberId(),
                               Naming::ColumnName(*refKey), TDataBaseSql::ForeignKeyRules(member), ownIndex});
        }
        schema.tableAt.insert(cls.classId, schema.tables.size());
        schema.tables.append(std::move(table));
    }
    return schema;
}

const TUpgradeTable *TUpgradeSchema::Table(int classId) const
{
    const auto it = tableAt.constFind(classId);
    return it == tableAt.cend() ? nullptr : &tables.at(*it);
}

TUpgradeComparison::TUpgradeComparison(const TUpgradeSide &from, const TUpgradeSide &to)
    : old_(TUpgradeSchema::Describe(*from.model, from.prefix)),
      new_(TUpgradeSchema::Describe(*to.model, to.prefix))
{
    for (const TUpgradeTable &table : new_.tables) {
        if (const TUpgradeTable *before = old_.Table(table.ClassId()))
            FindChanges(*before, table);
    }
    FindKeptForeignKeys();
}

bool TUpgradeComparison::ColumnChanged(int classId, int memberId) const
{
    const auto it = changed_.constFind(classId);
    return it != changed_.cend() && it->contains(memberId);
}

bool TUpgradeComparison::KeyChanged(int classId) const
{
    return keyChanged_.contains(classId);
}

bool TUpgradeComparison::IndexDropped(int classId, const QString &name) const
{
    return droppedIndexes_.value(classId).contains(name.toLower());
}

bool TUpgradeComparison::IndexAdded(int classId, const QString &name) const
{
    return addedIndexes_.value(classId).contains(name.toLower());
}

bool TUpgradeComparison::ForeignKeyKept(int classId, int memberId) const
{
    return keptKeys_.contains({classId, memberId});
}

void TUpgradeComparison::FindChanges(const TUpgradeTable &before, const TUpgradeTable &after)
{
    QSet<int> &changed = changed_[after.ClassId()];
    const auto keptOrder = [](const TUpgradeTable &table, const TUpgradeTable &other) {
        QHash<int, int> previous;
        int last = 0;
        for (const TUpgradeColumn &column : table.columns) {
            if (!other.Column(column.memberId))
                continue;
            previous.insert(column.memberId, last);
            last = column.memberId;
        }
        return previous;
    };
    const QHash<int, int> previousBefore = keptOrder(before, after);
    const QHash<int, int> previousAfter = keptOrder(after, before);
    for (const TUpgradeColumn &column : after.columns) {
        const TUpgradeColumn *old = before.Column(column.memberId);
        if (old && (old->Differs(column)
                    || previousBefore.value(column.memberId) != previousAfter.value(column.memberId)))
            changed.insert(column.memberId);
    }
    if (before.keyIds != after.keyIds)
        keyChanged_.insert(after.ClassId());
    // Indexes are matched by name; one whose members or uniqueness change is made again.
    for (const TUpgradeIndex &index : before.indexes) {
        const TUpgradeIndex *now = after.Index(index.Name());
        if (!now || !now->SameAs(index))
            droppedIndexes_[after.ClassId()].insert(index.Name().toLower());
    }
    for (const TUpgradeIndex &index : after.indexes) {
        const TUpgradeIndex *was = before.Index(index.Name());
        if (!was || !was->SameAs(index))
            addedIndexes_[after.ClassId()].insert(index.Name().toLower());
    }
}

void TUpgradeComparison::FindKeptForeignKeys()
{
    for (const TUpgradeTable &table : new_.tables) {
        const TUpgradeTable *before = old_.Table(table.ClassId());
        if (!before)
            continue;
        // The server refuses to drop an index a foreign key stands on.
        QSet<int> unsettled;
        for (const TUpgradeIndex &index : before->indexes) {
            if (IndexDropped(table.ClassId(), index.Name()))
                unsettled.insert(index.memberIds.value(0));
        }
        for (const TUpgradeForeignKey &key : table.keys) {
            const TUpgradeForeignKey *old = before->Key(key.memberId);
            if (old && old->ordinal == key.ordinal && old->refClassId == key.refClassId
                && old->refKeyId == key.refKeyId && old->rules == key.rules
                && old->ownIndex == key.ownIndex && !unsettled.contains(key.memberId)
                && !ColumnChanged(table.ClassId(), key.memberId)
                && !ColumnChanged(key.refClassId, key.refKeyId) && !KeyChanged(key.refClassId))
                keptKeys_.insert({table.ClassId(), key.memberId});
        }
    }
}
