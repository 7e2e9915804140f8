#pragma once

#include "generator/check/ModelChecker.h"
#include "ui/dialogs/FormDialog.h"

class QListWidget;

// Every finding of the model checker on a project, one a line, or that there is none.
// Double-clicking one (or Enter) chooses it and closes the list; the caller then goes to its
// class and member.
class TCheckModelForm : public TFormDialog {
    Q_OBJECT
public:
    TCheckModelForm(QWidget *parent, const TModelFindings &findings);

    // The finding chosen; empty when the list was closed without choosing one.
    std::optional<TModelFinding> Chosen() const { return chosen_; }

private:
    void ItemDblClick();

    TModelFindings findings_;
    std::optional<TModelFinding> chosen_;
    QListWidget *LB_Findings;
};
