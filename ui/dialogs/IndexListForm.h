#pragma once

#include "model/ClassIndex.h"
#include "ui/dialogs/FormDialog.h"

#include <QStringList>

class QTableWidget;
class TUserInteraction;

// The indexes of one class: a row each, with its name, its members in order (names separated
// by commas) and whether it is unique. Given the class's member names and its indexes; once
// accepted, Indexes() is what the user settled on. Saving is the caller's.
class TIndexListForm : public TFormDialog {
    Q_OBJECT
public:
    TIndexListForm(QWidget *parent, TUserInteraction &ui, const QStringList &memberNames,
                   const TClassIndexes &indexes);

    TClassIndexes Indexes() const { return indexes_; }

public slots:
    void AddClick();
    void RemoveClick();
    void OkClick();

private:
    void AddRow(const TClassIndex &index);
    // The rows as indexes, or the first problem found (and the row's cell is selected).
    QString Read(TClassIndexes *indexes);

    TUserInteraction &ui_;
    QStringList memberNames_;
    QTableWidget *Grid_Indexes;
    TClassIndexes indexes_;
};
