#include "ui/dialogs/FormRegenerationPreview.h"

#include "generator/output/GenerationError.h"
#include "generator/record/Merge.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// What each action means for the user, under the list.
QString explanation(const TPlannedFile &file)
{
    switch (file.action) {
    case TFileAction::Written:
        return QStringLiteral("新文件，将写入:");
    case TFileAction::Updated:
        return QStringLiteral("未被修改过，将更新为新生成的代码:");
    case TFileAction::Unchanged:
        return QStringLiteral("与新生成的代码相同，没有变化。");
    case TFileAction::Kept:
        return QStringLiteral("你修改过这个文件，新生成的代码与上次相同，保留你的修改。");
    case TFileAction::Merged:
        return QStringLiteral("你修改过这个文件，新生成的代码将合并到你的修改中:");
    case TFileAction::Conflict:
        return QStringLiteral("你修改过这个文件，合并有冲突: 文件保持不变，带冲突标记的合并结果写入 %1:")
            .arg(file.besidePath);
    case TFileAction::Beside:
        return QStringLiteral("这个文件不是上次生成的内容: 文件保持不变，新生成的代码写入 %1:")
            .arg(file.besidePath);
    case TFileAction::Orphaned:
        return QStringLiteral("所属的类已不在模型中，文件保留，不会删除。");
    }
    return QString();
}

// Whether the run leaves the file as it is.
bool unchanged(TFileAction action)
{
    return action == TFileAction::Unchanged || action == TFileAction::Kept;
}

} // namespace

TFormRegenerationPreview::TFormRegenerationPreview(QWidget *parent, const QList<TPlannedFile> &plan,
                                                   const TRegenerationCounts &counts)
    : TFormDialog(parent, QStringLiteral("再次生成预览"), 760, 540), plan_(plan)
{
    setObjectName(QStringLiteral("FormRegenerationPreview"));
    auto *layout = new QVBoxLayout(this);

    summary_ = new QLabel(QStringLiteral("输出文件夹已存在，你修改过的文件不会被覆盖。") + counts.Summary(), this);
    summary_->setObjectName(QStringLiteral("Label_Summary"));
    summary_->setWordWrap(true);
    layout->addWidget(summary_);

    files_ = new QTreeWidget(this);
    files_->setObjectName(QStringLiteral("TV_Files"));
    files_->setRootIsDecorated(false);
    files_->setHeaderLabels({QStringLiteral("状态"), QStringLiteral("文件")});
    files_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    // The files that change first, each part in the plan's order.
    for (const bool changing : {true, false}) {
        for (int i = 0; i < plan_.size(); ++i) {
            if (unchanged(plan_.at(i).action) != changing) {
                auto *item = new QTreeWidgetItem(files_, {FileActionLabel(plan_.at(i).action), plan_.at(i).path});
                item->setData(0, Qt::UserRole, i);
            }
        }
    }
    layout->addWidget(files_, 2);
    onlyChanges_ = new QCheckBox(QStringLiteral("只显示有变化的文件"), this);
    onlyChanges_->setObjectName(QStringLiteral("CK_OnlyChanges"));
    layout->addWidget(onlyChanges_);
    connect(onlyChanges_, &QCheckBox::toggled, this, [this](bool only) {
        for (int row = 0; row < files_->topLevelItemCount(); ++row) {
            QTreeWidgetItem *item = files_->topLevelItem(row);
            item->setHidden(only && unchanged(plan_.at(item->data(0, Qt::UserRole).toInt()).action));
        }
    });

    diff_ = new QPlainTextEdit(this);
    diff_->setObjectName(QStringLiteral("Memo_Diff"));
    diff_->setReadOnly(true);
    diff_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(FormFont().pixelSize() > 0 ? FormFont().pixelSize() : 12);
    diff_->setFont(fixed);
    diff_->setTabStopDistance(QFontMetricsF(fixed).horizontalAdvance(QLatin1Char(' ')) * 4);
    layout->addWidget(diff_, 3);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    generate_ = new QPushButton(QStringLiteral("生成"), this);
    generate_->setObjectName(QStringLiteral("Btn_Generate"));
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("Btn_Cancel"));
    buttons->addWidget(generate_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    connect(generate_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(files_, &QTreeWidget::currentItemChanged, this, &TFormRegenerationPreview::ShowDiff);
    // The files that need the user's eye first.
    int first = 0;
    for (int row = 0; row < files_->topLevelItemCount(); ++row) {
        if (plan_.at(files_->topLevelItem(row)->data(0, Qt::UserRole).toInt()).action == TFileAction::Conflict) {
            first = row;
            break;
        }
    }
    if (!plan_.isEmpty())
        files_->setCurrentItem(files_->topLevelItem(first));
}

void TFormRegenerationPreview::ShowDiff()
{
    const QTreeWidgetItem *item = files_->currentItem();
    const int row = item ? item->data(0, Qt::UserRole).toInt() : -1;
    if (row < 0 || row >= plan_.size()) {
        diff_->clear();
        return;
    }
    const TPlannedFile &file = plan_.at(row);
    QString text = explanation(file);
    if (!file.result.isEmpty()) {
        const QString target = file.besidePath.isEmpty() ? file.path : file.besidePath;
        try {
            QString diff = TMerge::UnifiedDiff(file.onDisk, file.result, file.path, target);
            diff.remove(QLatin1Char('\r'));
            text += QLatin1Char('\n') + diff;
        } catch (const TGenerationError &error) {
            text += QLatin1Char('\n') + error.message();
        }
    }
    diff_->setPlainText(text);
}
