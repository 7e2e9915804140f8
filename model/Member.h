#pragma once

#include <QString>
#include <QStringList>

// The built-in member types. Any other type text names a class of the same project and makes
// the member a reference to it.
namespace MemberType {
inline const QString Text = QStringLiteral("字符串");
inline const QString Integer = QStringLiteral("整型");
inline const QString Float = QStringLiteral("浮点型");
inline const QString Date = QStringLiteral("日期型");
inline const QString Picture = QStringLiteral("图片型");
inline const QString BigInt = QStringLiteral("长整型");
inline const QString Decimal = QStringLiteral("定点数");     // length: precision, scale: 小数位
inline const QString DateTime = QStringLiteral("日期时间型");
inline const QString Time = QStringLiteral("时间型");
inline const QString LongText = QStringLiteral("长文本");    // length: most characters, 0: no limit of its own
inline const QString Boolean = QStringLiteral("是否型");
inline const QString Enum = QStringLiteral("枚举型");       // values: memberEnumValues
inline const QString Binary = QStringLiteral("二进制型");   // length: bytes; shown and sent in hex
inline const QString Blob = QStringLiteral("文件型");       // bytes of any size, taken as a file

// In the order the member dialogs offer them: the first five, then the later ones.
inline const QStringList &BuiltIn()
{
    static const QStringList types{Text,   Integer,  Float, Date,     Picture, BigInt, Decimal,
                                   DateTime, Time, LongText, Boolean, Enum, Binary, Blob};
    return types;
}
inline bool IsReference(const QString &type) { return !BuiltIn().contains(type); }
} // namespace MemberType

// What the database does to a reference when the row it refers to is deleted or its key changed.
namespace ForeignKeyRule {
inline const QString Restrict = QStringLiteral("RESTRICT"); // refused; the default
inline const QString Cascade = QStringLiteral("CASCADE");
inline const QString SetNull = QStringLiteral("SET NULL"); // needs a nullable reference
inline const QString NoAction = QStringLiteral("NO ACTION"); // refused as RESTRICT, kept as the database has it

inline const QStringList &All()
{
    static const QStringList rules{Restrict, Cascade, SetNull, NoAction};
    return rules;
}
} // namespace ForeignKeyRule

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
    // 小数位: the scale of a 定点数 (its length is the precision).
    int memberScale() const { return memberScale_; }
    void setMemberScale(int v) { memberScale_ = v; }
    // 无符号: a 整型 or 长整型 without negative values.
    int memberIsUnsigned() const { return memberIsUnsigned_; }
    void setMemberIsUnsigned(int v) { memberIsUnsigned_ = v; }
    // 允许空: the column takes NULL, and an empty value is stored as NULL. Never on the key.
    int memberIsNullable() const { return memberIsNullable_; }
    void setMemberIsNullable(int v) { memberIsNullable_ = v; }
    // 删除时 / 更新时 of a reference: one of ForeignKeyRule.
    QString memberOnDelete() const { return memberOnDelete_; }
    void setMemberOnDelete(const QString &v) { memberOnDelete_ = v; }
    QString memberOnUpdate() const { return memberOnUpdate_; }
    void setMemberOnUpdate(const QString &v) { memberOnUpdate_ = v; }
    // The allowed values of an 枚举型, in order.
    QStringList memberEnumValues() const { return memberEnumValues_; }
    void setMemberEnumValues(const QStringList &v) { memberEnumValues_ = v; }
    // The column's name in the database; empty for the member name itself.
    QString memberColumnName() const { return memberColumnName_; }
    void setMemberColumnName(const QString &v) { memberColumnName_ = v; }

    // The column exactly as the database has it. Empty sqlType: the column is what 类型 makes
    // it, as it always was. Otherwise its type name ("tinyint", "char", "timestamp", "set",
    // "varbinary", "json"...), with the number in its brackets in memberLength (display width,
    // length, precision or fractional seconds; 0 for none), the scale in memberScale, the
    // values of an enum or set in memberEnumValues, and AUTO_INCREMENT only by memberAutoIncrement.
    QString memberSqlType() const { return memberSqlType_; }
    void setMemberSqlType(const QString &v) { memberSqlType_ = v; }
    int memberIsZerofill() const { return memberIsZerofill_; }
    void setMemberIsZerofill(int v) { memberIsZerofill_ = v; }
    int memberAutoIncrement() const { return memberAutoIncrement_; }
    void setMemberAutoIncrement(int v) { memberAutoIncrement_ = v; }
    // The default as SQL gives it: "'text'", "0", "NULL", "current_timestamp()", an
    // expression; empty for none.
    QString memberDefault() const { return memberDefault_; }
    void setMemberDefault(const QString &v) { memberDefault_ = v; }
    // 1: ON UPDATE current_timestamp, with the column's fractional seconds.
    int memberOnUpdateNow() const { return memberOnUpdateNow_; }
    void setMemberOnUpdateNow(int v) { memberOnUpdateNow_ = v; }
    // The column's own character set and collation; empty where the table script chooses.
    QString memberCharset() const { return memberCharset_; }
    void setMemberCharset(const QString &v) { memberCharset_ = v; }
    QString memberCollation() const { return memberCollation_; }
    void setMemberCollation(const QString &v) { memberCollation_ = v; }

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
    int memberScale_ = 0;
    int memberIsUnsigned_ = 0;
    int memberIsNullable_ = 0;
    QString memberOnDelete_ = ForeignKeyRule::Restrict;
    QString memberOnUpdate_ = ForeignKeyRule::Restrict;
    QStringList memberEnumValues_;
    QString memberColumnName_;
    QString memberSqlType_;
    int memberIsZerofill_ = 0;
    int memberAutoIncrement_ = 0;
    QString memberDefault_;
    int memberOnUpdateNow_ = 0;
    QString memberCharset_;
    QString memberCollation_;
};
