#include "ui/dialogs/FormAddMember.h"

#include "model/MemberDAO.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {
const TMemberForm::TLayout addLayout = {
    QStringLiteral("添加成员属性"),
    {389, 331},
    {40, 40, 60, 13},   // Label1
    {40, 88, 60, 13},   // Label2
    {64, 132, 39, 13},  // Label3
    {216, 133, 105, 13}, // Label5
    {39, 244, 60, 13},  // Label4
    {120, 32, 209, 21}, // Edt_MemberName
    {120, 80, 209, 21}, // CB_MemberType
    {144, 166, 89, 33}, // CB_MemberIsMust
    {90, 286, 81, 25},  // Button1
    {210, 287, 81, 25}, // Button2
    {121, 238, 209, 21}, // Edt_MemberComment
    {246, 174, 121, 17}, // CB_QueryFlag
    {50, 169, 81, 25},  // CB_MemberIsPri
    {120, 128, 81, 21}, // Edt_MemberLength
    {50, 204, 129, 17}, // CB_MemberIsDisplay
    {192, 204, 137, 17}, // CB_MemberQueryDisplay
};
} // namespace

TAddMemberForm::TAddMemberForm(QWidget *parent, TUserInteraction &ui, int projectId, int classId)
    : TMemberForm(parent, ui, projectId, classId, addLayout, true)
{
    setObjectName(QStringLiteral("AddMemberForm"));
    CB_MemberQueryDisplay->setChecked(true);
}

void TAddMemberForm::FormCreate()
{
    Edt_MemberName->clear();
    FillTypeChoices();
    CB_MemberType->setCurrentIndex(0);
    ApplyTypeRules();
}

void TAddMemberForm::Save(const TMember &member)
{
    const TMemberDAO members;
    members.AddMember(member);
    // A new member comes last in its class, and no other member there has its name.
    for (const TMember &stored : members.GetMembers(member.classId())) {
        if (stored.memberName() == member.memberName())
            addedMemberId_ = stored.memberId();
    }
}

QString TAddMemberForm::SavedMessage() const
{
    return QStringLiteral("类成员属性添加成功!");
}
