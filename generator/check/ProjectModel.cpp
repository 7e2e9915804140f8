#include "ProjectModel.h"

#include "model/ClassDAO.h"
#include "model/IndexDAO.h"
#include "model/MemberDAO.h"
#include "model/ProjectDAO.h"

#include <algorithm>

namespace {

template <typename Pred>
QList<TMember> select(const QList<TMember> &members, Pred pred)
{
    QList<TMember> result;
    for (const TMember &member : members) {
        if (pred(member))
            result.append(member);
    }
    return result;
}

template <typename Pred>
const TMember *first(const QList<TMember> &members, Pred pred)
{
    for (const TMember &member : members) {
        if (pred(member))
            return &member;
    }
    return nullptr;
}

} // namespace

const TMember *TClassModel::KeyMember() const
{
    return first(members, [](const TMember &m) { return m.memberIsPri() == 1; });
}

const TMember *TClassModel::DisplayMember() const
{
    return first(members, [](const TMember &m) { return m.memberIsDisplay() == 1; });
}

QList<TMember> TClassModel::NonKeyMembers() const
{
    return select(members, [](const TMember &m) { return m.memberIsPri() == 0; });
}

QList<TMember> TClassModel::KeyMembers() const
{
    return select(members, [](const TMember &m) { return m.memberIsPri() == 1; });
}

bool TClassModel::IsLink() const
{
    // Asked of every class for every class generated: the key members are only gathered for
    // a composite key.
    if (compositeKey != 1)
        return false;
    const QList<TMember> keys = KeyMembers();
    return keys.size() == 2
        && MemberType::IsReference(keys.at(0).memberType())
        && MemberType::IsReference(keys.at(1).memberType());
}

QStringList TClassModel::RowKeyNames() const
{
    if (compositeKey != 1) {
        const TMember *key = KeyMember();
        return {key ? key->memberName() : QString()};
    }
    QStringList names;
    for (const TMember &member : KeyMembers())
        names << member.memberName();
    return names;
}

QList<TMember> TClassModel::QueryMembers() const
{
    return select(members, [](const TMember &m) { return m.queryFlag() == 1; });
}

QList<TMember> TClassModel::PictureMembers() const
{
    return select(members, [](const TMember &m) { return m.memberType() == MemberType::Picture; });
}

QList<TMember> TClassModel::ReferenceMembers() const
{
    return select(members,
                  [](const TMember &m) { return MemberType::IsReference(m.memberType()); });
}

bool TClassModel::InUniqueIndex(const QString &memberName) const
{
    for (const TClassIndex &index : indexes) {
        if (index.indexIsUnique == 1 && index.indexMembers.contains(memberName))
            return true;
    }
    return false;
}

TProjectModel TProjectModel::Load(int projectId, const TClassList &classes)
{
    // A few queries for the whole project rather than a few per class.
    const TClassDAO classDao;
    const TMemberDAO memberDao;
    const TIndexDAO indexDao;
    const QHash<int, QString> friendNames = classDao.GetFriendNames(projectId);
    QHash<int, QList<TMember>> membersByClass;
    for (const TMember &member : memberDao.GetProjectMembers(projectId))
        membersByClass[member.classId()].append(member);
    const QHash<int, QString> tableNames = classDao.GetTableNames(projectId);
    const QSet<int> composite = classDao.GetCompositeKeyClasses(projectId);
    const QSet<int> readOnly = classDao.GetReadOnlyClasses(projectId);
    const QHash<int, TClassIndexes> indexesByClass = indexDao.GetProjectIndexes(projectId);

    TProjectModel model;
    model.projectId_ = projectId;
    model.tableCharset_ = TProjectDAO().GetTableCharset(projectId);
    model.existingDatabase_ = TProjectDAO().GetExistingDatabase(projectId);
    model.classes_.reserve(classes.size());
    for (const TListEntry &entry : classes) {
        TClassModel cls;
        cls.classId = entry.id;
        cls.className = entry.name;
        const bool inProject = friendNames.contains(entry.id);
        cls.friendName = inProject ? friendNames.value(entry.id) : classDao.GetFriendName(entry.id);
        cls.tableName = inProject ? tableNames.value(entry.id) : classDao.GetTableName(entry.id);
        cls.compositeKey = (inProject ? composite.contains(entry.id) : classDao.GetCompositeKey(entry.id)) ? 1 : 0;
        cls.isReadOnly = inProject ? readOnly.contains(entry.id) : classDao.IsReadOnly(entry.id);
        cls.members = inProject ? membersByClass.value(entry.id) : memberDao.GetMembers(entry.id);
        cls.indexes = inProject ? indexesByClass.value(entry.id) : indexDao.GetIndexes(entry.id);
        model.classes_.append(std::move(cls));
    }
    model.GatherFacts();
    return model;
}

TProjectModel TProjectModel::FromClasses(int projectId, QList<TClassModel> classes,
                                         QString tableCharset)
{
    TProjectModel model;
    model.projectId_ = projectId;
    model.tableCharset_ = std::move(tableCharset);
    model.classes_ = std::move(classes);
    model.GatherFacts();
    return model;
}

void TProjectModel::GatherFacts()
{
    // One pass over the classes for everything the generators ask per class.
    keyByClassName_.clear();
    linkSides_.clear();
    memberTypes_.clear();
    ++factGatherings_;
    for (qsizetype c = 0; c < classes_.size(); ++c) {
        const TClassModel &cls = classes_.at(c);
        for (const TMember &member : cls.members)
            memberTypes_.insert(member.memberType());
        if (cls.IsLink()) {
            const QList<TMember> keys = cls.KeyMembers();
            linkSides_[keys.at(0).memberType()].append({c, 0});
            linkSides_[keys.at(1).memberType()].append({c, 1});
        }
        // The first class of each name, then its first key member that belongs to the project.
        if (keyByClassName_.contains(cls.className))
            continue;
        qsizetype key = -1;
        for (qsizetype m = 0; m < cls.members.size() && key < 0; ++m) {
            const TMember &member = cls.members.at(m);
            if (member.memberIsPri() == 1 && member.projectId() == projectId_)
                key = m;
        }
        keyByClassName_.insert(cls.className, {c, key});
    }
}

TProjectModel TProjectModel::Load(int projectId)
{
    return Load(projectId, TClassDAO().GetClasses(projectId));
}

const TMember *TProjectModel::ProjectKeyMember(const QString &className) const
{
    const auto it = keyByClassName_.constFind(className);
    if (it == keyByClassName_.cend() || it->second < 0)
        return nullptr;
    return &classes_.at(it->first).members.at(it->second);
}

const TClassModel *TProjectModel::FindClass(const QString &className) const
{
    const auto it = keyByClassName_.constFind(className);
    return it == keyByClassName_.cend() ? nullptr : &classes_.at(it->first);
}

qsizetype TProjectModel::Order(const QString &className) const
{
    const auto it = keyByClassName_.constFind(className);
    return it == keyByClassName_.cend() ? -1 : it->first;
}

Naming::TValueStyle TProjectModel::ValueStyle(const TMember &member) const
{
    const TMember *refKey = MemberType::IsReference(member.memberType())
        ? ProjectKeyMember(member.memberType())
        : nullptr;
    return Naming::ValueStyle(member, refKey);
}
