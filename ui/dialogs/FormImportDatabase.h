#pragma once

#include "import/DatabaseImport.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

// 从数据库导入: where the database is, who reads it, the table prefix and the project's name.
// It only collects them; the caller reads the database once the dialog is accepted.
class TFormImportDatabase : public QDialog {
    Q_OBJECT
public:
    explicit TFormImportDatabase(QWidget *parent = nullptr);

    TDatabaseSource Source() const;
    // The database name when the field is left empty.
    QString ProjectName() const;

    QLineEdit *Edit_Database = nullptr;
    QRadioButton *RB_Socket = nullptr;
    QLineEdit *Edit_Socket = nullptr;
    QRadioButton *RB_Host = nullptr;
    QLineEdit *Edit_Host = nullptr;
    QSpinBox *Spin_Port = nullptr;
    QLineEdit *Edit_User = nullptr;
    QLineEdit *Edit_Password = nullptr;
    QLineEdit *Edit_Prefix = nullptr;
    QLineEdit *Edit_Project = nullptr;
    QCheckBox *CK_InPlace = nullptr;

private:
    void UpdateEnabled();
};
