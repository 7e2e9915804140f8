#include "FormUpdateClass.h"

#include "ClassFormLayout.h"
#include "MainForm.h"
#include "NameRules.h"
#include "UserInteraction.h"
#include "model/ClassDAO.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TUpdateClassForm::TUpdateClassForm(TFormMain *owner)
    : TFormDialog(owner, QStringLiteral("类更新"), 271, 214), owner_(owner)
{
    setObjectName(QStringLiteral("UpdateClassForm"));
    const TClassFormControls c = BuildClassFormControls(this, 20, 15);
    Label1 = c.label1;
    Label2 = c.label2;
    Edt_ClassName = c.className;
    Edt_FriendName = c.friendName;
    Button1 = c.button1;
    Button2 = c.button2;
    connect(Button1, &QPushButton::clicked, this, &TUpdateClassForm::Button1Click);
}

void TUpdateClassForm::FormShow()
{
    Edt_FriendName->setText(TClassDAO().GetFriendName(CurrentClassId));
    Edt_ClassName->setText(owner_->SelectedClassText());
}

void TUpdateClassForm::Button1Click()
{
    TUserInteraction &ui = owner_->Interaction();
    RunCommand(ui, this, [&] {
        const QString className = Edt_ClassName->text();
        const QString friendName = Edt_FriendName->text();
        if (className.isEmpty()) {
            ui.message(this, QStringLiteral("类名称不能为空"));
            return;
        }
        if (!NameRules::IsSafeFileName(className)) {
            ui.message(this, QStringLiteral("类名称不能包含路径或特殊字符!"));
            return;
        }
        if (!NameRules::StartsWithAsciiUpper(className)) {
            ui.message(this, QStringLiteral("类名首个字母必须大写"));
            return;
        }
        if (friendName.isEmpty()) {
            ui.message(this, QStringLiteral("友好名称不能为空"));
            return;
        }
        // Two classes of one name would write one entity file over the other.
        if (const QString refusal = ClassRefusal(owner_->SelectedProjectId(), CurrentClassId, className, friendName);
            !refusal.isEmpty()) {
            ui.message(this, refusal);
            return;
        }
        TClassDAO().UpdateClass(owner_->SelectedProjectId(), CurrentClassId, className, friendName);
        owner_->SetSelectedClassText(className);
        owner_->ShowSuccess(this, QStringLiteral("类名称更新成功"));
        accept();
    });
}
