#pragma once

#include "ui/dialogs/FormDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TUserInteraction;

// Adds a class to a project; given a class to copy, adds a class with a copy of its members
// (复制类), under the same rules. Accepted once the class is stored; the caller then reloads
// its lists and says so.
class TAddClassForm : public TFormDialog {
    Q_OBJECT
public:
    TAddClassForm(QWidget *parent, TUserInteraction &ui, int projectId, int copyFromClassId = 0);

    // The class stored by 确定; 0 before.
    int AddedClassId() const { return addedClassId_; }

public slots:
    void Button1Click();

private:
    TUserInteraction &ui_;
    int projectId_;
    int copyFromClassId_;
    int addedClassId_ = 0;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLineEdit *Edt_ClassName;
    QLineEdit *Edt_FriendName;
    QLineEdit *Edt_TableName;
    QCheckBox *Chk_ReadOnly;
    QPushButton *Button1;
    QPushButton *Button2;
};
