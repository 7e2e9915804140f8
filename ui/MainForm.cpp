#include "MainForm.h"

#include "Artwork.h"
#include "ArtworkSizes.h"
#include "CheckModelForm.h"
#include "CodePreview.h"
#include "ColumnFit.h"
#include "DataBaseSqlForm.h"
#include "FormAddClass.h"
#include "FormAddMember.h"
#include "FormCommon.h"
#include "FormUpdateClass.h"
#include "FormUpdateMember.h"
#include "MemberTableModel.h"
#include "ModelTransferMenu.h"
#include "NameRules.h"
#include "ProjectSettings.h"
#include "UserInteraction.h"
#include "generator/run/AutoCode.h"
#include "generator/check/ModelChecker.h"
#include "generator/check/ProjectModel.h"
#include "generator/record/ReadSnapshot.h"
#include "generator/run/GenerationTarget.h"
#include "model/ClassDAO.h"
#include "model/MemberDAO.h"
#include "model/ProjectDAO.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {

const QString caption = QStringLiteral("VelmoraPHP基于MVC三层模式代码生成器2.0版");

// 编号 carries the member id that the member commands read back; it is never shown.
// 注释 stretches over whatever width the table has left.
constexpr int idColumn = TMemberTableModel::Id;
constexpr int commentColumn = TMemberTableModel::Comment;
// The class list keeps the class name beside the text it shows.
constexpr int classNameRole = Qt::UserRole + 1;

// The default client area; the window can grow from here and shrink a little.
const QSize defaultClient(770, 547);
const QSize smallestClient(600, 420);
constexpr int logHeight = 152;
constexpr int classColumnWidth = 161;

QString classEntryText(const QString &className, const QString &friendName)
{
    return friendName.isEmpty() ? className
                                : QStringLiteral("%1 (%2)").arg(className, friendName);
}

} // namespace

TFormMain::TFormMain(TUserInteraction &ui, const QString &programDir, QWidget *parent,
                     TListLoading loading)
    : QMainWindow(parent),
      ui_(ui),
      programDir_(QDir(programDir).absolutePath())
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(caption);
    setWindowIcon(Artwork::WindowIcon());
    setFont(FormFont());
    BuildMenus();
    BuildControls();
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);
    resize(defaultClient.width(),
           defaultClient.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    move(243, 185);
    RestoreWindowState();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, &TFormMain::Timer1Timer);
    Timer1->start();

    if (loading == TListLoading::AfterFirstPaint)
        listsPending_ = true;
    else
        Run([this] { LoadProjects(); });
}

TFormMain::~TFormMain()
{
    StopRunAndWait();
}

void TFormMain::BuildMenus()
{
    QMenu *projectMenu = menuBar()->addMenu(QStringLiteral("项目操作(&P)"));
    projectMenu->setObjectName(QStringLiteral("F1"));
    AddCommand(projectMenu, "F2", QStringLiteral("新建项目(&F)"), &TFormMain::F2Click);
    AddCommand(projectMenu, "N1", QStringLiteral("修改项目名称(&X)"), &TFormMain::N1Click);
    AddCommand(projectMenu, "D1", QStringLiteral("删除当前项目(&D)"), &TFormMain::D1Click);
    AddCommand(projectMenu, "A2", QStringLiteral("添加类(&A)"), &TFormMain::A2Click);
    AddCommand(projectMenu, "N2", QStringLiteral("修改类名(&B)"), &TFormMain::N2Click);
    AddCommand(projectMenu, "S1", QStringLiteral("删除类(&S)"), &TFormMain::S1Click);
    AddCommand(projectMenu, "Copy1", QStringLiteral("复制类(&Y)"), &TFormMain::Copy1Click);
    AddCommand(projectMenu, "M1", QStringLiteral("添加成员(&M)"), &TFormMain::M1Click);
    AddCommand(projectMenu, "N3", QStringLiteral("修改成员属性(&E)"), &TFormMain::N3Click);
    AddCommand(projectMenu, "C1", QStringLiteral("删除成员(&C)"), &TFormMain::C1Click);
    AddCommand(projectMenu, "Up1", QStringLiteral("上移成员(&U)"), &TFormMain::Up1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up));
    AddCommand(projectMenu, "Down1", QStringLiteral("下移成员(&N)"), &TFormMain::Down1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down));
    new TModelTransferMenu(projectMenu, this, ui_, [this] { return SelectedProjectId(); },
                           [this] { LoadProjects(); });

    QMenu *codeMenu = menuBar()->addMenu(QStringLiteral("代码管理(&A)"));
    codeMenu->setObjectName(QStringLiteral("P1"));
    AddCommand(codeMenu, "N4", QStringLiteral("设置表名前缀(&P)"), &TFormMain::N4Click);
    AddCommand(codeMenu, "sql1", QStringLiteral("生成建表sql语句(&Q)"), &TFormMain::sql1Click);
    AddCommand(codeMenu, "upgrade1", QStringLiteral("生成数据库升级脚本(&U)"), &TFormMain::upgrade1Click);
    AddCommand(codeMenu, "A1", QStringLiteral("生成项目代码(&M)"), &TFormMain::A1Click);
    AddCommand(codeMenu, "Check1", QStringLiteral("检查模型(&C)"), &TFormMain::Check1Click);
    Success1 = AddCommand(codeMenu, "Success1", QStringLiteral("显示操作成功提示(&S)"),
                          &TFormMain::Success1Click);
    Success1->setCheckable(true);
    Success1->setChecked(TProjectSettings(programDir_).ShowSuccessMessages());
    Preview1 = AddCommand(codeMenu, "Preview1", QStringLiteral("显示代码预览(&V)"),
                          &TFormMain::Preview1Click);
    Preview1->setCheckable(true);
    Preview1->setShortcut(QKeySequence(Qt::Key_F9));
}

QAction *TFormMain::AddCommand(QMenu *menu, const char *name, const QString &caption,
                               void (TFormMain::*handler)())
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void TFormMain::BuildControls()
{
    auto *client = new QWidget(this);
    client->setMinimumSize(smallestClient);
    setCentralWidget(client);
    auto *clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);

    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedHeight(89);
    Image1->setMinimumWidth(1);
    Image1->setPixmap(Artwork::ShippedBanner(Artwork::bannerSize, devicePixelRatioF()));
    Image1->setScaledContents(true);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip(QStringLiteral("打开使用帮助"));
    Image1->installEventFilter(this);
    clientLayout->addWidget(Image1);

    GroupBox1 = new QGroupBox(QStringLiteral("项目操作区"), client);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    clientLayout->addWidget(GroupBox1, 1);
    // The work area fills the group box below its caption (see PlaceWorkArea).
    GroupBox1->installEventFilter(this);

    // Work area above, log below; classes, members and code preview side by side. The user
    // moves the dividers; the window remembers them.
    SP_Main = new QSplitter(Qt::Vertical, GroupBox1);
    SP_Main->setObjectName(QStringLiteral("SP_Main"));
    SP_Main->setChildrenCollapsible(false);
    SP_Main->setHandleWidth(1);
    SP_Work = new QSplitter(Qt::Horizontal, SP_Main);
    SP_Work->setObjectName(QStringLiteral("SP_Work"));
    SP_Work->setHandleWidth(4);

    auto *classPanel = new QWidget(SP_Work);
    classPanel->setObjectName(QStringLiteral("ClassPanel"));
    auto *classLayout = new QVBoxLayout(classPanel);
    classLayout->setContentsMargins(8, 2, 0, 0);
    classLayout->setSpacing(2);
    auto *projectRow = new QHBoxLayout;
    projectRow->setSpacing(0);
    Label1 = new QLabel(QStringLiteral("项目:"), classPanel);
    Label1->setObjectName(QStringLiteral("Label1"));
    CB_Project = new QComboBox(classPanel);
    CB_Project->setObjectName(QStringLiteral("CB_Project"));
    CB_Project->setEditable(false);
    connect(CB_Project, &QComboBox::currentIndexChanged, this, &TFormMain::CB_ProjectChange);
    Label1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    CB_Project->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    CB_Project->setFixedWidth(121);
    projectRow->addWidget(Label1);
    projectRow->addWidget(CB_Project);
    projectRow->addStretch(1);
    classLayout->addLayout(projectRow);
    Label2 = new QLabel(QStringLiteral("该项目所有类如下:"), classPanel);
    Label2->setObjectName(QStringLiteral("Label2"));
    classLayout->addWidget(Label2);
    LB_Object = new QListWidget(classPanel);
    LB_Object->setObjectName(QStringLiteral("LB_Object"));
    LB_Object->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(LB_Object, &QListWidget::itemSelectionChanged, this, &TFormMain::LB_ObjectClick);
    LB_Object->viewport()->installEventFilter(this);
    LB_Object->installEventFilter(this);
    classLayout->addWidget(LB_Object, 1);

    LV_Member = new QTableView(SP_Work);
    members_ = new TMemberTableModel(LV_Member);
    LV_Member->setModel(members_);
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
    // The member and class commands at hand on the right mouse button.
    LV_Member->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (const char *name : {"M1", "N3", "C1", "Up1", "Down1"})
        LV_Member->addAction(findChild<QAction *>(QLatin1String(name)));
    LB_Object->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (const char *name : {"A2", "N2", "Copy1", "S1"})
        LB_Object->addAction(findChild<QAction *>(QLatin1String(name)));

    Preview = new TCodePreview(SP_Work);

    SP_Work->addWidget(classPanel);
    SP_Work->addWidget(LV_Member);
    SP_Work->addWidget(Preview);
    SP_Work->setCollapsible(0, false);
    SP_Work->setCollapsible(1, false);
    SP_Work->setStretchFactor(0, 0);
    SP_Work->setStretchFactor(1, 1);
    SP_Work->setStretchFactor(2, 1);
    // The preview starts folded away, so the window opens as it always has (sizes set once
    // the window has its default size, in FitSplitters).
    connect(SP_Work, &QSplitter::splitterMoved, this, [this] {
        const bool shown = SP_Work->sizes().value(2) > 0;
        Preview1->setChecked(shown);
        if (shown)
            Preview->Refresh();
    });

    GroupBox2 = new QGroupBox(QStringLiteral("生成进度"), SP_Main);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto *logLayout = new QVBoxLayout(GroupBox2);
    logLayout->setContentsMargins(6, 4, 6, 6);
    Memo_State = new QPlainTextEdit(GroupBox2);
    Memo_State->setObjectName(QStringLiteral("Memo_State"));
    Memo_State->setReadOnly(true);
    Memo_State->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette silver = Memo_State->palette();
    silver.setColor(QPalette::Base, QColor(0xc0, 0xc0, 0xc0));
    silver.setColor(QPalette::Text, Qt::black);
    Memo_State->setPalette(silver);
    logLayout->addWidget(Memo_State);

    SP_Main->addWidget(SP_Work);
    SP_Main->addWidget(GroupBox2);
    SP_Main->setStretchFactor(0, 2);
    SP_Main->setStretchFactor(1, 1);

    setTabOrder(CB_Project, LB_Object);
    setTabOrder(LB_Object, LV_Member);
    setTabOrder(LV_Member, Preview);
    setTabOrder(Preview, Memo_State);
}

void TFormMain::PlaceWorkArea()
{
    constexpr int captionHeight = 16;
    SP_Main->setGeometry(0, captionHeight, GroupBox1->width(), GroupBox1->height() - captionHeight);
}

void TFormMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (splittersPlaced_)
        return;
    // The dividers go where the controls always stood, once the window has its size; a
    // layout the user left is put back instead.
    splittersPlaced_ = true;
    PlaceWorkArea();
    FitSplitters();
    const TProjectSettings settings(programDir_);
    const QByteArray main = settings.WindowState(QStringLiteral("mainSplitter"));
    if (!main.isEmpty())
        SP_Main->restoreState(main);
    const QByteArray work = settings.WindowState(QStringLiteral("workSplitter"));
    if (!work.isEmpty())
        SP_Work->restoreState(work);
    Preview1->setChecked(SP_Work->sizes().value(2) > 0);
}

void TFormMain::paintEvent(QPaintEvent *event)
{
    QMainWindow::paintEvent(event);
    if (!listsPending_)
        return;
    listsPending_ = false;
    // Queued: the rest of the window finishes its first paint before the lists are read.
    QMetaObject::invokeMethod(this, [this] { Run([this] { LoadProjects(); }); },
                              Qt::QueuedConnection);
}

void TFormMain::FitSplitters()
{
    const int height = SP_Main->height() - SP_Main->handleWidth();
    SP_Main->setSizes({height - logHeight, logHeight});
    const int width = SP_Work->width() - 2 * SP_Work->handleWidth();
    SP_Work->setSizes({classColumnWidth, width - classColumnWidth, 0});
}

void TFormMain::FitColumns()
{
    // As wide as the caption or the widest cell, never narrower than the column was drawn.
    for (int column = 1; column < commentColumn; ++column)
        FitColumnToContents(LV_Member, column, TMemberTableModel::DefaultWidth(column));
}

void TFormMain::RestoreWindowState()
{
    const TProjectSettings settings(programDir_);
    const QByteArray geometry = settings.WindowState(QStringLiteral("geometry"));
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void TFormMain::SaveWindowState() const
{
    if (!splittersPlaced_)
        return;
    const TProjectSettings settings(programDir_);
    settings.SetWindowState(QStringLiteral("geometry"), saveGeometry());
    settings.SetWindowState(QStringLiteral("mainSplitter"), SP_Main->saveState());
    settings.SetWindowState(QStringLiteral("workSplitter"), SP_Work->saveState());
}

bool TFormMain::Run(const std::function<void()> &command)
{
    return RunCommand(ui_, this, command);
}

QUrl TFormMain::HomePage() const
{
    return QUrl::fromLocalFile(programDir_ + QStringLiteral("/doc/index.html"));
}

// ---- the lists ----

void TFormMain::LoadProjects()
{
    const TProjectList projects = TProjectDAO().GetProjects();
    {
        const QSignalBlocker quiet(CB_Project);
        CB_Project->clear();
        for (const TListEntry &project : projects)
            CB_Project->addItem(project.name, project.id);
        CB_Project->setCurrentIndex(-1);
    }
    {
        const QSignalBlocker quiet(LB_Object);
        LB_Object->clear();
    }
    if (projects.isEmpty()) {
        ClearMembers();
        return;
    }
    int index = selectedProjectIndex_ == -1 ? 0 : selectedProjectIndex_;
    if (index >= projects.size())
        index = 0;
    {
        const QSignalBlocker quiet(CB_Project);
        CB_Project->setCurrentIndex(index);
    }
    LoadClasses(projects.at(index).id);
}

void TFormMain::LoadClasses(int projectId)
{
    // Each project keeps its own table prefix.
    tablePrefix_ = TProjectSettings(programDir_).TablePrefix(projectId);
    const TClassList classes = TClassDAO().GetClasses(projectId);
    {
        const QSignalBlocker quiet(LB_Object);
        LB_Object->clear();
        const QHash<int, QString> friendNames = TClassDAO().GetFriendNames(projectId);
        for (const TListEntry &entry : classes) {
            auto *item = new QListWidgetItem(classEntryText(entry.name, friendNames.value(entry.id)),
                                             LB_Object);
            item->setData(Qt::UserRole, entry.id);
            item->setData(classNameRole, entry.name);
        }
        if (!classes.isEmpty())
            LB_Object->setCurrentRow(0);
    }
    // A project without classes shows no members: rows left from another class would feed
    // the member commands an id that does not belong here.
    if (classes.isEmpty())
        ClearMembers();
    else
        LoadMembers(classes.first().id);
}

void TFormMain::LoadMembers(int classId)
{
    members_->SetMembers(TMemberDAO().GetMembers(classId));
    FitColumns();
    RefreshPreview();
}

void TFormMain::ClearMembers()
{
    members_->SetMembers({});
    RefreshPreview();
}

void TFormMain::RefreshPreview()
{
    const int projectId = SelectedProjectId();
    Preview->ShowClass(projectId == -1 ? 0 : projectId, SelectedClassId(), tablePrefix_);
}

int TFormMain::SelectedProjectId() const
{
    const int index = CB_Project->currentIndex();
    return index < 0 ? -1 : CB_Project->itemData(index).toInt();
}

int TFormMain::SelectedClassId() const
{
    const QListWidgetItem *item = LB_Object->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : -1;
}

QString TFormMain::SelectedClassText() const
{
    const QListWidgetItem *item = LB_Object->currentItem();
    return item && item->isSelected() ? item->data(classNameRole).toString() : QString();
}

void TFormMain::SetSelectedClassText(const QString &text)
{
    QListWidgetItem *item = LB_Object->currentItem();
    if (!item || !item->isSelected())
        return;
    item->setData(classNameRole, text);
    item->setText(classEntryText(text, TClassDAO().GetFriendName(item->data(Qt::UserRole).toInt())));
    // Members of other classes that referred to the old name now carry the new one.
    RefreshPreview();
}

void TFormMain::SelectClassAndMember(int classId, int memberId)
{
    for (int row = 0; row < LB_Object->count(); ++row) {
        QListWidgetItem *item = LB_Object->item(row);
        if (item->data(Qt::UserRole).toInt() != classId)
            continue;
        LB_Object->setCurrentItem(item);
        item->setSelected(true);
        LV_Member->clearSelection();
        const int member = memberId != 0 ? members_->RowOf(memberId) : -1;
        if (member != -1) {
            LV_Member->selectRow(member);
            LV_Member->scrollTo(members_->index(member, idColumn));
        }
        return;
    }
}

int TFormMain::SelectedMemberId() const
{
    const QModelIndexList selected = LV_Member->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return -1;
    return members_->MemberId(selected.first().row());
}

// ---- 项目操作 ----

void TFormMain::F2Click()
{
    Run([this] {
        const QString name = ui_.input(this, QStringLiteral("请输入工程名称"), QString(), QString());
        if (name.isEmpty()) {
            ui_.message(this, QStringLiteral("工程名称不能为空!"));
            return;
        }
        if (!NameRules::IsSafeFileName(name)) {
            ui_.message(this, QStringLiteral("工程名称不能包含路径或特殊字符!"));
            return;
        }
        const TProjectDAO projects;
        if (projects.CountByName(name) > 0) {
            ui_.message(this, QStringLiteral("该工程名称已经存在!"));
            return;
        }
        projects.AddProject(name);
        LoadProjects();
        ShowSuccess(this, QStringLiteral("工程名称添加成功！"));
    });
}

void TFormMain::N1Click()
{
    Run([this] {
        const int projectId = SelectedProjectId();
        if (projectId == -1) {
            ui_.message(this, QStringLiteral("当前未有任何项目被选中!"));
            return;
        }
        const QString name = ui_.input(this, QStringLiteral("请输入项目名称"), QString(), QString());
        if (name.isEmpty()) {
            ui_.message(this, QStringLiteral("工程项目名称不能为空!"));
            return;
        }
        if (!NameRules::IsSafeFileName(name)) {
            ui_.message(this, QStringLiteral("工程名称不能包含路径或特殊字符!"));
            return;
        }
        TProjectDAO().RenameProject(projectId, name);
        selectedProjectIndex_ = CB_Project->currentIndex();
        ShowSuccess(this, QStringLiteral("工程名称修改成功！"));
        LoadProjects();
    });
}

void TFormMain::D1Click()
{
    Run([this] {
        const int projectId = SelectedProjectId();
        if (projectId == -1) {
            ui_.message(this, QStringLiteral("未有任何项目被选中!"));
            return;
        }
        if (!ui_.confirm(this, QStringLiteral("确认删除当前项目吗?"), QStringLiteral("删除提示")))
            return;
        TProjectDAO().DeleteProject(projectId);
        selectedProjectIndex_ = -1;
        ShowSuccess(this, QStringLiteral("删除成功!"));
        LoadProjects();
    });
}

void TFormMain::A2Click()
{
    Run([this] {
        if (SelectedProjectId() == -1) {
            ui_.message(this, QStringLiteral("当前未有任何项目被选中!"));
            return;
        }
        TAddClassForm dialog(this);
        dialog.exec();
    });
}

void TFormMain::N2Click()
{
    Run([this] {
        const int classId = SelectedClassId();
        if (classId == -1) {
            ui_.message(this, QStringLiteral("没有类被选中!"));
            return;
        }
        TUpdateClassForm dialog(this);
        dialog.CurrentClassId = classId;
        dialog.FormShow();
        dialog.exec();
    });
}

void TFormMain::S1Click()
{
    Run([this] {
        const int classId = SelectedClassId();
        if (classId == -1) {
            ui_.message(this, QStringLiteral("没有类被选中!"));
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
        if (!ui_.confirm(this, warning + QStringLiteral("确认删除此类对象！"), QStringLiteral("提示")))
            return;
        TClassDAO().DeleteClass(classId);
        {
            const QSignalBlocker quiet(LB_Object);
            delete LB_Object->takeItem(LB_Object->currentRow());
            LB_Object->clearSelection();
            LB_Object->setCurrentRow(-1);
        }
        // The deleted class's members are gone; so are their rows.
        ClearMembers();
        ShowSuccess(this, QStringLiteral("类对象删除成功!"));
    });
}

void TFormMain::M1Click()
{
    Run([this] {
        if (SelectedClassId() == -1) {
            ui_.message(this, QStringLiteral("请先选择类对象"));
            return;
        }
        TAddMemberForm dialog(this);
        dialog.FormCreate();
        dialog.exec();
    });
}

void TFormMain::N3Click()
{
    Run([this] {
        const int memberId = SelectedMemberId();
        if (memberId == -1) {
            ui_.message(this, QStringLiteral("请先选择一个成员"));
            return;
        }
        TUpdateMemberForm dialog(this, memberId);
        if (dialog.FormCreate())
            dialog.exec();
    });
}

void TFormMain::C1Click()
{
    Run([this] {
        const int memberId = SelectedMemberId();
        if (memberId == -1) {
            ui_.message(this, QStringLiteral("请先选择一个成员"));
            return;
        }
        if (!ui_.confirm(this, QStringLiteral("确定删除当前成员属性?"), QStringLiteral("删除提示")))
            return;
        TMemberDAO().DeleteMember(memberId);
        ShowSuccess(this, QStringLiteral("成员属性删除成功"));
        const int classId = SelectedClassId();
        if (classId != -1)
            LoadMembers(classId);
    });
}

void TFormMain::Copy1Click()
{
    Run([this] {
        const int classId = SelectedClassId();
        if (classId == -1) {
            ui_.message(this, QStringLiteral("没有类被选中!"));
            return;
        }
        TAddClassForm dialog(this, classId);
        dialog.exec();
    });
}

void TFormMain::Up1Click()
{
    MoveMember(-1);
}

void TFormMain::Down1Click()
{
    MoveMember(1);
}

void TFormMain::MoveMember(int steps)
{
    Run([this, steps] {
        const int memberId = SelectedMemberId();
        if (memberId == -1) {
            ui_.message(this, QStringLiteral("请先选择一个成员"));
            return;
        }
        // At the top or bottom already: nothing to do, and nothing worth a box.
        if (!TMemberDAO().MoveMember(memberId, steps))
            return;
        const int classId = SelectedClassId();
        LoadMembers(classId);
        SelectClassAndMember(classId, memberId);
    });
}

// ---- 代码管理 ----

void TFormMain::N4Click()
{
    Run([this] {
        const QString prefix = ui_.input(this, QStringLiteral("表前缀输入框"),
                                         QStringLiteral("请输入一个表名前缀如:           "),
                                         tablePrefix_);
        if (prefix.isEmpty()) {
            ui_.message(this, QStringLiteral("前缀输入不能为空!"));
            return;
        }
        if (const QString refusal = NameRules::PrefixRefusal(prefix); !refusal.isEmpty()) {
            ui_.message(this, refusal);
            return;
        }
        const int projectId = SelectedProjectId();
        if (projectId != -1)
            TProjectSettings(programDir_).SetTablePrefix(projectId, prefix);
        tablePrefix_ = prefix;
        RefreshPreview();
    });
}

void TFormMain::sql1Click()
{
    Run([this] {
        const int projectId = SelectedProjectId();
        if (projectId == -1) {
            ui_.message(this, QStringLiteral("当前未有任何项目被选中!"));
            return;
        }
        TDataBaseSqlForm form(this);
        form.SetProjectId(projectId);
        form.SetTablePrefix(tablePrefix_);
        // A model without a script, or a missing template, stops here with its message.
        form.FormShow(programDir_);
        form.exec();
    });
}

void TFormMain::upgrade1Click()
{
    Run([this] {
        const int projectId = SelectedProjectId();
        if (projectId == -1) {
            ui_.message(this, QStringLiteral("当前未有任何项目被选中!"));
            return;
        }
        TGenerationTarget target;
        target.outputRoot = programDir_;
        target.projectName = CB_Project->currentText();
        TDataBaseSqlForm form(this);
        form.SetProjectId(projectId);
        // The prefix the next generation writes into the code, which the database must follow.
        form.SetTablePrefix(tablePrefix_);
        // No generation record, a refused model or a missing template stops here with its message.
        form.FormShowUpgrade(programDir_, target.OutputDir());
        form.exec();
    });
}

void TFormMain::A1Click()
{
    Run([this] {
        if (IsGenerating()) {
            ui_.message(this, QStringLiteral("代码正在生成中，请等待当前任务完成!"));
            return;
        }
        const int projectId = SelectedProjectId();
        if (projectId == -1) {
            ui_.message(this, QStringLiteral("没有一个工程被选中！"));
            return;
        }
        const QString projectName = CB_Project->currentText();
        // Into a folder that is already there, the user first sees what would happen to each
        // file; the decisions are made off this thread.
        const bool preview = QFileInfo::exists(programDir_ + QStringLiteral("/projects/") + projectName);
        if (!preview)
            Memo_State->clear();
        StartGeneration(projectId, projectName, preview);
    });
}

void TFormMain::Check1Click()
{
    Run([this] {
        const int projectId = SelectedProjectId();
        if (projectId == -1) {
            ui_.message(this, QStringLiteral("当前未有任何项目被选中!"));
            return;
        }
        const TProjectModel model = [projectId] {
            const TReadSnapshot snapshot;
            return TProjectModel::Load(projectId);
        }();
        const TModelFindings findings =
            TModelChecker::Check(model, CB_Project->currentText(), tablePrefix_);
        if (findings.isEmpty()) {
            ShowSuccess(this, QStringLiteral("模型检查通过，没有发现问题。"), TMessageKind::Information,
                        QStringLiteral("检查模型"));
            return;
        }
        TCheckModelForm form(this, findings);
        form.exec();
    });
}

void TFormMain::Success1Click()
{
    Run([this] {
        // Undone when the choice cannot be kept, so the tick shows what the next start does.
        const bool show = Success1->isChecked();
        try {
            TProjectSettings(programDir_).SetShowSuccessMessages(show);
        } catch (...) {
            Success1->setChecked(!show);
            throw;
        }
    });
}

void TFormMain::Preview1Click()
{
    QList<int> sizes = SP_Work->sizes();
    const int room = sizes.value(1) + sizes.value(2);
    if (Preview1->isChecked()) {
        sizes[1] = room / 2;
        sizes[2] = room - room / 2;
    } else {
        sizes[1] = room;
        sizes[2] = 0;
    }
    SP_Work->setSizes(sizes);
    if (Preview1->isChecked())
        Preview->Refresh();
}

bool TFormMain::ShowsSuccessMessages() const
{
    return Success1->isChecked();
}

void TFormMain::ShowSuccess(QWidget *parent, const QString &text, TMessageKind kind,
                            const QString &caption)
{
    if (ShowsSuccessMessages())
        ui_.message(parent, text, kind, caption);
    else
        statusBar()->showMessage(text, 15000);
}

// ---- other events ----

void TFormMain::CB_ProjectChange()
{
    ClearMembers();
    const int projectId = SelectedProjectId();
    if (projectId != -1)
        Run([this, projectId] { LoadClasses(projectId); });
}

void TFormMain::LB_ObjectClick()
{
    const int classId = SelectedClassId();
    if (classId == -1)
        ClearMembers();
    else
        Run([this, classId] { LoadMembers(classId); });
}

void TFormMain::LB_ObjectDblClick()
{
    N2Click();
}

void TFormMain::LV_MemberDblClick()
{
    if (SelectedClassId() != -1 && SelectedMemberId() == -1)
        M1Click();
    else
        N3Click();
}

void TFormMain::Image1Click()
{
    OpenHomePage(false);
}

void TFormMain::Timer1Timer()
{
    Timer1->stop();
    OpenHomePage(true);
}

void TFormMain::OpenHomePage(bool quietWhenMissing)
{
    const QString page = HomePage().toLocalFile();
    if (!QFileInfo::exists(page)) {
        if (!quietWhenMissing)
            ui_.message(this, QStringLiteral("找不到帮助页面: %1").arg(QDir::toNativeSeparators(page)),
                        TMessageKind::Error);
        return;
    }
    if (!ui_.open(HomePage()) && !quietWhenMissing)
        ui_.message(this, QStringLiteral("无法打开帮助页面: %1").arg(QDir::toNativeSeparators(page)),
                    TMessageKind::Error);
}

bool TFormMain::ListKey(QObject *watched, const QKeyEvent *key)
{
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    const bool edit = key->key() == Qt::Key_F2 || key->key() == Qt::Key_Return
        || key->key() == Qt::Key_Enter;
    if (watched == LB_Object) {
        if (key->key() == Qt::Key_Delete)
            S1Click();
        else if (edit)
            N2Click();
        else if (key->key() == Qt::Key_Insert)
            A2Click();
        else
            return false;
        return true;
    }
    if (watched == LV_Member) {
        if (key->key() == Qt::Key_Delete)
            C1Click();
        else if (edit)
            LV_MemberDblClick(); // like a double-click: edit the row, or add to an empty table
        else if (key->key() == Qt::Key_Insert)
            M1Click();
        else
            return false;
        return true;
    }
    return false;
}

bool TFormMain::eventFilter(QObject *watched, QEvent *event)
{
    // Events reach the filter while the controls are still being built.
    if (!LV_Member || !Preview)
        return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress && ListKey(watched, static_cast<QKeyEvent *>(event)))
        return true;
    if (watched == GroupBox1 && event->type() == QEvent::Resize)
        PlaceWorkArea();
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && Image1->rect().contains(mouse->position().toPoint()))
            Image1Click();
        return false;
    }
    if (watched == LB_Object->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        LB_ObjectDblClick();
        return true;
    }
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
    return QMainWindow::eventFilter(watched, event);
}

// ---- the generation run ----

void TFormMain::StartGeneration(int projectId, const QString &projectName, bool preview)
{
    auto *run = new TAutoCode(projectId, projectName, tablePrefix_, programDir_);
    run->SetDryRun(preview);
    connect(run, &TAutoCode::FilesPlaced, this, &TFormMain::OnFilesPlaced,
            Qt::BlockingQueuedConnection);
    // Blocking: the run waits until each line and notice has been handled here, so the log
    // holds the lines in order and a check's message is seen before the run goes on.
    connect(run, &TAutoCode::Progress, this, &TFormMain::AppendProgress,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::KeyMemberError, this, &TFormMain::OnKeyMemberError,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::DisplayMemberError, this, &TFormMain::OnDisplayMemberError,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::ModelError, this, &TFormMain::OnModelError,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::FurtherModelFindings, this, &TFormMain::OnFurtherModelFindings,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::GenerationFailed, this, &TFormMain::OnGenerationFailed,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::GenerationDone, this, &TFormMain::OnGenerationDone,
            Qt::BlockingQueuedConnection);
    connect(run, &QThread::finished, this, &TFormMain::OnRunFinished, Qt::QueuedConnection);
    run_ = run;
    runProjectName_ = projectName;
    runProjectId_ = projectId;
    runIsPreview_ = preview;
    previewReady_ = false;
    summary_.clear();
    run->start();
}

void TFormMain::AppendProgress(const QString &line)
{
    Memo_State->appendPlainText(line);
}

void TFormMain::Notify(const QString &text, TMessageKind kind)
{
    // Once the user has asked to close, the run's last words go to the log only.
    if (closeAfterRun_)
        AppendProgress(text);
    else
        ui_.message(this, text, kind);
}

void TFormMain::OnKeyMemberError(int classId)
{
    errorClassId_ = classId;
    Run([this] {
        Notify(TClassDAO().GetClassName(errorClassId_)
                   + QStringLiteral("表主键设置错误，每个类只能设置一个主键!"),
               TMessageKind::Plain);
    });
}

void TFormMain::OnDisplayMemberError(int classId)
{
    errorClassId_ = classId;
    Run([this] {
        Notify(TClassDAO().GetClassName(errorClassId_)
                   + QStringLiteral("表显示成员设置错误，每个类有且只能设置一个显示成员!"),
               TMessageKind::Plain);
    });
}

void TFormMain::OnModelError(const QString &message)
{
    Notify(message, TMessageKind::Plain);
}

void TFormMain::OnFurtherModelFindings(const QStringList &messages)
{
    // The first finding had its box; the others go to the log, where they can all be read.
    AppendProgress(QStringLiteral("模型检查还发现以下问题 (代码管理 → 检查模型 可逐个定位):"));
    for (const QString &message : messages)
        AppendProgress(message);
}

void TFormMain::OnGenerationFailed(const QString &reason)
{
    Notify(QStringLiteral("代码生成失败: ") + reason, TMessageKind::Error);
}

void TFormMain::OnFilesPlaced()
{
    // The run waits here, so its lists can be taken as they are.
    if (!run_)
        return;
    if (runIsPreview_) {
        preview_ = run_->Plan();
        previewCounts_ = run_->Counts();
        previewReady_ = true;
    } else {
        summary_ = run_->Counts().Summary();
    }
}

void TFormMain::OnGenerationDone()
{
    if (closeAfterRun_ || runIsPreview_)
        return;
    QString text = QStringLiteral("所有代码生成完毕!");
    if (!summary_.isEmpty())
        text += QLatin1Char('\n') + summary_;
    ShowSuccess(this, text, TMessageKind::Information, QStringLiteral("任务提示"));
    const QString folder = programDir_ + QStringLiteral("/projects/") + runProjectName_;
    if (!ui_.open(QUrl::fromLocalFile(folder)))
        ui_.message(this, QStringLiteral("无法打开文件夹: %1").arg(QDir::toNativeSeparators(folder)),
                    TMessageKind::Error);
}

void TFormMain::OnRunFinished()
{
    if (run_)
        run_->deleteLater();
    run_ = nullptr;
    const bool showPreview = runIsPreview_ && previewReady_ && !closeAfterRun_;
    runIsPreview_ = false;
    if (showPreview) {
        ShowPreview();
        if (run_)
            return; // the real run has started; it reports its own end
    }
    runProjectName_.clear();
    emit GenerationFinished();
    if (closeAfterRun_)
        close();
}

void TFormMain::ShowPreview()
{
    const QList<TPlannedFile> plan = std::exchange(preview_, {});
    previewReady_ = false;
    if (ui_.previewRegeneration(this, plan, previewCounts_)) {
        Memo_State->clear();
        StartGeneration(runProjectId_, runProjectName_);
    }
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (run_) {
        // Never wait here: the run may be waiting on this thread. Ask it to stop before its
        // next file and close when it has ended.
        if (!closeAfterRun_) {
            closeAfterRun_ = true;
            run_->RequestStop();
            AppendProgress(QStringLiteral("正在停止代码生成，停止后窗口将关闭。。。"));
        }
        event->ignore();
        return;
    }
    SaveWindowState();
    QMainWindow::closeEvent(event);
}

void TFormMain::StopRunAndWait()
{
    if (!run_)
        return;
    TAutoCode *run = run_;
    run->RequestStop();
    disconnect(run, nullptr, this, nullptr);
    // A notice already posted to this window holds the run until it is handled; dropping it
    // releases the run. Repeat, since one may have been posted while disconnecting.
    do
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    while (!run->wait(50));
    delete run;
    run_ = nullptr;
}
