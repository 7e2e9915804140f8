#pragma once

#include <QString>
#include <QStringList>

// The five built-in member types. Any other type text names a class of the same project and
// makes the member a reference to it.
namespace MemberType {
inline const QString Text = QStringLiteral("字符串");
inline const QString Integer = QStringLiteral("整型");
inline const QString Float = QStringLiteral("浮点型");
inline const QString Date = QStringLiteral("日期型");
inline const QString Picture = QStringLiteral("图片型");

// In the order the member dialogs offer them.
inline QStringList BuiltIn() { return {Text, Integer, Float, Date, Picture}; }
inline bool IsReference(const QString &type) { return !BuiltIn().contains(type); }
} // namespace MemberType

// One row of t_member.
class TMember {
public:
    int memberId() const { return memberId_; }
    void setMemberId(int v) { memberId_ = v; }
    int projectId() const { return projectId_; }
    void setProjectId(int v) { projectId_ = v; }
    int classId() const { return classId_; }
    void setClassId(int v) { classId_ = v; }
    QString memberName() const { return memberName_; }
    void setMemberName(const QString &v) { memberName_ = v; }
    QString memberType() const { return memberType_; }
    void setMemberType(const QString &v) { memberType_ = v; }
    int memberLength() const { return memberLength_; }
    void setMemberLength(int v) { memberLength_ = v; }
    int memberIsPri() const { return memberIsPri_; }
    void setMemberIsPri(int v) { memberIsPri_ = v; }
    QString memberComment() const { return memberComment_; }
    void setMemberComment(const QString &v) { memberComment_ = v; }
    int memberIsMust() const { return memberIsMust_; }
    void setMemberIsMust(int v) { memberIsMust_ = v; }
    int memberIsInteger() const { return memberIsInteger_; }
    void setMemberIsInteger(int v) { memberIsInteger_ = v; }
    int memberIsFloat() const { return memberIsFloat_; }
    void setMemberIsFloat(int v) { memberIsFloat_ = v; }
    int queryFlag() const { return queryFlag_; }
    void setQueryFlag(int v) { queryFlag_ = v; }
    int memberIsDisplay() const { return memberIsDisplay_; }
    void setMemberIsDisplay(int v) { memberIsDisplay_ = v; }
    int memberQueryDisplay() const { return memberQueryDisplay_; }
    void setMemberQueryDisplay(int v) { memberQueryDisplay_ = v; }
    // Where the member stands in its class; the store assigns it and changes it on a move.
    int memberOrder() const { return memberOrder_; }
    void setMemberOrder(int v) { memberOrder_ = v; }

private:
    int memberId_ = 0;
    int projectId_ = 0;
    int classId_ = 0;
    QString memberName_;
    QString memberType_;
    int memberLength_ = 0;
    int memberIsPri_ = 0;
    QString memberComment_;
    int memberIsMust_ = 0;
    int memberIsInteger_ = 0;
    int memberIsFloat_ = 0;
    int queryFlag_ = 0;
    int memberIsDisplay_ = 0;
    int memberQueryDisplay_ = 1;
    int memberOrder_ = 0;
};
