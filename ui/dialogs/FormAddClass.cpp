#include "ui/dialogs/FormAddClass.h"

#include "model/ClassDAO.h"
#include "ui/CommandRun.h"
#include "ui/NameRules.h"
#include "ui/UserInteraction.h"
#include "ui/dialogs/ClassFormLayout.h"
#include "ui/dialogs/ClassRules.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TAddClassForm::TAddClassForm(QWidget *parent, TUserInteraction &ui, int projectId, int copyFromClassId)
    : TFormDialog(parent, copyFromClassId ? QStringLiteral("复制类") : QStringLiteral("添加类"), 269, 282),
      ui_(ui),
      projectId_(projectId),
      copyFromClassId_(copyFromClassId)
{
    setObjectName(QStringLiteral("AddClassForm"));
    const TClassFormControls c = BuildClassFormControls(this, 22, 19);
    Label1 = c.label1;
    Label2 = c.label2;
    Label3 = c.label3;
    Edt_ClassName = c.className;
    Edt_FriendName = c.friendName;
    Edt_TableName = c.tableName;
    Chk_ReadOnly = c.readOnly;
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
    RunCommand(ui_, this, [&] {
        const QString className = Edt_ClassName->text();
        const QString friendName = Edt_FriendName->text();
        if (className.isEmpty()) {
            ui_.message(this, QStringLiteral("类名称不能为空!"));
            return;
        }
        if (!NameRules::IsSafeFileName(className)) {
            ui_.message(this, QStringLiteral("类名称不能包含路径或特殊字符!"));
            return;
        }
        if (friendName.isEmpty()) {
            ui_.message(this, QStringLiteral("友好名称不能为空"));
            return;
        }
        if (!NameRules::StartsWithAsciiUpper(className)) {
            ui_.message(this, QStringLiteral("类名首个字母必须大写"));
            return;
        }
        const TClassDAO classes;
        if (classes.CountByName(projectId_, className) > 0) {
            ui_.message(this, QStringLiteral("该类名称已经存在!"));
            return;
        }
        if (const QString refusal = ClassRules::Refusal(projectId_, 0, className, friendName);
            !refusal.isEmpty()) {
            ui_.message(this, refusal);
            return;
        }
        if (const QString refusal = ClassTableNameRefusal(Edt_TableName->text()); !refusal.isEmpty()) {
            ui_.message(this, refusal);
            return;
        }
        // A copy keeps the source's composite-key mark: its key members come with it.
        const TClassTable table{Edt_TableName->text(), Chk_ReadOnly->isChecked(),
                                copyFromClassId_ && classes.GetCompositeKey(copyFromClassId_)};
        if (copyFromClassId_) {
            addedClassId_ = classes.CopyClass(projectId_, copyFromClassId_, className, friendName);
            classes.SetClassTable(addedClassId_, table);
        } else {
            classes.AddClass(projectId_, className, friendName, table);
            addedClassId_ = classes.GetClassId(projectId_, className);
        }
        accept();
    });
}
