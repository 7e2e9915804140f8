#include "ModelStore.h"

#include "IndexDAO.h"
#include "MemberDAO.h"

namespace {
const QString insertProject =
    QStringLiteral("insert into t_project(projectName,tableCharset,existingDatabase) values (?,?,?)");
// Ids are never reused (AUTOINCREMENT) and the batch holds the write lock, so the largest id is
// the row this batch has just added.
const QString insertClass = QStringLiteral(
    "insert into t_class(projectId,className,friendName,tableName,classIsReadOnly,diagramX,diagramY,"
    "compositeKey) values ((select max(projectId) from t_project),?,?,?,?,?,?,?)");
const QString insertMember =
    QStringLiteral("insert into t_member(projectId,classId,%1) values ((select max(projectId) from t_project),"
                   "(select max(classId) from t_class),%2)")
        .arg(TMemberDAO::StoredColumns(), TMemberDAO::StoredPlaceholders());
const QString selectNewest =
    QStringLiteral("select max(projectId) from t_project where projectName=?");
} // namespace

int TModelStore::AddProject(const TModelDocument &document, const QString &projectName) const
{
    QList<TSqlStatement> statements{{insertProject, {projectName, document.tableCharset,
                                                              TExistingDatabase::ToText(document.existingDatabase)}}};
    for (const TModelClass &cls : document.classes) {
        // No position binds NULL: the diagram places the box itself.
        const QVariant x = cls.diagramPosition ? QVariant(cls.diagramPosition->x()) : QVariant();
        const QVariant y = cls.diagramPosition ? QVariant(cls.diagramPosition->y()) : QVariant();
        statements.append({insertClass, {cls.className, cls.friendName, cls.tableName, cls.isReadOnly ? 1 : 0, x, y,
                                         cls.compositeKey}});
        for (const TMember &m : cls.members)
            statements.append({insertMember, TMemberDAO::StoredValues(m)});
        statements.append(TIndexDAO::AddToNewestClass(cls.indexes));
    }
    db_.ExecuteBatch(statements);
    return db_.QueryInteger(selectNewest, {projectName});
}
