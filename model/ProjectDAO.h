#pragma once

#include "DbHelper.h"
#include "ExistingDatabase.h"
#include "ListEntry.h"

// Table t_project.
class TProjectDAO {
public:
    explicit TProjectDAO(TDbHelper db = TDbHelper()) : db_(std::move(db)) {}

    int CountByName(const QString &projectName) const;
    // A new project's tables are utf8mb4.
    void AddProject(const QString &projectName) const;
    void RenameProject(int projectId, const QString &newName) const;
    // Removes the project, its classes and their indexes in one transaction; its members stay
    // in t_member.
    void DeleteProject(int projectId) const;
    // One of TableCharset; utf8 for a project without a known setting.
    QString GetTableCharset(int projectId) const;
    void SetTableCharset(int projectId, const QString &charset) const;
    // Set for a project that lives on a database it did not make; null for the others.
    std::optional<TExistingDatabase> GetExistingDatabase(int projectId) const;
    void SetExistingDatabase(int projectId, const std::optional<TExistingDatabase> &setting) const;
    TProjectList GetProjects() const;

private:
    TDbHelper db_;
};
