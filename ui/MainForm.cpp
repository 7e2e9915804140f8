#include "ui/MainForm.h"

#include "model/StartLists.h"
#include "ui/CommandRun.h"
#include "ui/Feedback.h"
#include "ui/ModelTransferMenu.h"
#include "ui/ProjectSettings.h"
#include "ui/art/Artwork.h"
#include "ui/art/ArtworkSizes.h"
#include "ui/dialogs/FormDialog.h"
#include "ui/panels/CodeCommands.h"
#include "ui/panels/CodePreview.h"
#include "ui/panels/GenerationCommand.h"
#include "ui/panels/LogPanel.h"
#include "ui/panels/MemberPanel.h"
#include "ui/panels/ProjectPanel.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString caption = QStringLiteral("VelmoraPHP基于MVC三层模式代码生成器2.0版");

// The default client area; the window can grow from here and shrink a little.
const QSize defaultClient(770, 547);
const QSize smallestClient(600, 420);
constexpr int logHeight = 152;
constexpr int classColumnWidth = 161;

} // namespace

TFormMain::TFormMain(TUserInteraction &ui, const QString &programDir, QWidget *parent)
    : QMainWindow(parent), programDir_(QDir(programDir).absolutePath())
{
    // The lists are read while the controls are built; the thread has a connection of its own.
    std::future<TStartLists> lists = std::async(std::launch::async, [] { return TStartLists::Read(); });
    feedback_ = std::make_unique<TFeedback>(ui, statusBar());
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(caption);
    setWindowIcon(Artwork::WindowIcon());
    setFont(FormFont());
    BuildControls();
    BuildMenus();
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

    ShowStartLists(lists);
}

TFormMain::~TFormMain()
{
    generation_->StopRunAndWait();
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

    // Work area above, log below; classes, members and code preview side by side. The user
    // moves the dividers; the window remembers them.
    SP_Main = new QSplitter(Qt::Vertical, GroupBox1);
    SP_Main->setObjectName(QStringLiteral("SP_Main"));
    SP_Main->setChildrenCollapsible(false);
    SP_Main->setHandleWidth(1);
    SP_Work = new QSplitter(Qt::Horizontal, SP_Main);
    SP_Work->setObjectName(QStringLiteral("SP_Work"));
    SP_Work->setHandleWidth(4);
    // The work area fills the group box below its caption (see PlaceWorkArea).
    GroupBox1->installEventFilter(this);

    projects_ = new TProjectPanel(*feedback_, programDir_, SP_Work);
    members_ = new TMemberPanel(*feedback_, *projects_, SP_Work);
    Preview = new TCodePreview(SP_Work);
    projects_->SetShowClass([this](int classId) {
        if (classId == -1)
            members_->ClearMembers();
        else
            members_->LoadMembers(classId);
    });
    connect(projects_, &TProjectPanel::ShownClassChanged, this, &TFormMain::RefreshPreview);
    connect(members_, &TMemberPanel::MembersChanged, this, &TFormMain::RefreshPreview);

    SP_Work->addWidget(projects_);
    SP_Work->addWidget(members_);
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

    log_ = new TLogPanel(SP_Main);
    SP_Main->addWidget(SP_Work);
    SP_Main->addWidget(log_);
    SP_Main->setStretchFactor(0, 2);
    SP_Main->setStretchFactor(1, 1);

    generation_ = new TGenerationCommand(*feedback_, *projects_, *log_, programDir_, this);
    connect(generation_, &TGenerationCommand::GenerationFinished, this, &TFormMain::GenerationFinished);
    code_ = new TCodeCommands(*feedback_, *projects_, programDir_, this,
                              [this](int classId, int memberId) { SelectClassAndMember(classId, memberId); });

    setTabOrder(projects_->ClassList(), members_->Table());
    setTabOrder(members_->Table(), Preview);
    setTabOrder(Preview, log_->Log());
}

void TFormMain::BuildMenus()
{
    QMenu *projectMenu = menuBar()->addMenu(QStringLiteral("项目操作(&P)"));
    projectMenu->setObjectName(QStringLiteral("F1"));
    projectMenu->addActions(projects_->Commands());
    projectMenu->addActions(members_->Commands());
    new TModelTransferMenu(projectMenu, this, feedback_->Ui(), [this] { return projects_->SelectedProjectId(); },
                           [this] { projects_->LoadProjects(); });

    QMenu *codeMenu = menuBar()->addMenu(QStringLiteral("代码管理(&A)"));
    codeMenu->setObjectName(QStringLiteral("P1"));
    codeMenu->addActions({projects_->PrefixCommand(), code_->ScriptCommand(), code_->UpgradeCommand(),
                          generation_->Command(), code_->CheckCommand(), code_->DiagramCommand()});
    Success1 = codeMenu->addAction(QStringLiteral("显示操作成功提示(&S)"));
    Success1->setObjectName(QStringLiteral("Success1"));
    Success1->setCheckable(true);
    Success1->setChecked(TProjectSettings(programDir_).ShowSuccessMessages());
    feedback_->SetShowSuccessBoxes(Success1->isChecked());
    connect(Success1, &QAction::triggered, this, &TFormMain::Success1Click);
    Preview1 = codeMenu->addAction(QStringLiteral("显示代码预览(&V)"));
    Preview1->setObjectName(QStringLiteral("Preview1"));
    Preview1->setCheckable(true);
    Preview1->setShortcut(QKeySequence(Qt::Key_F9));
    connect(Preview1, &QAction::triggered, this, &TFormMain::Preview1Click);
}

void TFormMain::ShowStartLists(std::future<TStartLists> &lists)
{
    RunCommand(feedback_->Ui(), this, [&] {
        const TStartLists read = lists.get();
        projects_->ShowStartLists(read);
        if (read.classes.isEmpty())
            members_->ClearMembers();
        else
            members_->ShowMembers(read.members);
    });
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

void TFormMain::FitSplitters()
{
    const int height = SP_Main->height() - SP_Main->handleWidth();
    SP_Main->setSizes({height - logHeight, logHeight});
    const int width = SP_Work->width() - 2 * SP_Work->handleWidth();
    SP_Work->setSizes({classColumnWidth, width - classColumnWidth, 0});
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

QUrl TFormMain::HomePage() const
{
    return QUrl::fromLocalFile(programDir_ + QStringLiteral("/doc/index.html"));
}

void TFormMain::RefreshPreview()
{
    const int projectId = projects_->SelectedProjectId();
    Preview->ShowClass(projectId == -1 ? 0 : projectId, projects_->SelectedClassId(), projects_->TablePrefix());
}

void TFormMain::SelectClassAndMember(int classId, int memberId)
{
    if (projects_->SelectClass(classId))
        members_->SelectMember(memberId);
}

void TFormMain::Success1Click()
{
    RunCommand(feedback_->Ui(), this, [this] {
        // Undone when the choice cannot be kept, so the tick shows what the next start does.
        const bool show = Success1->isChecked();
        try {
            TProjectSettings(programDir_).SetShowSuccessMessages(show);
        } catch (...) {
            Success1->setChecked(!show);
            throw;
        }
        feedback_->SetShowSuccessBoxes(show);
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
    TUserInteraction &ui = feedback_->Ui();
    const QString page = HomePage().toLocalFile();
    if (!QFileInfo::exists(page)) {
        if (!quietWhenMissing)
            ui.message(this, QStringLiteral("找不到帮助页面: %1").arg(QDir::toNativeSeparators(page)),
                       TMessageKind::Error);
        return;
    }
    if (!ui.open(HomePage()) && !quietWhenMissing)
        ui.message(this, QStringLiteral("无法打开帮助页面: %1").arg(QDir::toNativeSeparators(page)),
                   TMessageKind::Error);
}

bool TFormMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == GroupBox1 && event->type() == QEvent::Resize)
        PlaceWorkArea();
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && Image1->rect().contains(mouse->position().toPoint()))
            Image1Click();
        return false;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (!generation_->MayClose()) {
        event->ignore();
        return;
    }
    SaveWindowState();
    QMainWindow::closeEvent(event);
}
