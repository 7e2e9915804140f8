#include "ProjectDAO.h"

#include "IndexDAO.h"
#include "TableCharset.h"

namespace {
const QString countByName = QStringLiteral("select count(*) from t_project where projectName=?");
const QString insertProject =
    QStringLiteral("insert into t_project(projectName,tableCharset) values (?,?)");
const QString renameProject = QStringLiteral("update t_project set projectName=? where projectId=?");
const QString deleteProject = QStringLiteral("delete from t_project where projectId=?");
const QString deleteProjectClasses = QStringLiteral("delete from t_class where projectId=?");
const QString selectCharset = QStringLiteral("select tableCharset from t_project where projectId=?");
const QString updateCharset = QStringLiteral("update t_project set tableCharset=? where projectId=?");
const QString selectExisting = QStringLiteral("select existingDatabase from t_project where projectId=?");
const QString updateExisting = QStringLiteral("update t_project set existingDatabase=? where projectId=?");
const QString selectProjects =
    QStringLiteral("select projectId,projectName from t_project order by projectId");
} // namespace

int TProjectDAO::CountByName(const QString &projectName) const
{
    return db_.QueryInteger(countByName, {projectName});
}

void TProjectDAO::AddProject(const QString &projectName) const
{
    db_.ExecuteSql(insertProject, {projectName, TableCharset::Utf8mb4});
}

void TProjectDAO::RenameProject(int projectId, const QString &newName) const
{
    db_.ExecuteSql(renameProject, {newName, projectId});
}

void TProjectDAO::DeleteProject(int projectId) const
{
    db_.ExecuteBatch(TIndexDAO::DeleteOfProject(projectId)
                     + QList<TSqlStatement>{{deleteProject, {projectId}}, {deleteProjectClasses, {projectId}}});
}

QString TProjectDAO::GetTableCharset(int projectId) const
{
    const QString charset = db_.QueryString(selectCharset, {projectId});
    return TableCharset::All().contains(charset) ? charset : TableCharset::Utf8;
}

void TProjectDAO::SetTableCharset(int projectId, const QString &charset) const
{
    if (!TableCharset::All().contains(charset))
        throw TDbError(QStringLiteral("未知的表字符集: %1").arg(charset));
    db_.ExecuteSql(updateCharset, {charset, projectId});
}

std::optional<TExistingDatabase> TProjectDAO::GetExistingDatabase(int projectId) const
{
    return TExistingDatabase::FromText(db_.QueryString(selectExisting, {projectId}));
}

void TProjectDAO::SetExistingDatabase(int projectId, const std::optional<TExistingDatabase> &setting) const
{
    db_.ExecuteSql(updateExisting, {TExistingDatabase::ToText(setting), projectId});
}

TProjectList TProjectDAO::GetProjects() const
{
    TProjectList projects;
    QSqlQuery query = db_.OpenQuery(selectProjects);
    while (query.next())
        projects.append({query.value(1).toString(), query.value(0).toInt()});
    return projects;
}
