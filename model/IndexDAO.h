#pragma once

#include "ClassIndex.h"
#include "DbHelper.h"

#include <QHash>

// Tables t_index and t_index_member: the indexes of each class's table. Members are stored by
// id and handed out by name, so a renamed member stays in its indexes.
class TIndexDAO {
public:
    explicit TIndexDAO(TDbHelper db = TDbHelper()) : db_(std::move(db)) {}

    // The class's indexes in order, each with its members' names in order.
    TClassIndexes GetIndexes(int classId) const;
    // The indexes of every class of the project, by class id, in one query.
    QHash<int, TClassIndexes> GetProjectIndexes(int projectId) const;
    // Replaces the class's indexes, all or nothing. A member name the class does not have is
    // refused (TDbError) and nothing changes.
    void SetIndexes(int projectId, int classId, const TClassIndexes &indexes) const;

    // For a batch that has just added a class and its members: statements that give that
    // class, the last one added, these indexes, finding the members by name.
    static QList<TSqlStatement> AddToNewestClass(const TClassIndexes &indexes);
    // Statements removing the indexes of one class, or of every class of a project.
    static QList<TSqlStatement> DeleteOfClass(int classId);
    static QList<TSqlStatement> DeleteOfProject(int projectId);

private:
    QHash<int, TClassIndexes> Select(const QString &where, int id) const;

    TDbHelper db_;
};
