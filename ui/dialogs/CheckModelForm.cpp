#include "ui/dialogs/CheckModelForm.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

TCheckModelForm::TCheckModelForm(QWidget *parent, const TModelFindings &findings)
    : TFormDialog(parent, QStringLiteral("检查模型"), 640, 360), findings_(findings)
{
    setObjectName(QStringLiteral("CheckModelForm"));
    auto *layout = new QVBoxLayout(this);
    // A clean model gets its list too, so the check always ends in the same place.
    auto *label = new QLabel(findings.isEmpty()
                                 ? QStringLiteral("没有发现问题")
                                 : QStringLiteral("共发现%1个问题，双击一行可选中相应的类和成员:").arg(findings.size()),
                             this);
    label->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(label);
    LB_Findings = new QListWidget(this);
    LB_Findings->setObjectName(QStringLiteral("LB_Findings"));
    LB_Findings->setWordWrap(true);
    for (const TModelFinding &finding : findings)
        LB_Findings->addItem(finding.message);
    layout->addWidget(LB_Findings);
    // A double-click or Enter on a finding goes to it.
    connect(LB_Findings, &QListWidget::itemActivated, this, &TCheckModelForm::ItemDblClick);
}

void TCheckModelForm::ItemDblClick()
{
    const int row = LB_Findings->currentRow();
    if (row < 0 || row >= findings_.size())
        return;
    chosen_ = findings_.at(row);
    accept();
}
