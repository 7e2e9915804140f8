#pragma once

#include "FormCommon.h"

class QLabel;
class QLineEdit;
class QPushButton;
class TFormMain;

// Adds a class to the project selected in the main window; given a class to copy, adds a
// class with a copy of its members (复制类), under the same rules.
class TAddClassForm : public TFormDialog {
    Q_OBJECT
public:
    explicit TAddClassForm(TFormMain *owner, int copyFromClassId = 0);

public slots:
    void Button1Click();

private:
    TFormMain *owner_;
    int copyFromClassId_;
    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *Edt_ClassName;
    QLineEdit *Edt_FriendName;
    QPushButton *Button1;
    QPushButton *Button2;
};
