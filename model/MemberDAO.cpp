#include "MemberDAO.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlRecord>

#include <algorithm>
#include <limits>

namespace {
// The columns of a member's own fields, in the order of TMemberDAO::StoredValues.
const char *const storedColumns[] = {
    "memberName", "memberType", "memberLength", "memberIsPri", "memberComment", "memberIsMust",
    "memberIsInteger", "memberIsFloat", "queryFlag", "memberIsDisplay", "memberQueryDisplay",
    "memberScale", "memberIsUnsigned", "memberIsNullable", "memberOnDelete", "memberOnUpdate",
    "memberEnumValues", "memberColumnName", "memberSqlType", "memberIsZerofill",
    "memberAutoIncrement", "memberDefault", "memberOnUpdateNow", "memberCharset", "memberCollation"};

// "a,b,c", or with a suffix on each name ("a=?,b=?,c=?").
QString columnList(const char *suffix = "")
{
    QStringList names;
    for (const char *column : storedColumns)
        names.append(QString::fromLatin1(column) + QString::fromLatin1(suffix));
    return names.join(QLatin1Char(','));
}

const QString insertMember =
    QStringLiteral("insert into t_member(projectId,classId,%1,memberOrder) values (?,?,%2,"
                   "(select coalesce(max(memberOrder),0)+1 from t_member where classId=?))")
        .arg(columnList(), TMemberDAO::StoredPlaceholders());
const QString updateMember =
    QStringLiteral("update t_member set %1 where memberId=?").arg(columnList("=?"));
const QString deleteMember = QStringLiteral("delete from t_member where memberId=?");
const QString deleteFromIndexes = QStringLiteral("delete from t_index_member where memberId=?");

// An enumeration's values as one text: a JSON array, or nothing for no values.
QString enumText(const QStringList &values)
{
    if (values.isEmpty())
        return QString(QLatin1String(""));
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(values)).toJson(QJsonDocument::Compact));
}

QStringList enumValues(const QString &text)
{
    QStringList values;
    for (const QJsonValue &value : QJsonDocument::fromJson(text.toUtf8()).array())
        values.append(value.toString());
    return values;
}
const QString setOrder = QStringLiteral("update t_member set memberOrder=? where memberId=?");
// A member's place in its class; ties (rows written without an order) fall back to the id,
// which is the order members were added in.
const QString memberSequence = QStringLiteral("memberOrder, memberId");

const QString byClass = QStringLiteral("classId=?");
const QString pictureByClass = QStringLiteral("memberType=? and classId=?");
const QString referenceByClass =
    QStringLiteral("memberType not in (%1) and classId=?")
        .arg(QStringList(MemberType::BuiltIn().size(), QStringLiteral("?")).join(QLatin1Char(',')));
const QString queryByClass = QStringLiteral("queryFlag = 1 and classId=?");
const QString nonKeyByClass = QStringLiteral("memberIsPri=0 and classId=?");
const QString byProjectClasses =
    QStringLiteral("classId in (select classId from t_class where projectId=?)");
const QString byId = QStringLiteral("memberId=?");
const QString keyByClass = QStringLiteral("memberIsPri=1 and classId=?");
const QString displayByClass = QStringLiteral("memberIsDisplay=1 and classId=?");
// The key member of the first class of the project with the given name.
const QString keyByProjectClass = QStringLiteral(
    "memberIsPri=1 and projectId=? and classId=(select classId from t_class where projectId=? "
    "and className=? order by classId limit 1)");

// The position of each column in the rows of "select * from t_member", found once per query.
struct TMemberColumns {
    explicit TMemberColumns(const QSqlRecord &record)
        : memberId(record.indexOf(QLatin1String("memberId"))),
          projectId(record.indexOf(QLatin1String("projectId"))),
          classId(record.indexOf(QLatin1String("classId"))),
          memberName(record.indexOf(QLatin1String("memberName"))),
          memberType(record.indexOf(QLatin1String("memberType"))),
          memberLength(record.indexOf(QLatin1String("memberLength"))),
          memberIsPri(record.indexOf(QLatin1String("memberIsPri"))),
          memberComment(record.indexOf(QLatin1String("memberComment"))),
          memberIsMust(record.indexOf(QLatin1String("memberIsMust"))),
          memberIsInteger(record.indexOf(QLatin1String("memberIsInteger"))),
          memberIsFloat(record.indexOf(QLatin1String("memberIsFloat"))),
          queryFlag(record.indexOf(QLatin1String("queryFlag"))),
          memberIsDisplay(record.indexOf(QLatin1String("memberIsDisplay"))),
          memberQueryDisplay(record.indexOf(QLatin1String("memberQueryDisplay"))),
          memberOrder(record.indexOf(QLatin1String("memberOrder"))),
          memberScale(record.indexOf(QLatin1String("memberScale"))),
          memberIsUnsigned(record.indexOf(QLatin1String("memberIsUnsigned"))),
          memberIsNullable(record.indexOf(QLatin1String("memberIsNullable"))),
          memberOnDelete(record.indexOf(QLatin1String("memberOnDelete"))),
          memberOnUpdate(record.indexOf(QLatin1String("memberOnUpdate"))),
          memberEnumValues(record.indexOf(QLatin1String("memberEnumValues"))),
          memberColumnName(record.indexOf(QLatin1String("memberColumnName"))),
          memberSqlType(record.indexOf(QLatin1String("memberSqlType"))),
          memberIsZerofill(record.indexOf(QLatin1String("memberIsZerofill"))),
          memberAutoIncrement(record.indexOf(QLatin1String("memberAutoIncrement"))),
          memberDefault(record.indexOf(QLatin1String("memberDefault"))),
          memberOnUpdateNow(record.indexOf(QLatin1String("memberOnUpdateNow"))),
          memberCharset(record.indexOf(QLatin1String("memberCharset"))),
          memberCollation(record.indexOf(QLatin1String("memberCollation")))
    {
    }
    int memberId, projectId, classId, memberName, memberType, memberLength, memberIsPri,
        memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag,
        memberIsDisplay, memberQueryDisplay, memberOrder, memberScale, memberIsUnsigned,
        memberIsNullable, memberOnDelete, memberOnUpdate, memberEnumValues,
        memberColumnName, memberSqlType, memberIsZerofill, memberAutoIncrement, memberDefault,
        memberOnUpdateNow, memberCharset, memberCollation;
};

TMember memberFromRow(const QSqlQuery &row, const TMemberColumns &c)
{
    const auto text = [&](int column) { return row.value(column).toString(); };
    // A value beyond int (a length of 10^12, say) is held at the nearest int rather than
    // wrapped around to a negative number; NULL reads as 0.
    const auto number = [&](int column) {
        const qlonglong value = row.value(column).toLongLong();
        return int(std::clamp<qlonglong>(value, std::numeric_limits<int>::min(),
                                         std::numeric_limits<int>::max()));
    };
    TMember member;
    member.setMemberId(number(c.memberId));
    member.setProjectId(number(c.projectId));
    member.setClassId(number(c.classId));
    member.setMemberName(text(c.memberName));
    member.setMemberType(text(c.memberType));
    member.setMemberLength(number(c.memberLength));
    member.setMemberIsPri(number(c.memberIsPri));
    member.setMemberComment(text(c.memberComment));
    member.setMemberIsMust(number(c.memberIsMust));
    member.setMemberIsInteger(number(c.memberIsInteger));
    member.setMemberIsFloat(number(c.memberIsFloat));
    member.setQueryFlag(number(c.queryFlag));
    member.setMemberIsDisplay(number(c.memberIsDisplay));
    member.setMemberQueryDisplay(number(c.memberQueryDisplay));
    member.setMemberOrder(number(c.memberOrder));
    member.setMemberScale(number(c.memberScale));
    member.setMemberIsUnsigned(number(c.memberIsUnsigned));
    member.setMemberIsNullable(number(c.memberIsNullable));
    member.setMemberOnDelete(text(c.memberOnDelete));
    member.setMemberOnUpdate(text(c.memberOnUpdate));
    member.setMemberEnumValues(enumValues(text(c.memberEnumValues)));
    member.setMemberColumnName(text(c.memberColumnName));
    member.setMemberSqlType(text(c.memberSqlType));
    member.setMemberIsZerofill(number(c.memberIsZerofill));
    member.setMemberAutoIncrement(number(c.memberAutoIncrement));
    member.setMemberDefault(text(c.memberDefault));
    member.setMemberOnUpdateNow(number(c.memberOnUpdateNow));
    member.setMemberCharset(text(c.memberCharset));
    member.setMemberCollation(text(c.memberCollation));
    return member;
}
} // namespace

QString TMemberDAO::StoredColumns()
{
    static const QString columns = columnList();
    return columns;
}

QString TMemberDAO::StoredPlaceholders()
{
    static const QString placeholders = QStringList(int(std::size(storedColumns)), QStringLiteral("?"))
                                            .join(QLatin1Char(','));
    return placeholders;
}

QVariantList TMemberDAO::StoredValues(const TMember &m)
{
    return {m.memberName(), m.memberType(), m.memberLength(), m.memberIsPri(),
            m.memberComment(), m.memberIsMust(), m.memberIsInteger(), m.memberIsFloat(),
            m.queryFlag(), m.memberIsDisplay(), m.memberQueryDisplay(), m.memberScale(),
            m.memberIsUnsigned(), m.memberIsNullable(), m.memberOnDelete(), m.memberOnUpdate(),
            enumText(m.memberEnumValues()), m.memberColumnName(), m.memberSqlType(),
            m.memberIsZerofill(), m.memberAutoIncrement(), m.memberDefault(), m.memberOnUpdateNow(),
            m.memberCharset(), m.memberCollation()};
}

void TMemberDAO::AddMember(const TMember &m) const
{
    db_.ExecuteSql(insertMember, QVariantList{m.projectId(), m.classId()} + StoredValues(m)
                                     + QVariantList{m.classId()});
}

void TMemberDAO::UpdateMember(const TMember &m) const
{
    db_.ExecuteSql(updateMember, StoredValues(m) + QVariantList{m.memberId()});
}

void TMemberDAO::DeleteMember(int memberId) const
{
    // Its place in the class's indexes goes with it.
    db_.ExecuteBatch({{deleteMember, {memberId}}, {deleteFromIndexes, {memberId}}});
}

bool TMemberDAO::MoveMember(int memberId, int steps) const
{
    const std::optional<TMember> moved = GetMember(memberId);
    if (!moved)
        return false;
    QList<TMember> members = GetMembers(moved->classId());
    const qsizetype from = std::find_if(members.cbegin(), members.cend(),
                                        [&](const TMember &m) { return m.memberId() == memberId; })
        - members.cbegin();
    const qsizetype to = from + steps;
    if (from >= members.size() || to < 0 || to >= members.size() || to == from)
        return false;
    members.move(from, to);
    // The whole class is numbered afresh: rows that share an order value (written by hand or
    // by an older program) would otherwise not move at all.
    QList<TSqlStatement> statements;
    for (qsizetype i = 0; i < members.size(); ++i) {
        if (members.at(i).memberOrder() != int(i) + 1)
            statements.append({setOrder, {int(i) + 1, members.at(i).memberId()}});
    }
    db_.ExecuteBatch(statements);
    return true;
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

QList<TMember> TMemberDAO::GetProjectMembers(int projectId) const
{
    return Select(byProjectClasses, {projectId});
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
    return First(keyByProjectClass, {projectId, projectId, className});
}

QList<TMember> TMemberDAO::Select(const QString &where, const QVariantList &values) const
{
    QList<TMember> members;
    QSqlQuery query = db_.OpenQuery(
        QStringLiteral("select * from t_member where %1 order by %2").arg(where, memberSequence), values);
    const TMemberColumns columns(query.record());
    while (query.next())
        members.append(memberFromRow(query, columns));
    return members;
}

std::optional<TMember> TMemberDAO::First(const QString &where, const QVariantList &values) const
{
    QSqlQuery query = db_.OpenQuery(
        QStringLiteral("select * from t_member where %1 order by %2 limit 1").arg(where, memberSequence),
        values);
    if (!query.next())
        return std::nullopt;
    return memberFromRow(query, TMemberColumns(query.record()));
}
