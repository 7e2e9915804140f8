#pragma once

#include "FormCommon.h"
#include "generator/check/ModelChecker.h"

class QListWidget;
class TFormMain;

// Every finding of the model checker on the selected project, one a line. Double-clicking
// one selects its class and member in the main window and closes the list.
class TCheckModelForm : public TFormDialog {
    Q_OBJECT
public:
    TCheckModelForm(TFormMain *owner, const TModelFindings &findings);

private:
    void ItemDblClick();

    TFormMain *owner_;
    TModelFindings findings_;
    QListWidget *LB_Findings;
};
