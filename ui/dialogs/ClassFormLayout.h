#pragma once

#include <QString>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;

// The controls both class dialogs share; only the labels' left edges differ. 确定 is the
// default button and 取消 cancels.
struct TClassFormControls {
    QLabel *label1;
    QLabel *label2;
    QLineEdit *className;
    QLineEdit *friendName;
    QPushButton *button1;
    QPushButton *button2;
};

TClassFormControls BuildClassFormControls(QDialog *dialog, int label1Left, int label2Left);
