#include "ClassDAO.h"

#include "IndexDAO.h"
#include "MemberDAO.h"

namespace {
const QString selectClassName = QStringLiteral("select className from t_class where classId=?");
const QString selectFriendName = QStringLiteral("select friendName from t_class where classId=?");
const QString selectClassId = QStringLiteral(
    "select classId from t_class where projectId=? and className=? order by classId");
const QString countByName =
    QStringLiteral("select count(*) from t_class where projectId=? and className=?");
const QString insertClass =
    QStringLiteral("insert into t_class(projectId,className,friendName) values (?,?,?)");
const QString insertClassWithTable = QStringLiteral(
    "insert into t_class(projectId,className,friendName,tableName,classIsReadOnly,compositeKey) "
    "values (?,?,?,?,?,?)");
// The members of one class under the class just added by name, in their order. A member
// that refers to the class it belongs to (a parent, say) refers to the copy in the copy.
const QString copyMembers =
    QStringLiteral("insert into t_member(projectId,classId,%1,memberOrder) "
                   "select ?,(select max(classId) from t_class where projectId=? and className=?),%2,"
                   "memberOrder from t_member where classId=? order by memberOrder, memberId")
        .arg(TMemberDAO::StoredColumns(),
             TMemberDAO::StoredColumns().replace(
                 QStringLiteral("memberType"),
                 QStringLiteral("case when memberType=(select className from t_class where classId=?) "
                                "then ? else memberType end")));
const QString newestClassId =
    QStringLiteral("select max(classId) from t_class where projectId=? and className=?");
const QString deleteClass = QStringLiteral("delete from t_class where classId=?");
const QString deleteClassMembers = QStringLiteral("delete from t_member where classId=?");
const QString updateClass =
    QStringLiteral("update t_class set friendName=?,className=? where classId=?");
const QString renameReferences =
    QStringLiteral("update t_member set memberType=? where projectId=? and memberType=?");
const QString selectClasses = QStringLiteral(
    "select classId,className from t_class where projectId=? order by classId");
const QString selectOtherClasses = QStringLiteral(
    "select classId,className from t_class where classId<>? and projectId=? order by classId");
const QString selectFriendNames =
    QStringLiteral("select classId,friendName from t_class where projectId=?");
const QString selectTableName = QStringLiteral("select tableName from t_class where classId=?");
const QString updateTableName = QStringLiteral("update t_class set tableName=? where classId=?");
const QString selectTableNames =
    QStringLiteral("select classId,tableName from t_class where projectId=? and tableName<>''");
const QString selectCompositeKey = QStringLiteral("select compositeKey from t_class where classId=?");
const QString updateCompositeKey = QStringLiteral("update t_class set compositeKey=? where classId=?");
const QString selectCompositeKeyClasses =
    QStringLiteral("select classId from t_class where projectId=? and compositeKey=1");
const QString copyCompositeKey = QStringLiteral(
    "update t_class set compositeKey=(select compositeKey from t_class where classId=?) "
    "where classId=(select max(classId) from t_class where projectId=? and className=?)");
const QString updateClassTable =
    QStringLiteral("update t_class set tableName=?,classIsReadOnly=?,compositeKey=? where classId=?");
const QString selectReadOnly = QStringLiteral("select classIsReadOnly from t_class where classId=?");
const QString updateReadOnly = QStringLiteral("update t_class set classIsReadOnly=? where classId=?");
const QString selectReadOnlyClasses =
    QStringLiteral("select classId from t_class where projectId=? and classIsReadOnly=1");
const QString selectDiagramPositions = QStringLiteral(
    "select classId,diagramX,diagramY from t_class where projectId=? and diagramX is not null "
    "and diagramY is not null");
const QString updateDiagramPosition =
    QStringLiteral("update t_class set diagramX=?,diagramY=? where classId=?");
const QString clearDiagramPositions =
    QStringLiteral("update t_class set diagramX=null,diagramY=null where projectId=?");
const QString countKeyMembers =
    QStringLiteral("select count(*) from t_member where classId=? and memberIsPri=1");
const QString countDisplayMembers =
    QStringLiteral("select count(*) from t_member where classId=? and memberIsDisplay=1");

QVariantList classTableValues(int classId, const TClassTable &table)
{
    return {table.tableName, table.readOnly ? 1 : 0, table.compositeKey ? 1 : 0, classId};
}
// The ids a statement over one project's classes selects.
QSet<int> classIds(const TDbHelper &db, const QString &sql, int projectId)
{
    QSet<int> ids;
    QSqlQuery query = db.OpenQuery(sql, {projectId});
    while (query.next())
        ids.insert(query.value(0).toInt());
    return ids;
}

} // namespace

QString TClassDAO::GetClassName(int classId) const
{
    return db_.QueryString(selectClassName, {classId});
}

QString TClassDAO::GetFriendName(int classId) const
{
    return db_.QueryString(selectFriendName, {classId});
}

int TClassDAO::GetClassId(int projectId, const QString &className) const
{
    return db_.QueryInteger(selectClassId, {projectId, className});
}

int TClassDAO::CountByName(int projectId, const QString &className) const
{
    return db_.QueryInteger(countByName, {projectId, className});
}

void TClassDAO::AddClass(int projectId, const QString &className, const QString &friendName,
                         const TClassTable &table) const
{
    db_.ExecuteSql(insertClassWithTable,
                   {projectId, className, friendName, table.tableName, table.readOnly ? 1 : 0,
                    table.compositeKey ? 1 : 0});
}

int TClassDAO::CopyClass(int projectId, int sourceClassId, const QString &className,
                         const QString &friendName) const
{
    db_.ExecuteBatch(QList<TSqlStatement>{{insertClass, {projectId, className, friendName}},
                                          {copyMembers, {projectId, projectId, className, sourceClassId,
                                                         className, sourceClassId}},
                                          {copyCompositeKey, {sourceClassId, projectId, className}}}
                     + TIndexDAO::AddToNewestClass(TIndexDAO(db_).GetIndexes(sourceClassId)));
    return db_.QueryInteger(newestClassId, {projectId, className});
}

void TClassDAO::DeleteClass(int classId) const
{
    db_.ExecuteBatch(TIndexDAO::DeleteOfClass(classId)
                     + QList<TSqlStatement>{{deleteClass, {classId}}, {deleteClassMembers, {classId}}});
}

void TClassDAO::UpdateClass(int projectId, int classId, const QString &className,
                            const QString &friendName) const
{
    const QString oldName = GetClassName(classId);
    db_.ExecuteBatch({{updateClass, {friendName, className, classId}},
                      {renameReferences, {className, projectId, oldName}}});
}

void TClassDAO::UpdateClass(int projectId, int classId, const QString &className,
                            const QString &friendName, const TClassTable &table) const
{
    const QString oldName = GetClassName(classId);
    db_.ExecuteBatch({{updateClass, {friendName, className, classId}},
                      {renameReferences, {className, projectId, oldName}},
                      {updateClassTable, classTableValues(classId, table)}});
}

void TClassDAO::SetClassTable(int classId, const TClassTable &table) const
{
    db_.ExecuteSql(updateClassTable, classTableValues(classId, table));
}

TClassList TClassDAO::GetClasses(int projectId) const
{
    return SelectClasses(selectClasses, {projectId});
}

TClassList TClassDAO::GetOtherClasses(int projectId, int classId) const
{
    return SelectClasses(selectOtherClasses, {classId, projectId});
}

QHash<int, QString> TClassDAO::GetFriendNames(int projectId) const
{
    QHash<int, QString> names;
    QSqlQuery query = db_.OpenQuery(selectFriendNames, {projectId});
    while (query.next())
        names.insert(query.value(0).toInt(), query.value(1).toString());
    return names;
}

QString TClassDAO::GetTableName(int classId) const
{
    return db_.QueryString(selectTableName, {classId});
}

void TClassDAO::SetTableName(int classId, const QString &tableName) const
{
    db_.ExecuteSql(updateTableName, {tableName, classId});
}

QHash<int, QString> TClassDAO::GetTableNames(int projectId) const
{
    QHash<int, QString> names;
    QSqlQuery query = db_.OpenQuery(selectTableNames, {projectId});
    while (query.next())
        names.insert(query.value(0).toInt(), query.value(1).toString());
    return names;
}

bool TClassDAO::GetCompositeKey(int classId) const
{
    return db_.QueryInteger(selectCompositeKey, {classId}) == 1;
}

void TClassDAO::SetCompositeKey(int classId, bool composite) const
{
    db_.ExecuteSql(updateCompositeKey, {composite ? 1 : 0, classId});
}

QSet<int> TClassDAO::GetCompositeKeyClasses(int projectId) const
{
    return classIds(db_, selectCompositeKeyClasses, projectId);
}

bool TClassDAO::IsReadOnly(int classId) const
{
    return db_.QueryInteger(selectReadOnly, {classId}) == 1;
}

void TClassDAO::SetReadOnly(int classId, bool readOnly) const
{
    db_.ExecuteSql(updateReadOnly, {readOnly ? 1 : 0, classId});
}

QSet<int> TClassDAO::GetReadOnlyClasses(int projectId) const
{
    return classIds(db_, selectReadOnlyClasses, projectId);
}

QHash<int, QPoint> TClassDAO::GetDiagramPositions(int projectId) const
{
    QHash<int, QPoint> positions;
    QSqlQuery query = db_.OpenQuery(selectDiagramPositions, {projectId});
    while (query.next())
        positions.insert(query.value(0).toInt(), QPoint(query.value(1).toInt(), query.value(2).toInt()));
    return positions;
}

void TClassDAO::SetDiagramPositions(const QHash<int, QPoint> &positions) const
{
    QList<TSqlStatement> statements;
    for (auto it = positions.constBegin(); it != positions.constEnd(); ++it)
        statements.append({updateDiagramPosition, {it.value().x(), it.value().y(), it.key()}});
    if (!statements.isEmpty())
        db_.ExecuteBatch(statements);
}

void TClassDAO::ClearDiagramPositions(int projectId) const
{
    db_.ExecuteSql(clearDiagramPositions, {projectId});
}

bool TClassDAO::CheckPrimaryKeys(const TClassList &classes,
                                 const TClassCheckFailure &onFailure) const
{
    return CheckEachHasOne(classes, countKeyMembers, onFailure);
}

bool TClassDAO::CheckDisplayMembers(const TClassList &classes,
                                    const TClassCheckFailure &onFailure) const
{
    return CheckEachHasOne(classes, countDisplayMembers, onFailure);
}

bool TClassDAO::CheckEachHasOne(const TClassList &classes, const QString &countSql,
                                const TClassCheckFailure &onFailure) const
{
    for (const TListEntry &entry : classes) {
        if (db_.QueryInteger(countSql, {entry.id}) != 1) {
            if (onFailure)
                onFailure(entry.id);
            return false;
        }
    }
    return true;
}

TClassList TClassDAO::SelectClasses(const QString &sql, const QVariantList &values) const
{
    TClassList classes;
    QSqlQuery query = db_.OpenQuery(sql, values);
    while (query.next())
        classes.append({query.value(1).toString(), query.value(0).toInt()});
    return classes;
}
