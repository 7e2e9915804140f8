#pragma once

#include <QString>

class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;

// The controls both class dialogs share; only the labels' left edges differ. 确定 is the
// default button and 取消 cancels. The table name left empty is the prefix and the class name,
// which its placeholder follows.
struct TClassFormControls {
    QLabel *label1;
    QLabel *label2;
    QLabel *label3;
    QLineEdit *className;
    QLineEdit *friendName;
    QLineEdit *tableName;
    QCheckBox *readOnly;
    QPushButton *button1;
    QPushButton *button2;
};

TClassFormControls BuildClassFormControls(QDialog *dialog, int label1Left, int label2Left);

// The own table name as typed, and why it cannot be one (empty when it can).
QString ClassTableNameRefusal(const QString &tableName);
