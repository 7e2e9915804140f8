#pragma once

#include "ui/dialogs/FormDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TUserInteraction;

// Changes the name and friendly name of a class, and whether its key members together are its
// key. Accepted once the change is stored; the
// caller then shows the new name.
class TUpdateClassForm : public TFormDialog {
    Q_OBJECT
public:
    // className is the name as the class list shows it, offered for editing.
    TUpdateClassForm(QWidget *parent, TUserInteraction &ui, int projectId, int classId,
                     const QString &className);

    // The class being edited.
    const int CurrentClassId;

    // Fills the fields: the friendly name from the database, the class name as given.
    // Throws TDbError.
    void FormShow();
    // The class name as stored by 确定.
    QString ClassName() const;

public slots:
    void Button1Click();

private:
    TUserInteraction &ui_;
    int projectId_;
    QString listedName_;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLineEdit *Edt_ClassName;
    QLineEdit *Edt_FriendName;
    QLineEdit *Edt_TableName;
    QCheckBox *Chk_ReadOnly;
    QPushButton *Button1;
    QPushButton *Button2;
    QCheckBox *Chk_CompositeKey;
};
