#include "IndexDAO.h"


#include <QSet>

namespace {

const QString memberNamesOfClass = QStringLiteral("select memberName from t_member where classId=?");
// Each index with its members in order; an index whose members are all gone comes as one row
// without a member name.
const QString selectIndexes = QStringLiteral(
    "select i.classId, i.indexId, i.indexName, i.indexIsUnique, m.memberName, im.indexMemberPrefix from t_index i "
    "left join t_index_member im on im.indexId=i.indexId "
    "left join t_member m on m.memberId=im.memberId "
    "where %1 order by i.indexId, im.indexMemberSeq");
const QString ofClass = QStringLiteral("i.classId=?");
const QString ofProject = QStringLiteral("i.classId in (select classId from t_class where projectId=?)");

const QString insertIndex = QStringLiteral(
    "insert into t_index(projectId,classId,indexName,indexIsUnique) values (?,?,?,?)");
const QString insertIndexMember = QStringLiteral(
    "insert into t_index_member(indexId,memberId,indexMemberSeq,indexMemberPrefix) values ((select max(indexId) from t_index),"
    "(select memberId from t_member where classId=? and memberName=? order by memberOrder, memberId limit 1),?,?)");

// The same into the class added last, as a batch that adds a class sees it.
const QString newestClass = QStringLiteral("(select max(classId) from t_class)");
const QString insertNewestIndex = QStringLiteral(
    "insert into t_index(projectId,classId,indexName,indexIsUnique) "
    "select projectId,classId,?,? from t_class where classId=%1").arg(newestClass);
const QString insertNewestIndexMember = QStringLiteral(
    "insert into t_index_member(indexId,memberId,indexMemberSeq,indexMemberPrefix) values ((select max(indexId) from t_index),"
    "(select memberId from t_member where classId=%1 and memberName=? order by memberOrder, memberId limit 1),?,?)")
        .arg(newestClass);

const QString deleteMembersOf = QStringLiteral(
    "delete from t_index_member where indexId in (select indexId from t_index where %1)");
const QString deleteIndexesOf = QStringLiteral("delete from t_index where %1");
const QString byClass = QStringLiteral("classId=?");
const QString byProjectClasses = QStringLiteral("classId in (select classId from t_class where projectId=?)");
} // namespace

TClassIndexes TIndexDAO::GetIndexes(int classId) const
{
    return Select(ofClass, classId).value(classId);
}

QHash<int, TClassIndexes> TIndexDAO::GetProjectIndexes(int projectId) const
{
    return Select(ofProject, projectId);
}

QHash<int, TClassIndexes> TIndexDAO::Select(const QString &where, int id) const
{
    QHash<int, TClassIndexes> indexes;
    QSqlQuery query = db_.OpenQuery(selectIndexes.arg(where), {id});
    int lastIndexId = 0;
    while (query.next()) {
        TClassIndexes &classIndexes = indexes[query.value(0).toInt()];
        const int indexId = query.value(1).toInt();
        if (indexId != lastIndexId) {
            classIndexes.append({query.value(2).toString(), {}, query.value(3).toInt()});
            lastIndexId = indexId;
        }
        if (query.value(4).isNull())
            continue;
        TClassIndex &index = classIndexes.last();
        index.indexMembers.append(query.value(4).toString());
        if (const int prefix = query.value(5).toInt(); prefix > 0) {
            while (index.indexPrefixes.size() + 1 < index.indexMembers.size())
                index.indexPrefixes.append(0);
            index.indexPrefixes.append(prefix);
        }
    }
    return indexes;
}

void TIndexDAO::SetIndexes(int projectId, int classId, const TClassIndexes &indexes) const
{
    QSet<QString> names;
    QSqlQuery members = db_.OpenQuery(memberNamesOfClass, {classId});
    while (members.next())
        names.insert(members.value(0).toString());
    QList<TSqlStatement> statements = DeleteOfClass(classId);
    for (const TClassIndex &index : indexes) {
        statements.append({insertIndex, {projectId, classId, index.indexName, index.indexIsUnique}});
        for (qsizetype i = 0; i < index.indexMembers.size(); ++i) {
            const QString &member = index.indexMembers.at(i);
            if (!names.contains(member))
                throw TDbError(QStringLiteral("索引%1中的成员%2不是这个类的成员").arg(index.indexName, member));
            statements.append({insertIndexMember, {classId, member, int(i) + 1, index.Prefix(i)}});
        }
    }
    db_.ExecuteBatch(statements);
}

QList<TSqlStatement> TIndexDAO::AddToNewestClass(const TClassIndexes &indexes)
{
    QList<TSqlStatement> statements;
    for (const TClassIndex &index : indexes) {
        statements.append({insertNewestIndex, {index.indexName, index.indexIsUnique}});
        for (qsizetype i = 0; i < index.indexMembers.size(); ++i)
            statements.append({insertNewestIndexMember, {index.indexMembers.at(i), int(i) + 1, index.Prefix(i)}});
    }
    return statements;
}

QList<TSqlStatement> TIndexDAO::DeleteOfClass(int classId)
{
    return {{deleteMembersOf.arg(byClass), {classId}}, {deleteIndexesOf.arg(byClass), {classId}}};
}

QList<TSqlStatement> TIndexDAO::DeleteOfProject(int projectId)
{
    return {{deleteMembersOf.arg(byProjectClasses), {projectId}},
            {deleteIndexesOf.arg(byProjectClasses), {projectId}}};
}
