#include "ui/dialogs/MemberForm.h"

#include "generator/check/ModelChecker.h"
#include "model/ClassDAO.h"
#include "model/MemberDAO.h"
#include "ui/CommandRun.h"
#include "ui/NameRules.h"
#include "ui/UserInteraction.h"
#include "ui/dialogs/MemberFieldRules.h"
#include "ui/dialogs/MemberTypeFields.h"

#include <QCheckBox>
#include <QSignalBlocker>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

namespace {

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, const QRect &at)
{
    auto *l = named(new QLabel(text, parent), name);
    l->move(at.topLeft());
    l->adjustSize();
    return l;
}

// Puts a control on its rectangle; a control that needs more height than the rectangle gives
// grows evenly above and below, so that nothing of it is cut off.
void place(QWidget *widget, const QRect &at)
{
    const int height = std::max(at.height(), widget->sizeHint().height());
    widget->setGeometry(at.left(), at.top() - (height - at.height()) / 2, at.width(), height);
}

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &text, const QRect &at)
{
    auto *box = named(new QCheckBox(text, parent), name);
    place(box, at);
    return box;
}

QLineEdit *edit(QWidget *parent, const char *name, const QRect &at)
{
    auto *e = named(new QLineEdit(parent), name);
    place(e, at);
    return e;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, const QRect &at)
{
    auto *b = named(new QPushButton(text, parent), name);
    // Enter presses the button that has the focus, or else the default one (确定).
    b->setAutoDefault(true);
    place(b, at);
    return b;
}

// Long enough for an e-mail address or a title.
const QString defaultTextLength = QStringLiteral("50");

bool isWholeNumberAboveZero(const QString &text, int *value)
{
    bool ok = false;
    *value = text.trimmed().toInt(&ok);
    return ok && *value > 0;
}

// The type-specific fields stand in a column right of the original layout.
constexpr int typeFieldsWidth = 236;

} // namespace

TMemberForm::TMemberForm(QWidget *parent, TUserInteraction &ui, int projectId, int classId,
                         const TLayout &layout, bool keyTypeRule)
    : TFormDialog(parent, layout.caption, layout.client.width() + typeFieldsWidth + 12,
                  layout.client.height()),
      ui_(ui),
      projectId_(projectId),
      classId_(classId),
      keyTypeRule_(keyTypeRule),
      compositeKey_(TClassDAO().GetCompositeKey(classId))
{
    Label1 = label(this, "Label1", QStringLiteral("成员名称："), layout.label1);
    Label2 = label(this, "Label2", QStringLiteral("成员类型："), layout.label2);
    Label3 = label(this, "Label3", QStringLiteral("长度： "), layout.label3);
    Label5 = label(this, "Label5", QStringLiteral("(字符串类型有效)     "), layout.label5);
    Label4 = label(this, "Label4", QStringLiteral("成员注释："), layout.label4);

    Edt_MemberName = edit(this, "Edt_MemberName", layout.memberName);
    CB_MemberType = named(new QComboBox(this), "CB_MemberType");
    CB_MemberType->setEditable(false);
    place(CB_MemberType, layout.memberType);
    CB_MemberIsMust = checkBox(this, "CB_MemberIsMust", QStringLiteral("是否必填"), layout.isMust);
    Button1 = button(this, "Button1", QStringLiteral("确定"), layout.button1);
    Button2 = button(this, "Button2", QStringLiteral("取消"), layout.button2);
    Edt_MemberComment = edit(this, "Edt_MemberComment", layout.comment);
    // The comment is what the generated pages show as the member's label.
    Edt_MemberComment->setPlaceholderText(QStringLiteral("页面上的标签，不填时用成员名称"));
    const QString commentHint = QStringLiteral(
        "成员注释是生成的页面上显示的标签（表头、表单、查询条件、导出的列名）；"
        "不填时用成员名称的易读形式，例如 studentId 显示为 Student Id");
    Edt_MemberComment->setToolTip(commentHint);
    Label4->setToolTip(commentHint);
    CB_QueryFlag = checkBox(this, "CB_QueryFlag", QStringLiteral("是否参与查询"), layout.queryFlag);
    CB_MemberIsPri = checkBox(this, "CB_MemberIsPri", QStringLiteral("是否主键"), layout.isPri);
    Edt_MemberLength = edit(this, "Edt_MemberLength", layout.length);
    Edt_MemberLength->setText(defaultTextLength);
    const QString lengthHint = QStringLiteral("字符串的最大长度: 1到%1个字符，作主键时最长%2")
                                   .arg(TModelChecker::MaxTextLength)
                                   .arg(TModelChecker::MaxTextKeyLength);
    Edt_MemberLength->setToolTip(lengthHint);
    Label5->setToolTip(lengthHint);
    CB_MemberIsDisplay =
        checkBox(this, "CB_MemberIsDisplay", QStringLiteral("下拉框显示字段"), layout.isDisplay);
    CB_MemberQueryDisplay = checkBox(this, "CB_MemberQueryDisplay",
                                     QStringLiteral("查询界面是否显示"), layout.queryDisplay);

    typeFields_ = new TMemberTypeFields(this);
    typeFields_->setGeometry(layout.client.width(), 12, typeFieldsWidth, layout.client.height() - 24);

    Button1->setDefault(true);
    // Top to bottom, left to right, as the controls stand; the type fields before the buttons.
    const QList<QWidget *> tabOrder = {
        Edt_MemberName,     CB_MemberType,         Edt_MemberLength, CB_MemberIsPri,
        CB_MemberIsMust,    CB_QueryFlag,          CB_MemberIsDisplay, CB_MemberQueryDisplay,
        Edt_MemberComment,  typeFields_->Edt_MemberScale, typeFields_->CB_MemberIsUnsigned,
        typeFields_->CB_MemberIsNullable, typeFields_->Edt_EnumValues, typeFields_->CB_OnDelete,
        typeFields_->CB_OnUpdate, typeFields_->Edt_ColumnName, Button1, Button2,
    };
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));
    Edt_MemberName->setFocus();

    connect(Button1, &QPushButton::clicked, this, &TMemberForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TMemberForm::Button2Click);
    connect(CB_MemberType, &QComboBox::currentIndexChanged, this, &TMemberForm::ApplyTypeRules);
    connect(CB_MemberIsPri, &QCheckBox::toggled, this, [this](bool key) {
        typeFields_->SetKey(key);
        HoldRequired();
    });
    connect(typeFields_->CB_MemberIsNullable, &QCheckBox::toggled, this, &TMemberForm::HoldRequired);
    connect(Edt_MemberName, &QLineEdit::textChanged, typeFields_->Edt_ColumnName, &QLineEdit::setPlaceholderText);
}

void TMemberForm::ApplyTypeRules()
{
    const QString type = CB_MemberType->currentText();
    const TMemberFieldRules rules = MemberFieldRules(type);
    Edt_MemberLength->setEnabled(rules.hasLength);
    int length = 0;
    if (type == MemberType::Text && !isWholeNumberAboveZero(Edt_MemberLength->text(), &length))
        Edt_MemberLength->setText(defaultTextLength);
    Hold(CB_MemberIsPri, !keyTypeRule_ || KeyAllowed(type), false, keyChoice_);
    typeFields_->SetKey(CB_MemberIsPri->isChecked());
    typeFields_->SetType(type);
    HoldRequired();
    Hold(CB_QueryFlag, rules.canBeSearched, false, queryChoice_);
}

// A composite key may hold references too: a class linking two others is keyed by both.
bool TMemberForm::KeyAllowed(const QString &type) const
{
    return MemberFieldRules(type).canBeKey || (compositeKey_ && MemberType::IsReference(type));
}

void TMemberForm::HoldRequired()
{
    const bool free = !MemberFieldRules(CB_MemberType->currentText()).mustBeRequired || NullableTicked();
    Hold(CB_MemberIsMust, free, true, mustChoice_);
}

bool TMemberForm::NullableTicked() const
{
    return !CB_MemberIsPri->isChecked() && typeFields_->CB_MemberIsNullable->isChecked();
}

void TMemberForm::Hold(QCheckBox *box, bool free, bool heldAt, bool &choice)
{
    // Set quietly: the boxes' own signals lead back here.
    const QSignalBlocker quiet(box);
    if (!free) {
        if (box->isEnabled())
            choice = box->isChecked();
        box->setChecked(heldAt);
    } else if (!box->isEnabled()) {
        box->setChecked(choice);
    }
    box->setEnabled(free);
}

void TMemberForm::FillTypeChoices()
{
    const TClassList others = TClassDAO().GetOtherClasses(projectId_, classId_);
    CB_MemberType->clear();
    CB_MemberType->addItems(MemberType::BuiltIn());
    for (const TListEntry &entry : others)
        CB_MemberType->addItem(entry.name);
}

void TMemberForm::Button1Click()
{
    RunCommand(ui_, this, [&] {
        const QString name = Edt_MemberName->text();
        const QString type = CB_MemberType->currentText();
        const auto refuse = [&](const QString &text, QWidget *focus = nullptr) {
            ui_.message(this, text);
            if (focus)
                focus->setFocus();
        };

        if (name.isEmpty())
            return refuse(QStringLiteral("成员名称输入不能为空!"), Edt_MemberName);
        if (!NameRules::StartsWithAsciiLower(name))
            return refuse(QStringLiteral("成员属性首个字母必须小写"));
        // The dialog already shows these rules; they hold here whatever the boxes say. A NOT
        // NULL column needs a value from the form, unless the member may stay empty.
        const TMemberFieldRules rules = MemberFieldRules(type);
        if (rules.mustBeRequired && !NullableTicked() && !CB_MemberIsMust->isChecked())
            return refuse(type + QStringLiteral("必须勾选是否必填标志!"));
        if (keyTypeRule_ && CB_MemberIsPri->isChecked() && !KeyAllowed(type))
            return refuse(QStringLiteral("主键字段必须是整型或字符串型!"));
        if (CB_QueryFlag->isChecked() && !rules.canBeSearched)
            return refuse(QStringLiteral("参与查询的字段不能是") + type);
        int length = 0;
        const bool text = type == MemberType::Text;
        if (text && !isWholeNumberAboveZero(Edt_MemberLength->text(), &length))
            return refuse(QStringLiteral("长度必须是大于0的整数!"), Edt_MemberLength);
        if (type == MemberType::Decimal
            && (!isWholeNumberAboveZero(Edt_MemberLength->text(), &length) || length > 65))
            return refuse(QStringLiteral("定点数的长度(总位数)必须是1到65之间的整数!"), Edt_MemberLength);
        if (type == MemberType::LongText) {
            bool ok = false;
            length = Edt_MemberLength->text().trimmed().toInt(&ok);
            if (!ok || length < 0)
                return refuse(QStringLiteral("长文本的长度必须是不小于0的整数(0为不限)!"), Edt_MemberLength);
        }
        QWidget *typeFocus = nullptr;
        if (const QString refusal = typeFields_->Refusal(length, &typeFocus); !refusal.isEmpty())
            return refuse(refusal, typeFocus);
        if (const QString refusal = NameRules::MemberNameRefusal(name); !refusal.isEmpty())
            return refuse(refusal, Edt_MemberName);
        if (MemberNameTaken(name))
            return refuse(QStringLiteral("该成员名称已经存在!"), Edt_MemberName);
        if (text && length > TModelChecker::MaxTextLength)
            return refuse(QStringLiteral("长度不能超过%1!").arg(TModelChecker::MaxTextLength), Edt_MemberLength);
        if (text && CB_MemberIsPri->isChecked() && length > TModelChecker::MaxTextKeyLength)
            return refuse(QStringLiteral("主键字段的长度不能超过%1!").arg(TModelChecker::MaxTextKeyLength),
                          Edt_MemberLength);
        if (const QString refusal = NameRules::TextRefusal(QStringLiteral("成员注释"), Edt_MemberComment->text());
            !refusal.isEmpty())
            return refuse(refusal, Edt_MemberComment);

        TMember member;
        member.setProjectId(projectId_);
        member.setClassId(classId_);
        member.setMemberName(name);
        member.setMemberType(type);
        member.setMemberLength(rules.hasLength ? length : 0);
        member.setMemberIsPri(CB_MemberIsPri->isChecked() ? 1 : 0);
        member.setMemberIsInteger(type == MemberType::Integer ? 1 : 0);
        member.setMemberIsFloat(type == MemberType::Float ? 1 : 0);
        member.setMemberIsMust(CB_MemberIsMust->isChecked() ? 1 : 0);
        member.setQueryFlag(CB_QueryFlag->isChecked() ? 1 : 0);
        member.setMemberIsDisplay(CB_MemberIsDisplay->isChecked() ? 1 : 0);
        member.setMemberQueryDisplay(CB_MemberQueryDisplay->isChecked() ? 1 : 0);
        member.setMemberComment(Edt_MemberComment->text());
        typeFields_->ApplyTo(member);

        Save(member);
        accept();
    });
}

bool TMemberForm::MemberNameTaken(const QString &name) const
{
    // Compared without regard to case: the generated getters and setters raise the first letter.
    for (const TMember &member : TMemberDAO().GetMembers(classId_)) {
        if (member.memberId() != EditedMemberId() && TModelChecker::SameName(member.memberName(), name))
            return true;
    }
    return false;
}

void TMemberForm::Button2Click()
{
    reject();
}
