#pragma once

#include "DbHelper.h"
#include "Member.h"

#include <QList>
#include <optional>

// Table t_member. Selections return every column, rows in the members' order within their
// class (memberOrder, then id); lookups take the first row.
class TMemberDAO {
public:
    explicit TMemberDAO(TDbHelper db = TDbHelper()) : db_(std::move(db)) {}

    // The new member goes last in its class; the record's memberOrder is not read.
    void AddMember(const TMember &member) const;
    // Writes every field but projectId, classId and the order: an update never moves a member.
    void UpdateMember(const TMember &member) const;
    // Removes the member from its class's indexes too.
    void DeleteMember(int memberId) const;
    // Moves the member steps places within its class (negative: up). False, and nothing
    // changed, when it is not there or would leave the class's list.
    bool MoveMember(int memberId, int steps) const;

    QList<TMember> GetMembers(int classId) const;
    QList<TMember> GetPictureMembers(int classId) const;
    // Members whose type is none of the built-in types, a deleted class's name included.
    QList<TMember> GetReferenceMembers(int classId) const;
    QList<TMember> GetQueryMembers(int classId) const;
    QList<TMember> GetNonKeyMembers(int classId) const;
    // The members of every class of the project in one query: the rows GetMembers gives for
    // each of its classes, in the same order within a class.
    QList<TMember> GetProjectMembers(int projectId) const;

    std::optional<TMember> GetMember(int memberId) const;
    std::optional<TMember> GetKeyMember(int classId) const;
    std::optional<TMember> GetDisplayMember(int classId) const;
    // The key member of the project's class named className (a reference member's type).
    std::optional<TMember> GetProjectKeyMember(int projectId, const QString &className) const;

    // The t_member columns of a member's own fields ("memberName,memberType,..."), as many "?"
    // as there are, and the fields' values in that order: ids and the order are not among them.
    static QString StoredColumns();
    static QString StoredPlaceholders();
    static QVariantList StoredValues(const TMember &member);

private:
    QList<TMember> Select(const QString &where, const QVariantList &values) const;
    std::optional<TMember> First(const QString &where, const QVariantList &values) const;

    TDbHelper db_;
};
