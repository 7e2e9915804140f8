#pragma once

#include "DbHelper.h"
#include "ListEntry.h"

#include <QHash>
#include <QPoint>
#include <QSet>

#include <functional>

// Told the id of the first class that fails a model check.
using TClassCheckFailure = std::function<void(int classId)>;

// Table t_class, and the model logic tied to classes: deleting a class deletes its members,
// renaming a class rewrites the references to it, and the two checks run before generation.
// How a class's table is kept: its own name (empty for the prefix and the class name),
// whether the application may only read it, and whether its key members together are its key.
struct TClassTable {
    QString tableName;
    bool readOnly = false;
    bool compositeKey = false;
};

class TClassDAO {
public:
    explicit TClassDAO(TDbHelper db = TDbHelper()) : db_(std::move(db)) {}

    QString GetClassName(int classId) const;
    QString GetFriendName(int classId) const;
    int GetClassId(int projectId, const QString &className) const;
    int CountByName(int projectId, const QString &className) const;
    void AddClass(int projectId, const QString &className, const QString &friendName,
                  const TClassTable &table = {}) const;
    // A new class with a copy of every member and index of the source class, in their order,
    // and its composite-key mark,
    // all or nothing. The copy's references to the source class itself become references to
    // the copy; other classes' references to the source stay. Returns the new class's id.
    int CopyClass(int projectId, int sourceClassId, const QString &className,
                  const QString &friendName) const;
    // Removes the class with its members and indexes.
    void DeleteClass(int classId) const;
    void UpdateClass(int projectId, int classId, const QString &className,
                     const QString &friendName) const;
    // The same, and the class's table settings with it, all or nothing.
    void UpdateClass(int projectId, int classId, const QString &className, const QString &friendName,
                     const TClassTable &table) const;
    // All table settings in one statement.
    void SetClassTable(int classId, const TClassTable &table) const;
    TClassList GetClasses(int projectId) const;
    TClassList GetOtherClasses(int projectId, int classId) const;
    // classId -> friendName for every class of the project, in one query.
    QHash<int, QString> GetFriendNames(int projectId) const;
    // The table's own name in the database; empty when it is the prefix and the class name.
    QString GetTableName(int classId) const;
    void SetTableName(int classId, const QString &tableName) const;
    // classId -> table name for every class of the project that has one, in one query.
    QHash<int, QString> GetTableNames(int projectId) const;
    // Whether the class's key members together are its key (then there may be several).
    bool GetCompositeKey(int classId) const;
    void SetCompositeKey(int classId, bool composite) const;
    // The ids of the project's classes with a composite key, in one query.
    QSet<int> GetCompositeKeyClasses(int projectId) const;
    // A read-only class's pages show its rows but never add, change or delete one.
    bool IsReadOnly(int classId) const;
    void SetReadOnly(int classId, bool readOnly) const;
    // The ids of the project's read-only classes, in one query.
    QSet<int> GetReadOnlyClasses(int projectId) const;

    // classId -> where its box was dragged to in the model diagram (the top-left corner), for
    // the classes of the project that have been dragged; the diagram places the others itself.
    QHash<int, QPoint> GetDiagramPositions(int projectId) const;
    // Keeps the boxes where they were dragged to, all or nothing.
    void SetDiagramPositions(const QHash<int, QPoint> &positions) const;
    // Hands every box of the project back to the diagram's own placing.
    void ClearDiagramPositions(int projectId) const;

    // Each class must have exactly one key member / exactly one display member. Stops at the
    // first failing class in list order and reports it through onFailure.
    bool CheckPrimaryKeys(const TClassList &classes, const TClassCheckFailure &onFailure = {}) const;
    bool CheckDisplayMembers(const TClassList &classes,
                             const TClassCheckFailure &onFailure = {}) const;

private:
    bool CheckEachHasOne(const TClassList &classes, const QString &countSql,
                         const TClassCheckFailure &onFailure) const;
    TClassList SelectClasses(const QString &sql, const QVariantList &values) const;

    TDbHelper db_;
};
