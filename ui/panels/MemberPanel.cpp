#include "ui/panels/MemberPanel.h"

#include "model/MemberDAO.h"
#include "ui/CommandRun.h"
#include "ui/Feedback.h"
#include "ui/dialogs/FormAddMember.h"
#include "ui/dialogs/FormUpdateMember.h"
#include "ui/panels/ColumnFit.h"
#include "ui/panels/MemberTableModel.h"
#include "ui/panels/ProjectPanel.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace {
// 编号 carries the member id that the member commands read back; it is never shown.
// 注释 stretches over whatever width the table has left.
constexpr int idColumn = TMemberTableModel::Id;
constexpr int commentColumn = TMemberTableModel::Comment;
} // namespace

TMemberPanel::TMemberPanel(TFeedback &feedback, const TProjectPanel &projects, QWidget *parent)
    : QWidget(parent), feedback_(feedback), projects_(projects)
{
    setObjectName(QStringLiteral("MemberPanel"));
    M1 = AddCommand("M1", QStringLiteral("添加成员(&M)"), &TMemberPanel::M1Click);
    N3 = AddCommand("N3", QStringLiteral("修改成员属性(&E)"), &TMemberPanel::N3Click);
    C1 = AddCommand("C1", QStringLiteral("删除成员(&C)"), &TMemberPanel::C1Click);
    Up1 = AddCommand("Up1", QStringLiteral("上移成员(&U)"), &TMemberPanel::Up1Click);
    Up1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up));
    Down1 = AddCommand("Down1", QStringLiteral("下移成员(&N)"), &TMemberPanel::Down1Click);
    Down1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    LV_Member = new QTableView(this);
    members_ = new TMemberTableModel(LV_Member);
    LV_Member->setModel(members_);
    columnFit_ = std::make_unique<TColumnFit>(LV_Member);
    LV_Member->setObjectName(QStringLiteral("LV_Member"));
    LV_Member->setShowGrid(true);
    LV_Member->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LV_Member->setSelectionBehavior(QAbstractItemView::SelectRows);
    LV_Member->setSelectionMode(QAbstractItemView::SingleSelection);
    LV_Member->setWordWrap(false);
    LV_Member->verticalHeader()->hide();
    LV_Member->verticalHeader()->setDefaultSectionSize(LV_Member->fontMetrics().height() + 6);
    QHeaderView *header = LV_Member->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    // The comment takes whatever width the other columns leave (see FitColumns).
    for (int column = 0; column < TMemberTableModel::Count; ++column)
        LV_Member->setColumnWidth(column, TMemberTableModel::DefaultWidth(column));
    header->setSectionResizeMode(commentColumn, QHeaderView::Stretch);
    LV_Member->setColumnHidden(idColumn, true);
    LV_Member->viewport()->installEventFilter(this);
    LV_Member->installEventFilter(this);
    // The member commands at hand on the right mouse button.
    LV_Member->setContextMenuPolicy(Qt::ActionsContextMenu);
    LV_Member->addActions(Commands());
    layout->addWidget(LV_Member);
}

TMemberPanel::~TMemberPanel() = default;

QAction *TMemberPanel::AddCommand(const char *name, const QString &caption,
                                  void (TMemberPanel::*handler)())
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, handler);
    return action;
}

QList<QAction *> TMemberPanel::Commands() const
{
    return {M1, N3, C1, Up1, Down1};
}

bool TMemberPanel::Run(const std::function<void()> &command)
{
    return RunCommand(feedback_.Ui(), window(), command);
}

void TMemberPanel::LoadMembers(int classId)
{
    ShowMembers(TMemberDAO().GetMembers(classId));
}

void TMemberPanel::ShowMembers(QList<TMember> members)
{
    members_->SetMembers(std::move(members));
    FitColumns();
    emit MembersChanged();
}

void TMemberPanel::ClearMembers()
{
    members_->SetMembers({});
    emit MembersChanged();
}

void TMemberPanel::FitColumns()
{
    // As wide as the caption or the widest cell, never narrower than the column was drawn.
    for (int column = 1; column < commentColumn; ++column)
        columnFit_->Fit(column, TMemberTableModel::DefaultWidth(column));
}

int TMemberPanel::SelectedMemberId() const
{
    const QModelIndexList selected = LV_Member->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return -1;
    return members_->MemberId(selected.first().row());
}

void TMemberPanel::SelectMember(int memberId)
{
    LV_Member->clearSelection();
    const int row = memberId != 0 ? members_->RowOf(memberId) : -1;
    if (row == -1)
        return;
    LV_Member->selectRow(row);
    LV_Member->scrollTo(members_->index(row, idColumn));
}

// ---- commands ----

void TMemberPanel::M1Click()
{
    Run([this] {
        const int classId = projects_.SelectedClassId();
        if (classId == -1) {
            feedback_.Ui().message(window(), QStringLiteral("请先选择类对象"));
            return;
        }
        TAddMemberForm dialog(window(), feedback_.Ui(), projects_.SelectedProjectId(), classId);
        dialog.FormCreate();
        if (dialog.exec() != QDialog::Accepted)
            return;
        LoadMembers(classId);
        SelectMember(dialog.AddedMemberId());
        feedback_.Success(window(), dialog.SavedMessage());
    });
}

void TMemberPanel::N3Click()
{
    Run([this] {
        const int memberId = SelectedMemberId();
        if (memberId == -1) {
            feedback_.Ui().message(window(), QStringLiteral("请先选择一个成员"));
            return;
        }
        const int classId = projects_.SelectedClassId();
        TUpdateMemberForm dialog(window(), feedback_.Ui(), projects_.SelectedProjectId(), classId, memberId);
        if (!dialog.FormCreate() || dialog.exec() != QDialog::Accepted)
            return;
        LoadMembers(classId);
        feedback_.Success(window(), dialog.SavedMessage());
    });
}

void TMemberPanel::C1Click()
{
    Run([this] {
        const int memberId = SelectedMemberId();
        if (memberId == -1) {
            feedback_.Ui().message(window(), QStringLiteral("请先选择一个成员"));
            return;
        }
        if (!feedback_.Ui().confirm(window(), QStringLiteral("确定删除当前成员属性?"), QStringLiteral("删除提示")))
            return;
        TMemberDAO().DeleteMember(memberId);
        feedback_.Success(window(), QStringLiteral("成员属性删除成功"));
        const int classId = projects_.SelectedClassId();
        if (classId != -1)
            LoadMembers(classId);
    });
}

void TMemberPanel::Up1Click()
{
    MoveMember(-1);
}

void TMemberPanel::Down1Click()
{
    MoveMember(1);
}

void TMemberPanel::MoveMember(int steps)
{
    Run([this, steps] {
        const int memberId = SelectedMemberId();
        if (memberId == -1) {
            feedback_.Ui().message(window(), QStringLiteral("请先选择一个成员"));
            return;
        }
        // At the top or bottom already: nothing to do, and nothing worth a box.
        if (!TMemberDAO().MoveMember(memberId, steps))
            return;
        LoadMembers(projects_.SelectedClassId());
        SelectMember(memberId);
    });
}

void TMemberPanel::LV_MemberDblClick()
{
    if (projects_.SelectedClassId() != -1 && SelectedMemberId() == -1)
        M1Click();
    else
        N3Click();
}

// ---- keys and mouse ----

bool TMemberPanel::ListKey(const QKeyEvent *key)
{
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Delete:
        C1Click();
        return true;
    case Qt::Key_F2:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        LV_MemberDblClick(); // like a double-click: edit the row, or add to an empty table
        return true;
    case Qt::Key_Insert:
        M1Click();
        return true;
    default:
        return false;
    }
}

bool TMemberPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LV_Member)
        feedback_.FollowListFocus(event, QStringLiteral("成员列表: Insert 添加成员"));
    if (watched == LV_Member && event->type() == QEvent::KeyPress
        && ListKey(static_cast<QKeyEvent *>(event)))
        return true;
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if (watched == LV_Member->viewport() && (press || doubleClick)) {
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        const QModelIndex row = LV_Member->indexAt(at);
        // A click below the last row leaves no member selected.
        if (!row.isValid()) {
            LV_Member->clearSelection();
            LV_Member->setCurrentIndex(QModelIndex());
        }
        if (doubleClick) {
            if (row.isValid())
                LV_Member->selectRow(row.row());
            LV_MemberDblClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
