#pragma once

#include "FormCommon.h"

class QLabel;
class QLineEdit;
class QPushButton;
class TFormMain;

// Changes the name and friendly name of the class selected in the main window.
class TUpdateClassForm : public TFormDialog {
    Q_OBJECT
public:
    explicit TUpdateClassForm(TFormMain *owner);

    // The class being edited; set before FormShow.
    int CurrentClassId = -1;

    // Fills the fields: the friendly name from the database, the class name from the main
    // window's class list. Throws TDbError.
    void FormShow();

public slots:
    void Button1Click();

private:
    TFormMain *owner_;
    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *Edt_ClassName;
    QLineEdit *Edt_FriendName;
    QPushButton *Button1;
    QPushButton *Button2;
};
