#include "MemberDAO.h"

#include "ClassDAO.h"

#include <QSqlRecord>

namespace {
const QString insertMember = QStringLiteral(
    "insert into t_member(projectId,classId,memberName,memberType,memberLength,memberIsPri,"
    "memberComment,memberIsMust,memberIsInteger,memberIsFloat,queryFlag,memberIsDisplay,"
    "memberQueryDisplay) values (?,?,?,?,?,?,?,?,?,?,?,?,?)");
const QString updateMember = QStringLiteral(
    "update t_member set memberName=?,memberType=?,memberLength=?,memberIsPri=?,"
    "memberComment=?,memberIsMust=?,memberIsInteger=?,memberIsFloat=?,queryFlag=?,"
    "memberIsDisplay=?,memberQueryDisplay=? where memberId=?");
const QString deleteMember = QStringLiteral("delete from t_member where memberId=?");

const QString byClass = QStringLiteral("classId=?");
const QString pictureByClass = QStringLiteral("memberType=? and classId=?");
const QString referenceByClass = QStringLiteral(
    "memberType<>? and memberType<>? and memberType<>? and memberType<>? and memberType<>? "
    "and classId=?");
const QString queryByClass = QStringLiteral("queryFlag = 1 and classId=?");
const QString nonKeyByClass = QStringLiteral("memberIsPri=0 and classId=?");
const QString byId = QStringLiteral("memberId=?");
const QString keyByClass = QStringLiteral("memberIsPri=1 and classId=?");
const QString displayByClass = QStringLiteral("memberIsDisplay=1 and classId=?");
const QString keyByProjectClass = QStringLiteral("memberIsPri=1 and projectId=? and classId=?");

TMember memberFromRow(const QSqlQuery &row)
{
    const QSqlRecord record = row.record();
    const auto text = [&](const char *column) { return row.value(record.indexOf(QLatin1String(column))).toString(); };
    const auto number = [&](const char *column) { return row.value(record.indexOf(QLatin1String(column))).toInt(); };
    TMember member;
    member.setMemberId(number("memberId"));
    member.setProjectId(number("projectId"));
    member.setClassId(number("classId"));
    member.setMemberName(text("memberName"));
    member.setMemberType(text("memberType"));
    member.setMemberLength(number("memberLength"));
    member.setMemberIsPri(number("memberIsPri"));
    member.setMemberComment(text("memberComment"));
    member.setMemberIsMust(number("memberIsMust"));
    member.setMemberIsInteger(number("memberIsInteger"));
    member.setMemberIsFloat(number("memberIsFloat"));
    member.setQueryFlag(number("queryFlag"));
    member.setMemberIsDisplay(number("memberIsDisplay"));
    member.setMemberQueryDisplay(number("memberQueryDisplay"));
    return member;
}
} // namespace

void TMemberDAO::AddMember(const TMember &m) const
{
    db_.ExecuteSql(insertMember,
                   {m.projectId(), m.classId(), m.memberName(), m.memberType(), m.memberLength(),
                    m.memberIsPri(), m.memberComment(), m.memberIsMust(), m.memberIsInteger(),
                    m.memberIsFloat(), m.queryFlag(), m.memberIsDisplay(), m.memberQueryDisplay()});
}

void TMemberDAO::UpdateMember(const TMember &m) const
{
    db_.ExecuteSql(updateMember,
                   {m.memberName(), m.memberType(), m.memberLength(), m.memberIsPri(),
                    m.memberComment(), m.memberIsMust(), m.memberIsInteger(), m.memberIsFloat(),
                    m.queryFlag(), m.memberIsDisplay(), m.memberQueryDisplay(), m.memberId()});
}

void TMemberDAO::DeleteMember(int memberId) const
{
    db_.ExecuteSql(deleteMember, {memberId});
}

QList<TMember> TMemberDAO::GetMembers(int classId) const
{
    return Select(byClass, {classId});
}

QList<TMember> TMemberDAO::GetPictureMembers(int classId) const
{
    return Select(pictureByClass, {MemberType::Picture, classId});
}

QList<TMember> TMemberDAO::GetReferenceMembers(int classId) const
{
    QVariantList values;
    for (const QString &type : MemberType::BuiltIn())
        values.append(type);
    values.append(classId);
    return Select(referenceByClass, values);
}

QList<TMember> TMemberDAO::GetQueryMembers(int classId) const
{
    return Select(queryByClass, {classId});
}

QList<TMember> TMemberDAO::GetNonKeyMembers(int classId) const
{
    return Select(nonKeyByClass, {classId});
}

std::optional<TMember> TMemberDAO::GetMember(int memberId) const
{
    return First(byId, {memberId});
}

std::optional<TMember> TMemberDAO::GetKeyMember(int classId) const
{
    return First(keyByClass, {classId});
}

std::optional<TMember> TMemberDAO::GetDisplayMember(int classId) const
{
    return First(displayByClass, {classId});
}

std::optional<TMember> TMemberDAO::GetProjectKeyMember(int projectId, const QString &className) const
{
    const int classId = TClassDAO(db_).GetClassId(projectId, className);
    return First(keyByProjectClass, {projectId, classId});
}

QList<TMember> TMemberDAO::Select(const QString &where, const QVariantList &values) const
{
    QList<TMember> members;
    QSqlQuery query = db_.OpenQuery(
        QStringLiteral("select * from t_member where %1 order by memberId").arg(where), values);
    while (query.next())
        members.append(memberFromRow(query));
    return members;
}

std::optional<TMember> TMemberDAO::First(const QString &where, const QVariantList &values) const
{
    QSqlQuery query = db_.OpenQuery(
        QStringLiteral("select * from t_member where %1 order by memberId limit 1").arg(where),
        values);
    if (!query.next())
        return std::nullopt;
    return memberFromRow(query);
}
