#pragma once

#include "FormCommon.h"

class QPlainTextEdit;

// Shows the MySQL table-creation script of one project, ready to be copied.
class TDataBaseSqlForm : public TFormDialog {
    Q_OBJECT
public:
    explicit TDataBaseSqlForm(QWidget *parent);

    void SetProjectId(int projectId) { projectId_ = projectId; }
    void SetTablePrefix(const QString &prefix) { tablePrefix_ = prefix; }

    // Builds the script from the model and the template of programDir and shows it.
    // Throws TGenerationError (a model that has no script, a missing template) or TDbError;
    // the text area is then left as it was.
    void FormShow(const QString &programDir);

private:
    int projectId_ = 0;
    QString tablePrefix_;
    QPlainTextEdit *Memo_Sql;
};
