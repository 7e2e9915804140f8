#include "UpgradeComparison.h"

#include "DataBaseSql.h"
#include "ProjectModel.h"

#include <QStringList>

namespace {

// The SQL type of a column definition ("varchar(20)", "int(11)") and whether it takes NULL.
struct TColumnType {
    QString type;
    bool nullable = false;
};

TColumnType columnType(const QString &definition)
{
    const qsizetype typeStart = definition.indexOf(QLatin1Char('`'), 1) + 2;
    const qsizetype typeEnd = definition.indexOf(QLatin1Char(' '), typeStart);
    const QString rest = definition.mid(typeEnd).section(QStringLiteral(" COMMENT '"), 0, 0);
    return {definition.mid(typeStart, typeEnd - typeStart), !rest.contains(QLatin1String(" NOT NULL"))};
}

int varcharLength(const QString &type)
{
    if (!type.startsWith(QLatin1String("varchar(")))
        return -1;
    return type.mid(8).chopped(1).toInt();
}

} // namespace

QString TUpgradeComparison::LossWarning(const TUpgradeColumn &from, const TUpgradeColumn &to)
{
    const TColumnType before = columnType(from.Definition());
    const TColumnType after = columnType(to.Definition());
    QStringList reasons;
    const int fromLength = varcharLength(before.type);
    const int toLength = varcharLength(after.type);
    if (before.type != after.type && after.type != QLatin1String("text")) {
        // The longest text each type is shown as, so a varchar at least that long holds it.
        static const QHash<QString, int> widths{{QStringLiteral("int(11)"), 11},
                                                {QStringLiteral("float"), 12},
                                                {QStringLiteral("date"), 10}};
        if (fromLength >= 0 && toLength >= 0) {
            if (toLength < fromLength)
                reasons << QStringLiteral("长度由 %1 缩短为 %2").arg(fromLength).arg(toLength);
        } else if (!(toLength >= 0 && widths.contains(before.type)
                     && toLength >= widths.value(before.type))) {
            reasons << QStringLiteral("类型由 %1 改为 %2").arg(before.type, after.type);
        }
    }
    if (before.nullable && !after.nullable)
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

bool TUpgradeColumn::Differs(const TUpgradeColumn &other) const
{
    const TMember &a = *member;
    const TMember &b = *other.member;
    const bool sameParts = asKey == other.asKey && a.memberName() == b.memberName()
        && a.memberComment() == b.memberComment() && a.memberType() == b.memberType()
        && a.memberLength() == b.memberLength() && a.memberIsMust() == b.memberIsMust()
        && a.memberIsInteger() == b.memberIsInteger()
        && (prefix == other.prefix || !a.memberComment().contains(QLatin1String("$dbprefix")))
        && (refKey == nullptr) == (other.refKey == nullptr)
        && (!refKey
            || (refKey->memberIsInteger() == other.refKey->memberIsInteger()
                && refKey->memberLength() == other.refKey->memberLength()));
    return !sameParts && Definition() != other.Definition();
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
        table.name = prefix + cls.className;
        const TMember &key = *cls.KeyMember();
        table.keyId = key.memberId();
        table.keyName = key.memberName();
        const auto add = [&](const TMember &member, bool asKey) {
            TUpgradeColumn column;
            column.memberId = member.memberId();
            column.name = member.memberName();
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
        add(key, true);
        // The class's own members, not a copy: the columns point at them.
        for (const TMember &member : cls.members) {
            if (member.memberIsPri() != 0)
                continue;
            add(member, false);
            if (!MemberType::IsReference(member.memberType()))
                continue;
            const TMember *refKey = model.ProjectKeyMember(member.memberType());
            table.keyAt.insert(member.memberId(), table.keys.size());
            table.keys.append({member.memberId(), member.memberName(), int(table.keys.size()) + 1,
                               classIds.value(member.memberType()), refKey->memberId(),
                               refKey->memberName()});
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
    if (before.keyId != after.keyId)
        keyChanged_.insert(after.ClassId());
}

void TUpgradeComparison::FindKeptForeignKeys()
{
    for (const TUpgradeTable &table : new_.tables) {
        const TUpgradeTable *before = old_.Table(table.ClassId());
        if (!before)
            continue;
        for (const TUpgradeForeignKey &key : table.keys) {
            const TUpgradeForeignKey *old = before->Key(key.memberId);
            if (old && old->ordinal == key.ordinal && old->refClassId == key.refClassId
                && old->refKeyId == key.refKeyId && !ColumnChanged(table.ClassId(), key.memberId)
                && !ColumnChanged(key.refClassId, key.refKeyId) && !KeyChanged(key.refClassId))
                keptKeys_.insert({table.ClassId(), key.memberId});
        }
    }
}
