#pragma once

#include "ui/dialogs/FormDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TUserInteraction;

// Shows the MySQL table-creation script of one project, ready to be copied (复制) or saved
// (保存为…, asking for the file through ui and offering fileName).
class TDataBaseSqlForm : public TFormDialog {
    Q_OBJECT
public:
    TDataBaseSqlForm(QWidget *parent, TUserInteraction &ui, const QString &fileName);

    void SetProjectId(int projectId) { projectId_ = projectId; }
    void SetTablePrefix(const QString &prefix) { tablePrefix_ = prefix; }

    // Builds the script from the model and the template of programDir and shows it, closed by
    // the model version it brings a database to (by the generation record in outputDir).
    // Throws TGenerationError (a model that has no script, a missing template) or TDbError;
    // the text area is then left as it was.
    void FormShow(const QString &programDir, const QString &outputDir);

    // Shows the database upgrade script instead: from a version of the generation record in
    // outputDir to the current model, under the table prefix. The version is chosen in a list
    // above the text (at first the newest whose tables differ from the model's), or read from
    // the database given below it (按数据库中的版本, the password asked through ui); a box
    // writes the DROP statements of removed classes and members as statements. Throws as
    // FormShow does, and TGenerationError when the project has no generation record.
    void FormShowUpgrade(const QString &programDir, const QString &outputDir);

    QLineEdit *Edit_DbName = nullptr;
    QLineEdit *Edit_DbHost = nullptr;
    QLineEdit *Edit_DbPort = nullptr;
    QLineEdit *Edit_DbUser = nullptr;
    QPushButton *Btn_FromDb = nullptr;

public slots:
    void CopyClick();
    // Connects to the database given, finds the version it holds and starts from it; the
    // finding (and, for a matched version, its differences) is shown.
    void FromDbClick();
    // Writes the script as shown, UTF-8 behind a byte-order mark with CR LF line ends, like
    // every file the program writes.
    void SaveClick();

private:
    void ShowUpgrade();
    void AddConnectionRow();

    TUserInteraction &ui_;
    QString fileName_;
    int projectId_ = 0;
    QString tablePrefix_;
    QString programDir_;
    QString outputDir_;
    // The project's stored connection, when it lives on an existing database: its socket is
    // used while the host stays the stored one.
    QString storedHost_;
    QString storedSocket_;
    QPlainTextEdit *Memo_Sql;
    QPushButton *Btn_Copy;
    QPushButton *Btn_Save;
    QComboBox *CB_Version = nullptr;
    QCheckBox *CK_Destructive = nullptr;
};
