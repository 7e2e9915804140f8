#include "FormAddClass.h"

#include "ClassFormLayout.h"
#include "FormCommon.h"
#include "MainForm.h"
#include "NameRules.h"
#include "UserInteraction.h"
#include "model/ClassDAO.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TAddClassForm::TAddClassForm(TFormMain *owner, int copyFromClassId)
    : TFormDialog(owner, copyFromClassId ? QStringLiteral("复制类") : QStringLiteral("添加类"), 269, 218),
      owner_(owner),
      copyFromClassId_(copyFromClassId)
{
    setObjectName(QStringLiteral("AddClassForm"));
    const TClassFormControls c = BuildClassFormControls(this, 22, 19);
    Label1 = c.label1;
    Label2 = c.label2;
    Edt_ClassName = c.className;
    Edt_FriendName = c.friendName;
    Button1 = c.button1;
    Button2 = c.button2;
    connect(Button1, &QPushButton::clicked, this, &TAddClassForm::Button1Click);
    if (copyFromClassId_) {
        // A starting point the user types over: the copy needs a name of its own.
        const TClassDAO classes;
        Edt_ClassName->setText(classes.GetClassName(copyFromClassId_) + QStringLiteral("Copy"));
        Edt_FriendName->setText(classes.GetFriendName(copyFromClassId_) + QStringLiteral("副本"));
        Edt_ClassName->selectAll();
    }
}

void TAddClassForm::Button1Click()
{
    TUserInteraction &ui = owner_->Interaction();
    RunCommand(ui, this, [&] {
        const QString className = Edt_ClassName->text();
        const QString friendName = Edt_FriendName->text();
        if (className.isEmpty()) {
            ui.message(this, QStringLiteral("类名称不能为空!"));
            return;
        }
        if (!NameRules::IsSafeFileName(className)) {
            ui.message(this, QStringLiteral("类名称不能包含路径或特殊字符!"));
            return;
        }
        if (friendName.isEmpty()) {
            ui.message(this, QStringLiteral("友好名称不能为空"));
            return;
        }
        if (!NameRules::StartsWithAsciiUpper(className)) {
            ui.message(this, QStringLiteral("类名首个字母必须大写"));
            return;
        }
        const int projectId = owner_->SelectedProjectId();
        const TClassDAO classes;
        if (classes.CountByName(projectId, className) > 0) {
            ui.message(this, QStringLiteral("该类名称已经存在!"));
            return;
        }
        if (const QString refusal = ClassRefusal(projectId, 0, className, friendName); !refusal.isEmpty()) {
            ui.message(this, refusal);
            return;
        }
        if (copyFromClassId_) {
            const int copyId = classes.CopyClass(projectId, copyFromClassId_, className, friendName);
            owner_->LoadClasses(projectId);
            owner_->SelectClassAndMember(copyId, 0);
            owner_->ShowSuccess(this, QStringLiteral("类复制成功!"));
            accept();
            return;
        }
        classes.AddClass(projectId, className, friendName);
        owner_->LoadClasses(projectId);
        owner_->ShowSuccess(this, QStringLiteral("类名称添加成功！"));
        accept();
    });
}
