#pragma once

#include "ui/dialogs/FormDialog.h"

class QCheckBox;
class QComboBox;
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

    // Builds the script from the model and the template of programDir and shows it.
    // Throws TGenerationError (a model that has no script, a missing template) or TDbError;
    // the text area is then left as it was.
    void FormShow(const QString &programDir);

    // Shows the database upgrade script instead: from a version of the generation record in
    // outputDir to the current model, under the table prefix. The version is chosen in a list
    // above the text (the newest at first), and a box writes the DROP statements of removed
    // classes and members as statements. Throws as FormShow does, and TGenerationError when
    // the project has no generation record.
    void FormShowUpgrade(const QString &programDir, const QString &outputDir);

public slots:
    void CopyClick();
    // Writes the script as shown, UTF-8 behind a byte-order mark with CR LF line ends, like
    // every file the program writes.
    void SaveClick();

private:
    void ShowUpgrade();

    TUserInteraction &ui_;
    QString fileName_;
    int projectId_ = 0;
    QString tablePrefix_;
    QString programDir_;
    QString outputDir_;
    QPlainTextEdit *Memo_Sql;
    QPushButton *Btn_Copy;
    QPushButton *Btn_Save;
    QComboBox *CB_Version = nullptr;
    QCheckBox *CK_Destructive = nullptr;
};
