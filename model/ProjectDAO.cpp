#include "ProjectDAO.h"

namespace {
const QString countByName = QStringLiteral("select count(*) from t_project where projectName=?");
const QString insertProject = QStringLiteral("insert into t_project(projectName) values (?)");
const QString renameProject = QStringLiteral("update t_project set projectName=? where projectId=?");
const QString deleteProject = QStringLiteral("delete from t_project where projectId=?");
const QString deleteProjectClasses = QStringLiteral("delete from t_class where projectId=?");
const QString selectProjects =
    QStringLiteral("select projectId,projectName from t_project order by projectId");
} // namespace

int TProjectDAO::CountByName(const QString &projectName) const
{
    return db_.QueryInteger(countByName, {projectName});
}

void TProjectDAO::AddProject(const QString &projectName) const
{
    db_.ExecuteSql(insertProject, {projectName});
}

void TProjectDAO::RenameProject(int projectId, const QString &newName) const
{
    db_.ExecuteSql(renameProject, {newName, projectId});
}

void TProjectDAO::DeleteProject(int projectId) const
{
    db_.ExecuteBatch({{deleteProject, {projectId}}, {deleteProjectClasses, {projectId}}});
}

TProjectList TProjectDAO::GetProjects() const
{
    TProjectList projects;
    QSqlQuery query = db_.OpenQuery(selectProjects);
    while (query.next())
        projects.append({query.value(1).toString(), query.value(0).toInt()});
    return projects;
}
