#pragma once

#include "FormCommon.h"

class QLabel;
class QLineEdit;
class QPushButton;
class TFormMain;

// Adds a class to the project selected in the main window.
class TAddClassForm : public TFormDialog {
    Q_OBJECT
public:
    explicit TAddClassForm(TFormMain *owner);

public slots:
    void Button1Click();

private:
    TFormMain *owner_;
    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *Edt_ClassName;
    QLineEdit *Edt_FriendName;
    QPushButton *Button1;
};
