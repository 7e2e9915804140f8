#pragma once

#include "model/Member.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

// The member fields the later types brought: 小数位, 无符号, 允许空, the values of an 枚举型 and
// the 删除时/更新时 rules of a reference. Each is enabled only for the types it applies to;
// SET NULL is offered only while 允许空 is ticked. Below them the column's own name in the
// database, empty for the member name, which its placeholder shows.
class TMemberTypeFields : public QGroupBox {
    Q_OBJECT
public:
    explicit TMemberTypeFields(QWidget *parent);

    // The chosen type and whether the member is the key (never nullable).
    void SetType(const QString &type);
    void SetKey(bool key);
    void Load(const TMember &member);

    // The first of these fields that the type's rules refuse, with its message; empty when all
    // hold. The field to correct is given through focus.
    QString Refusal(int precision, QWidget **focus) const;
    // Fills these fields of the member, for its type and key flag already set.
    void ApplyTo(TMember &member) const;

    QLineEdit *Edt_MemberScale;
    QCheckBox *CB_MemberIsUnsigned;
    QCheckBox *CB_MemberIsNullable;
    QPlainTextEdit *Edt_EnumValues;
    QComboBox *CB_OnDelete;
    QComboBox *CB_OnUpdate;
    QLineEdit *Edt_ColumnName;

private:
    void Refresh();
    // The values of the enumeration, one a line, blank lines left out.
    QStringList EnumValues() const;

    QString type_;
    bool key_ = false;
};
