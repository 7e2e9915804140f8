#pragma once

#include "DbHelper.h"
#include "ListEntry.h"

// Table t_project.
class TProjectDAO {
public:
    explicit TProjectDAO(TDbHelper db = TDbHelper()) : db_(std::move(db)) {}

    int CountByName(const QString &projectName) const;
    void AddProject(const QString &projectName) const;
    void RenameProject(int projectId, const QString &newName) const;
    // Removes the project and its classes in one transaction; its members stay in t_member.
    void DeleteProject(int projectId) const;
    TProjectList GetProjects() const;

private:
    TDbHelper db_;
};
