#include "ui/dialogs/FormUpdateMember.h"

#include "generator/check/TypeRules.h"

#include "model/MemberDAO.h"
#include "ui/UserInteraction.h"
#include "ui/dialogs/MemberTypeFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {
const TMemberForm::TLayout updateLayout = {
    QStringLiteral("更新成员属性"),
    {372, 320},
    {32, 32, 60, 13},    // Label1
    {24, 88, 60, 13},    // Label2
    {47, 132, 39, 13},   // Label3
    {196, 133, 105, 13}, // Label5
    {26, 237, 60, 13},   // Label4
    {104, 24, 209, 21},  // Edt_MemberName
    {104, 80, 209, 21},  // CB_MemberType
    {148, 165, 102, 33}, // CB_MemberIsMust
    {80, 276, 81, 25},   // Button1
    {216, 276, 81, 25},  // Button2
    {96, 235, 209, 21},  // Edt_MemberComment
    {248, 173, 105, 17}, // CB_QueryFlag
    {41, 168, 81, 25},   // CB_MemberIsPri
    {103, 128, 81, 21},  // Edt_MemberLength
    {39, 203, 132, 17},  // CB_MemberIsDisplay
    {192, 204, 137, 17}, // CB_MemberQueryDisplay
};
} // namespace

TUpdateMemberForm::TUpdateMemberForm(QWidget *parent, TUserInteraction &ui, int projectId, int classId,
                                     int memberId)
    : TMemberForm(parent, ui, projectId, classId, updateLayout, false), memberId_(memberId)
{
    setObjectName(QStringLiteral("UpdateMemberForm"));
}

bool TUpdateMemberForm::FormCreate()
{
    FillTypeChoices();
    const std::optional<TMember> member = TMemberDAO().GetMember(memberId_);
    if (!member) {
        ui_.message(parentWidget(), QStringLiteral("该成员不存在!"));
        return false;
    }
    Edt_MemberName->setText(member->memberName());
    Edt_MemberLength->setText(QString::number(member->memberLength()));
    CB_MemberIsMust->setChecked(member->memberIsMust() == 1);
    CB_QueryFlag->setChecked(member->queryFlag() == 1);
    CB_MemberIsPri->setChecked(member->memberIsPri() == 1);
    CB_MemberIsDisplay->setChecked(member->memberIsDisplay() == 1);
    CB_MemberQueryDisplay->setChecked(member->memberQueryDisplay() == 1);
    Edt_MemberComment->setText(member->memberComment());
    // The type last, so that what it holds fixed is shown over the stored flags.
    int type = CB_MemberType->findText(member->memberType(), Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (type < 0) {
        // The type names a class that has since been deleted: offer it as it is, so that the
        // member can be saved unchanged or given another type.
        CB_MemberType->addItem(member->memberType());
        type = CB_MemberType->count() - 1;
    }
    CB_MemberType->setCurrentIndex(type);
    typeFields_->SetType(CB_MemberType->currentText());
    typeFields_->Load(*member);
    ApplyTypeRules();
    return true;
}

void TUpdateMemberForm::Save(const TMember &member)
{
    // The dialog does not show the exact column, which an edit must not lose.
    const std::optional<TMember> stored = TMemberDAO().GetMember(memberId_);
    TMember changed = stored ? TypeRules::KeepExact(*stored, member) : member;
    changed.setMemberId(memberId_);
    TMemberDAO().UpdateMember(changed);
}

QString TUpdateMemberForm::SavedMessage() const
{
    return QStringLiteral("类成员属性更新成功!");
}
