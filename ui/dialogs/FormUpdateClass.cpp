#include "ui/dialogs/FormUpdateClass.h"

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

TUpdateClassForm::TUpdateClassForm(QWidget *parent, TUserInteraction &ui, int projectId, int classId,
                                   const QString &className)
    : TFormDialog(parent, QStringLiteral("类更新"), 271, 278),
      CurrentClassId(classId),
      ui_(ui),
      projectId_(projectId),
      listedName_(className)
{
    setObjectName(QStringLiteral("UpdateClassForm"));
    const TClassFormControls c = BuildClassFormControls(this, 20, 15);
    Label1 = c.label1;
    Label2 = c.label2;
    Label3 = c.label3;
    Edt_ClassName = c.className;
    Edt_FriendName = c.friendName;
    Edt_TableName = c.tableName;
    Chk_ReadOnly = c.readOnly;
    Button1 = c.button1;
    Button2 = c.button2;
    Chk_CompositeKey = new QCheckBox(QStringLiteral("复合主键"), this);
    Chk_CompositeKey->setObjectName(QStringLiteral("Chk_CompositeKey"));
    Chk_CompositeKey->setToolTip(QStringLiteral("勾选后可以把多个成员设为主键，共同确定一条记录；"
                                                "主键是两个引用时，这个类把两个类的记录关联起来(多对多)"));
    // Under the friendly name, in the gap above the table name.
    Chk_CompositeKey->move(112, 116);
    Chk_CompositeKey->adjustSize();
    setTabOrder(Edt_FriendName, Chk_CompositeKey);
    setTabOrder(Chk_CompositeKey, Edt_TableName);
    connect(Button1, &QPushButton::clicked, this, &TUpdateClassForm::Button1Click);
}

void TUpdateClassForm::FormShow()
{
    const TClassDAO classes;
    Edt_FriendName->setText(classes.GetFriendName(CurrentClassId));
    Edt_TableName->setText(classes.GetTableName(CurrentClassId));
    Chk_ReadOnly->setChecked(classes.IsReadOnly(CurrentClassId));
    Edt_ClassName->setText(listedName_);
    Chk_CompositeKey->setChecked(classes.GetCompositeKey(CurrentClassId));
}

QString TUpdateClassForm::ClassName() const
{
    return Edt_ClassName->text();
}

void TUpdateClassForm::Button1Click()
{
    RunCommand(ui_, this, [&] {
        const QString className = Edt_ClassName->text();
        const QString friendName = Edt_FriendName->text();
        if (className.isEmpty()) {
            ui_.message(this, QStringLiteral("类名称不能为空"));
            return;
        }
        if (!NameRules::IsSafeFileName(className)) {
            ui_.message(this, QStringLiteral("类名称不能包含路径或特殊字符!"));
            return;
        }
        if (!NameRules::StartsWithAsciiUpper(className)) {
            ui_.message(this, QStringLiteral("类名首个字母必须大写"));
            return;
        }
        if (friendName.isEmpty()) {
            ui_.message(this, QStringLiteral("友好名称不能为空"));
            return;
        }
        // Two classes of one name would write one entity file over the other.
        if (const QString refusal = ClassRules::Refusal(projectId_, CurrentClassId, className, friendName);
            !refusal.isEmpty()) {
            ui_.message(this, refusal);
            return;
        }
        if (const QString refusal = ClassTableNameRefusal(Edt_TableName->text()); !refusal.isEmpty()) {
            ui_.message(this, refusal);
            return;
        }
        const TClassDAO classes;
        classes.UpdateClass(projectId_, CurrentClassId, className, friendName,
                            {Edt_TableName->text(), Chk_ReadOnly->isChecked(), Chk_CompositeKey->isChecked()});
        accept();
    });
}
