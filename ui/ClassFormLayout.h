#pragma once

#include <QString>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;

// The controls both class dialogs share; only the labels' left edges differ.
struct TClassFormControls {
    QLabel *label1;
    QLabel *label2;
    QLineEdit *className;
    QLineEdit *friendName;
    QPushButton *button1;
};

TClassFormControls BuildClassFormControls(QDialog *dialog, int label1Left, int label2Left);
