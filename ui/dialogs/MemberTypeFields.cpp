#include "ui/dialogs/MemberTypeFields.h"

#include "generator/check/ModelChecker.h"
#include "generator/check/TypeRules.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSet>

namespace {

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The rules a reference may take; SET NULL only for a nullable one. The choice is kept when
// it is still offered, else it falls back to RESTRICT.
void offerRules(QComboBox *box, bool nullable)
{
    const QString chosen = box->currentText();
    box->clear();
    for (const QString &rule : ForeignKeyRule::All()) {
        if (rule != ForeignKeyRule::SetNull || nullable)
            box->addItem(rule);
    }
    const int index = box->findText(chosen);
    box->setCurrentIndex(index < 0 ? 0 : index);
}

void choose(QComboBox *box, const QString &rule)
{
    const int index = box->findText(rule);
    box->setCurrentIndex(index < 0 ? 0 : index);
}

} // namespace

TMemberTypeFields::TMemberTypeFields(QWidget *parent) : QGroupBox(QStringLiteral("类型设置"), parent)
{
    setObjectName(QStringLiteral("GB_TypeFields"));
    Edt_MemberScale = named(new QLineEdit(QStringLiteral("0"), this), "Edt_MemberScale");
    CB_MemberIsUnsigned = named(new QCheckBox(QStringLiteral("无符号"), this), "CB_MemberIsUnsigned");
    CB_MemberIsNullable = named(new QCheckBox(QStringLiteral("允许空"), this), "CB_MemberIsNullable");
    Edt_EnumValues = named(new QPlainTextEdit(this), "Edt_EnumValues");
    Edt_EnumValues->setPlaceholderText(QStringLiteral("每行一个值"));
    Edt_EnumValues->setTabChangesFocus(true);
    CB_OnDelete = named(new QComboBox(this), "CB_OnDelete");
    CB_OnUpdate = named(new QComboBox(this), "CB_OnUpdate");
    Edt_ColumnName = named(new QLineEdit(this), "Edt_ColumnName");

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("小数位："), Edt_MemberScale);
    form->addRow(CB_MemberIsUnsigned);
    form->addRow(CB_MemberIsNullable);
    form->addRow(QStringLiteral("枚举值："), Edt_EnumValues);
    form->addRow(QStringLiteral("删除时："), CB_OnDelete);
    form->addRow(QStringLiteral("更新时："), CB_OnUpdate);
    form->addRow(QStringLiteral("列名："), Edt_ColumnName);

    connect(CB_MemberIsNullable, &QCheckBox::toggled, this, &TMemberTypeFields::Refresh);
    Refresh();
}

void TMemberTypeFields::SetType(const QString &type)
{
    type_ = type;
    Refresh();
}

void TMemberTypeFields::SetKey(bool key)
{
    key_ = key;
    Refresh();
}

void TMemberTypeFields::Load(const TMember &member)
{
    Edt_MemberScale->setText(QString::number(member.memberScale()));
    CB_MemberIsUnsigned->setChecked(member.memberIsUnsigned() == 1);
    CB_MemberIsNullable->setChecked(member.memberIsNullable() == 1);
    Edt_EnumValues->setPlainText(member.memberEnumValues().join(QLatin1Char('\n')));
    Refresh();
    choose(CB_OnDelete, member.memberOnDelete());
    choose(CB_OnUpdate, member.memberOnUpdate());
    Edt_ColumnName->setText(member.memberColumnName());
}

void TMemberTypeFields::Refresh()
{
    const bool reference = !type_.isEmpty() && MemberType::IsReference(type_);
    Edt_MemberScale->setEnabled(TypeRules::UsesScale(type_));
    CB_MemberIsUnsigned->setEnabled(TypeRules::UsesUnsigned(type_));
    CB_MemberIsNullable->setEnabled(!key_);
    Edt_EnumValues->setEnabled(TypeRules::UsesEnumValues(type_));
    CB_OnDelete->setEnabled(reference);
    CB_OnUpdate->setEnabled(reference);
    const bool nullable = !key_ && CB_MemberIsNullable->isChecked();
    offerRules(CB_OnDelete, nullable);
    offerRules(CB_OnUpdate, nullable);
}

QStringList TMemberTypeFields::EnumValues() const
{
    QStringList values;
    for (const QString &line : Edt_EnumValues->toPlainText().split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            values << line;
    }
    return values;
}

QString TMemberTypeFields::Refusal(int precision, QWidget **focus) const
{
    *focus = nullptr;
    if (TypeRules::UsesScale(type_)) {
        bool ok = false;
        const int scale = Edt_MemberScale->text().trimmed().toInt(&ok);
        *focus = Edt_MemberScale;
        if (!ok || scale < 0 || scale > precision)
            return QStringLiteral("小数位必须是0到长度(%1)之间的整数!").arg(precision);
    }
    if (TypeRules::UsesEnumValues(type_)) {
        *focus = Edt_EnumValues;
        const QStringList values = EnumValues();
        if (values.isEmpty())
            return QStringLiteral("枚举型至少需要一个值!");
        QSet<QString> seen;
        for (const QString &value : values) {
            if (value.size() > 255)
                return QStringLiteral("枚举值不能超过255个字符!");
            if (seen.contains(value.toLower()))
                return QStringLiteral("枚举值“%1”重复了!").arg(value);
            seen.insert(value.toLower());
        }
    }
    const QString column = Edt_ColumnName->text();
    if (const QString problem = TModelChecker::OwnSqlNameProblem(column); !problem.isEmpty()) {
        *focus = Edt_ColumnName;
        return QStringLiteral("列名\"%1\"%2，MySQL不能建表!").arg(column, problem);
    }
    return QString();
}

void TMemberTypeFields::ApplyTo(TMember &member) const
{
    const QString type = member.memberType();
    const bool reference = MemberType::IsReference(type);
    member.setMemberScale(TypeRules::UsesScale(type) ? Edt_MemberScale->text().trimmed().toInt() : 0);
    member.setMemberIsUnsigned(TypeRules::UsesUnsigned(type) && CB_MemberIsUnsigned->isChecked() ? 1 : 0);
    member.setMemberIsNullable(member.memberIsPri() != 1 && CB_MemberIsNullable->isChecked() ? 1 : 0);
    member.setMemberEnumValues(TypeRules::UsesEnumValues(type) ? EnumValues() : QStringList());
    member.setMemberOnDelete(reference ? CB_OnDelete->currentText() : ForeignKeyRule::Restrict);
    member.setMemberOnUpdate(reference ? CB_OnUpdate->currentText() : ForeignKeyRule::Restrict);
    member.setMemberColumnName(Edt_ColumnName->text());
}
