#include "StartLists.h"

#include "ClassDAO.h"
#include "MemberDAO.h"
#include "ProjectDAO.h"

TStartLists TStartLists::Read(const TDbHelper &db)
{
    TStartLists lists;
    lists.projects = TProjectDAO(db).GetProjects();
    if (lists.projects.isEmpty())
        return lists;
    const int projectId = lists.projects.first().id;
    lists.classes = TClassDAO(db).GetClasses(projectId);
    if (lists.classes.isEmpty())
        return lists;
    lists.friendNames = TClassDAO(db).GetFriendNames(projectId);
    lists.members = TMemberDAO(db).GetMembers(lists.classes.first().id);
    return lists;
}
