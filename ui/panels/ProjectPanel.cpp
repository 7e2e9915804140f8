#include "ui/panels/ProjectPanel.h"

#include "model/ClassDAO.h"
#include "model/IndexDAO.h"
#include "model/MemberDAO.h"
#include "model/ProjectDAO.h"
#include "model/StartLists.h"
#include "ui/CommandRun.h"
#include "ui/Feedback.h"
#include "ui/NameRules.h"
#include "ui/ProjectSettings.h"
#include "ui/dialogs/FormAddClass.h"
#include "ui/dialogs/FormUpdateClass.h"
#include "ui/dialogs/IndexListForm.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

// The class list keeps the class name beside the text it shows.
constexpr int classNameRole = Qt::UserRole + 1;

QString classEntryText(const QString &className, const QString &friendName)
{
    return friendName.isEmpty() ? className
                                : QStringLiteral("%1 (%2)").arg(className, friendName);
}

} // namespace

TProjectPanel::TProjectPanel(TFeedback &feedback, const QString &programDir, QWidget *parent)
    : QWidget(parent), feedback_(feedback), programDir_(programDir)
{
    setObjectName(QStringLiteral("ClassPanel"));
    F2 = AddCommand("F2", QStringLiteral("新建项目(&F)"), &TProjectPanel::F2Click);
    N1 = AddCommand("N1", QStringLiteral("修改项目名称(&X)"), &TProjectPanel::N1Click);
    D1 = AddCommand("D1", QStringLiteral("删除当前项目(&D)"), &TProjectPanel::D1Click);
    A2 = AddCommand("A2", QStringLiteral("添加类(&A)"), &TProjectPanel::A2Click);
    N2 = AddCommand("N2", QStringLiteral("修改类名(&B)"), &TProjectPanel::N2Click);
    S1 = AddCommand("S1", QStringLiteral("删除类(&S)"), &TProjectPanel::S1Click);
    Copy1 = AddCommand("Copy1", QStringLiteral("复制类(&Y)"), &TProjectPanel::Copy1Click);
    Index1 = AddCommand("Index1", QStringLiteral("编辑索引(&K)"), &TProjectPanel::Index1Click);
    N4 = AddCommand("N4", QStringLiteral("设置表名前缀(&P)"), &TProjectPanel::N4Click);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 2, 0, 0);
    layout->setSpacing(2);
    auto *projectRow = new QHBoxLayout;
    projectRow->setSpacing(0);
    Label1 = new QLabel(QStringLiteral("项目:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    CB_Project = new QComboBox(this);
    CB_Project->setObjectName(QStringLiteral("CB_Project"));
    CB_Project->setEditable(false);
    connect(CB_Project, &QComboBox::currentIndexChanged, this, &TProjectPanel::CB_ProjectChange);
    Label1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    CB_Project->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    CB_Project->setFixedWidth(121);
    projectRow->addWidget(Label1);
    projectRow->addWidget(CB_Project);
    projectRow->addStretch(1);
    layout->addLayout(projectRow);
    Label2 = new QLabel(QStringLiteral("该项目所有类如下:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    layout->addWidget(Label2);
    LB_Object = new QListWidget(this);
    LB_Object->setObjectName(QStringLiteral("LB_Object"));
    LB_Object->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(LB_Object, &QListWidget::itemSelectionChanged, this, &TProjectPanel::LB_ObjectClick);
    LB_Object->viewport()->installEventFilter(this);
    LB_Object->installEventFilter(this);
    layout->addWidget(LB_Object, 1);
    setTabOrder(CB_Project, LB_Object);

    // The class commands at hand on the right mouse button.
    LB_Object->setContextMenuPolicy(Qt::ActionsContextMenu);
    LB_Object->addActions({A2, N2, Copy1, Index1, S1});
}

QAction *TProjectPanel::AddCommand(const char *name, const QString &caption,
                                   void (TProjectPanel::*handler)())
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, handler);
    return action;
}

QList<QAction *> TProjectPanel::Commands() const
{
    return {F2, N1, D1, A2, N2, S1, Copy1, Index1};
}

bool TProjectPanel::Run(const std::function<void()> &command)
{
    return RunCommand(feedback_.Ui(), window(), command);
}

void TProjectPanel::ShowClass(int classId)
{
    if (showClass_)
        showClass_(classId);
}

// ---- the lists ----

void TProjectPanel::LoadProjects()
{
    const TProjectList projects = TProjectDAO().GetProjects();
    const int index = FillProjects(projects);
    if (index == -1)
        ShowClass(-1);
    else
        LoadClasses(projects.at(index).id);
}

void TProjectPanel::ShowStartLists(const TStartLists &lists)
{
    if (FillProjects(lists.projects) != -1)
        FillClasses(lists.projects.first().id, lists.classes, lists.friendNames);
}

int TProjectPanel::FillProjects(const TProjectList &projects)
{
    const QSignalBlocker quietProjects(CB_Project);
    const QSignalBlocker quietClasses(LB_Object);
    CB_Project->clear();
    for (const TListEntry &project : projects)
        CB_Project->addItem(project.name, project.id);
    LB_Object->clear();
    if (projects.isEmpty()) {
        CB_Project->setCurrentIndex(-1);
        return -1;
    }
    int index = selectedProjectIndex_ == -1 ? 0 : selectedProjectIndex_;
    if (index >= projects.size())
        index = 0;
    CB_Project->setCurrentIndex(index);
    return index;
}

void TProjectPanel::LoadClasses(int projectId)
{
    const TClassList classes = TClassDAO().GetClasses(projectId);
    FillClasses(projectId, classes, TClassDAO().GetFriendNames(projectId));
    // A project without classes shows no members: rows left from another class would feed
    // the member commands an id that does not belong here.
    ShowClass(classes.isEmpty() ? -1 : classes.first().id);
}

void TProjectPanel::FillClasses(int projectId, const TClassList &classes,
                                const QHash<int, QString> &friendNames)
{
    // Each project keeps its own table prefix.
    tablePrefix_ = TProjectSettings(programDir_).TablePrefix(projectId);
    const QSignalBlocker quiet(LB_Object);
    LB_Object->clear();
    for (const TListEntry &entry : classes) {
        auto *item = new QListWidgetItem(classEntryText(entry.name, friendNames.value(entry.id)), LB_Object);
        item->setToolTip(item->text()); // the whole name, however narrow the list
        item->setData(Qt::UserRole, entry.id);
        item->setData(classNameRole, entry.name);
    }
    if (!classes.isEmpty())
        LB_Object->setCurrentRow(0);
}

int TProjectPanel::SelectedProjectId() const
{
    const int index = CB_Project->currentIndex();
    return index < 0 ? -1 : CB_Project->itemData(index).toInt();
}

QString TProjectPanel::SelectedProjectName() const
{
    return CB_Project->currentText();
}

int TProjectPanel::SelectedClassId() const
{
    const QListWidgetItem *item = LB_Object->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : -1;
}

QString TProjectPanel::SelectedClassText() const
{
    const QListWidgetItem *item = LB_Object->currentItem();
    return item && item->isSelected() ? item->data(classNameRole).toString() : QString();
}

void TProjectPanel::SetSelectedClassText(const QString &text)
{
    QListWidgetItem *item = LB_Object->currentItem();
    if (!item || !item->isSelected())
        return;
    item->setData(classNameRole, text);
    item->setText(classEntryText(text, TClassDAO().GetFriendName(item->data(Qt::UserRole).toInt())));
    // Members of other classes that referred to the old name now carry the new one.
    emit ShownClassChanged();
}

bool TProjectPanel::SelectClass(int classId)
{
    for (int row = 0; row < LB_Object->count(); ++row) {
        QListWidgetItem *item = LB_Object->item(row);
        if (item->data(Qt::UserRole).toInt() != classId)
            continue;
        LB_Object->setCurrentItem(item);
        item->setSelected(true);
        return true;
    }
    return false;
}

// ---- projects ----

void TProjectPanel::F2Click()
{
    Run([this] {
        TUserInteraction &ui = feedback_.Ui();
        const QString name = ui.input(window(), QStringLiteral("请输入工程名称"), QString(), QString());
        if (name.isEmpty()) {
            ui.message(window(), QStringLiteral("工程名称不能为空!"));
            return;
        }
        if (!NameRules::IsSafeFileName(name)) {
            ui.message(window(), QStringLiteral("工程名称不能包含路径或特殊字符!"));
            return;
        }
        const TProjectDAO projects;
        if (projects.CountByName(name) > 0) {
            ui.message(window(), QStringLiteral("该工程名称已经存在!"));
            return;
        }
        projects.AddProject(name);
        LoadProjects();
        feedback_.Success(window(), QStringLiteral("工程名称添加成功！"));
    });
}

void TProjectPanel::N1Click()
{
    Run([this] {
        TUserInteraction &ui = feedback_.Ui();
        const int projectId = SelectedProjectId();
        if (projectId == -1) {
            ui.message(window(), QStringLiteral("当前未有任何项目被选中!"));
            return;
        }
        const QString name = ui.input(window(), QStringLiteral("请输入项目名称"), QString(), QString());
        if (name.isEmpty()) {
            ui.message(window(), QStringLiteral("工程项目名称不能为空!"));
            return;
        }
        if (!NameRules::IsSafeFileName(name)) {
            ui.message(window(), QStringLiteral("工程名称不能包含路径或特殊字符!"));
            return;
        }
        TProjectDAO().RenameProject(projectId, name);
        selectedProjectIndex_ = CB_Project->currentIndex();
        feedback_.Success(window(), QStringLiteral("工程名称修改成功！"));
        LoadProjects();
    });
}

void TProjectPanel::D1Click()
{
    Run([this] {
        TUserInteraction &ui = feedback_.Ui();
        const int projectId = SelectedProjectId();
        if (projectId == -1) {
            ui.message(window(), QStringLiteral("未有任何项目被选中!"));
            return;
        }
        if (!ui.confirm(window(), QStringLiteral("确认删除当前项目吗?"), QStringLiteral("删除提示")))
            return;
        TProjectDAO().DeleteProject(projectId);
        selectedProjectIndex_ = -1;
        feedback_.Success(window(), QStringLiteral("删除成功!"));
        LoadProjects();
    });
}

void TProjectPanel::N4Click()
{
    Run([this] {
        TUserInteraction &ui = feedback_.Ui();
        const QString prefix = ui.input(window(), QStringLiteral("表前缀输入框"),
                                        QStringLiteral("请输入一个表名前缀如:           "), tablePrefix_);
        if (prefix.isEmpty()) {
            ui.message(window(), QStringLiteral("前缀输入不能为空!"));
            return;
        }
        if (const QString refusal = NameRules::PrefixRefusal(prefix); !refusal.isEmpty()) {
            ui.message(window(), refusal);
            return;
        }
        const int projectId = SelectedProjectId();
        if (projectId != -1)
            TProjectSettings(programDir_).SetTablePrefix(projectId, prefix);
        tablePrefix_ = prefix;
        emit ShownClassChanged();
    });
}

// ---- classes ----

void TProjectPanel::A2Click()
{
    Run([this] {
        const int projectId = SelectedProjectId();
        if (projectId == -1) {
            feedback_.Ui().message(window(), QStringLiteral("当前未有任何项目被选中!"));
            return;
        }
        AddClass(projectId, 0, QStringLiteral("类名称添加成功！"));
    });
}

void TProjectPanel::Index1Click()
{
    Run([this] {
        const int classId = SelectedClassId();
        if (classId == -1) {
            feedback_.Ui().message(window(), QStringLiteral("没有类被选中!"));
            return;
        }
        QStringList memberNames;
        for (const TMember &member : TMemberDAO().GetMembers(classId))
            memberNames << member.memberName();
        TIndexListForm dialog(window(), feedback_.Ui(), memberNames, TIndexDAO().GetIndexes(classId));
        if (dialog.exec() != QDialog::Accepted)
            return;
        TIndexDAO().SetIndexes(SelectedProjectId(), classId, dialog.Indexes());
        feedback_.Success(window(), QStringLiteral("索引保存成功!"));
    });
}

void TProjectPanel::Copy1Click()
{
    Run([this] {
        const int classId = SelectedClassId();
        if (classId == -1) {
            feedback_.Ui().message(window(), QStringLiteral("没有类被选中!"));
            return;
        }
        AddClass(SelectedProjectId(), classId, QStringLiteral("类复制成功!"));
    });
}

void TProjectPanel::AddClass(int projectId, int copyFromClassId, const QString &saved)
{
    TAddClassForm dialog(window(), feedback_.Ui(), projectId, copyFromClassId);
    if (dialog.exec() != QDialog::Accepted)
        return;
    LoadClasses(projectId);
    // The new class is where the user's work goes on.
    SelectClass(dialog.AddedClassId());
    feedback_.Success(window(), saved);
}

void TProjectPanel::N2Click()
{
    Run([this] {
        const int classId = SelectedClassId();
        if (classId == -1) {
            feedback_.Ui().message(window(), QStringLiteral("没有类被选中!"));
            return;
        }
        TUpdateClassForm dialog(window(), feedback_.Ui(), SelectedProjectId(), classId, SelectedClassText());
        dialog.FormShow();
        if (dialog.exec() != QDialog::Accepted)
            return;
        SetSelectedClassText(dialog.ClassName());
        feedback_.Success(window(), QStringLiteral("类名称更新成功"));
    });
}

void TProjectPanel::S1Click()
{
    Run([this] {
        const int classId = SelectedClassId();
        if (classId == -1) {
            feedback_.Ui().message(window(), QStringLiteral("没有类被选中!"));
            return;
        }
        // Members of other classes that refer to this one would be left naming nothing.
        QStringList referrers;
        const QString className = SelectedClassText();
        const TClassList classes = TClassDAO().GetClasses(SelectedProjectId());
        for (const TMember &member : TMemberDAO().GetProjectMembers(SelectedProjectId())) {
            if (member.memberType() != className || member.classId() == classId)
                continue;
            for (const TListEntry &entry : classes) {
                if (entry.id == member.classId())
                    referrers.append(entry.name + QLatin1Char('.') + member.memberName());
            }
        }
        const QString warning = referrers.isEmpty()
            ? QString()
            : QStringLiteral("以下成员引用了该类: %1\n").arg(referrers.join(QStringLiteral(", ")));
        if (!feedback_.Ui().confirm(window(), warning + QStringLiteral("确认删除此类对象！"), QStringLiteral("提示")))
            return;
        TClassDAO().DeleteClass(classId);
        {
            const QSignalBlocker quiet(LB_Object);
            delete LB_Object->takeItem(LB_Object->currentRow());
            LB_Object->clearSelection();
            LB_Object->setCurrentRow(-1);
        }
        // The deleted class's members are gone; so are their rows.
        ShowClass(-1);
        feedback_.Success(window(), QStringLiteral("类对象删除成功!"));
    });
}

// ---- events ----

void TProjectPanel::CB_ProjectChange()
{
    ShowClass(-1);
    const int projectId = SelectedProjectId();
    if (projectId != -1)
        Run([this, projectId] { LoadClasses(projectId); });
}

void TProjectPanel::LB_ObjectClick()
{
    const int classId = SelectedClassId();
    if (classId == -1)
        ShowClass(-1);
    else
        Run([this, classId] { ShowClass(classId); });
}

void TProjectPanel::LB_ObjectDblClick()
{
    N2Click();
}

bool TProjectPanel::ListKey(const QKeyEvent *key)
{
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Delete:
        S1Click();
        return true;
    case Qt::Key_F2:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        N2Click();
        return true;
    case Qt::Key_Insert:
        A2Click();
        return true;
    default:
        return false;
    }
}

bool TProjectPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LB_Object)
        feedback_.FollowListFocus(event, QStringLiteral("类列表: Insert 添加类"));
    if (watched == LB_Object && event->type() == QEvent::KeyPress
        && ListKey(static_cast<QKeyEvent *>(event)))
        return true;
    if (watched == LB_Object->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        LB_ObjectDblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
