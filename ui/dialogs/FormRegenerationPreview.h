#pragma once

#include "ui/dialogs/FormDialog.h"

#include "generator/record/Regeneration.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

// Before a project is generated again into its existing folder: every file with what the run
// will do to it (the files that change first; 只显示有变化的文件 hides the others), the changes of
// the selected file, and 生成 / 取消.
class TFormRegenerationPreview : public TFormDialog {
    Q_OBJECT
public:
    TFormRegenerationPreview(QWidget *parent, const QList<TPlannedFile> &plan,
                             const TRegenerationCounts &counts);

    QTreeWidget *Files() const { return files_; }
    QPlainTextEdit *Diff() const { return diff_; }
    QCheckBox *OnlyChanges() const { return onlyChanges_; }

private:
    void ShowDiff();

    QList<TPlannedFile> plan_;
    QLabel *summary_;
    QTreeWidget *files_;
    QCheckBox *onlyChanges_;
    QPlainTextEdit *diff_;
    QPushButton *generate_;
    QPushButton *cancel_;
};
