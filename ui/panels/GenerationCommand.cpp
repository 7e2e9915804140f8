#include "ui/panels/GenerationCommand.h"

#include "generator/run/AutoCode.h"
#include "model/ClassDAO.h"
#include "model/ProjectDAO.h"
#include "ui/CommandRun.h"
#include "ui/Feedback.h"
#include "ui/panels/LogPanel.h"
#include "ui/panels/ProjectPanel.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QWidget>

#include <utility>

TGenerationCommand::TGenerationCommand(TFeedback &feedback, const TProjectPanel &projects,
                                       TLogPanel &log, const QString &programDir, QWidget *window)
    : QObject(window), feedback_(feedback), projects_(projects), log_(log), programDir_(programDir),
      window_(window)
{
    A1 = new QAction(QStringLiteral("生成项目代码(&M)"), this);
    A1->setObjectName(QStringLiteral("A1"));
    connect(A1, &QAction::triggered, this, &TGenerationCommand::A1Click);
}

TGenerationCommand::~TGenerationCommand()
{
    StopRunAndWait();
}

void TGenerationCommand::A1Click()
{
    RunCommand(feedback_.Ui(), window_, [this] {
        if (IsGenerating()) {
            feedback_.Ui().message(window_, QStringLiteral("代码正在生成中，请等待当前任务完成!"));
            return;
        }
        const int projectId = projects_.SelectedProjectId();
        if (projectId == -1) {
            feedback_.Ui().message(window_, QStringLiteral("没有一个工程被选中！"));
            return;
        }
        const QString projectName = projects_.SelectedProjectName();
        // Into a folder that is already there, the user first sees what would happen to each
        // file; the decisions are made off this thread.
        const bool preview = QFileInfo::exists(programDir_ + QStringLiteral("/projects/") + projectName);
        if (!preview)
            log_.Clear();
        StartGeneration(projectId, projectName, preview);
    });
}

void TGenerationCommand::StartGeneration(int projectId, const QString &projectName, bool preview)
{
    const std::optional<QString> password = preview ? std::nullopt : AskDatabasePassword(projectId, projectName);
    auto *run = new TAutoCode(projectId, projectName, projects_.TablePrefix(), programDir_);
    run->SetDryRun(preview);
    run->SetDatabasePassword(password);
    connect(run, &TAutoCode::FilesPlaced, this, &TGenerationCommand::OnFilesPlaced,
            Qt::BlockingQueuedConnection);
    // Blocking: the run waits until each line and notice has been handled here, so the log
    // holds the lines in order and a check's message is seen before the run goes on.
    connect(run, &TAutoCode::Progress, this, [this](const QString &line) { log_.Append(line); },
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::KeyMemberError, this, &TGenerationCommand::OnKeyMemberError,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::DisplayMemberError, this, &TGenerationCommand::OnDisplayMemberError,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::ModelError, this, &TGenerationCommand::OnModelError,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::FurtherModelFindings, this, &TGenerationCommand::OnFurtherModelFindings,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::GenerationFailed, this, &TGenerationCommand::OnGenerationFailed,
            Qt::BlockingQueuedConnection);
    connect(run, &TAutoCode::GenerationDone, this, &TGenerationCommand::OnGenerationDone,
            Qt::BlockingQueuedConnection);
    connect(run, &QThread::finished, this, &TGenerationCommand::OnRunFinished, Qt::QueuedConnection);
    run_ = run;
    runProjectName_ = projectName;
    runProjectId_ = projectId;
    runIsPreview_ = preview;
    previewReady_ = false;
    summary_.clear();
    run->start();
}

std::optional<QString> TGenerationCommand::AskDatabasePassword(int projectId, const QString &projectName) const
{
    const std::optional<TExistingDatabase> existing = TProjectDAO().GetExistingDatabase(projectId);
    if (!existing
        || QFileInfo::exists(programDir_ + QStringLiteral("/projects/") + projectName + QStringLiteral("/database/config.php")))
        return std::nullopt;
    return feedback_.Ui().password(
        window_, QStringLiteral("数据库密码"),
        QStringLiteral("生成的程序以用户 %1 连接数据库 %2 时使用的密码。\n"
                       "它写入 database/config.php, 不保存在项目中; 取消时留空, 以后可在该文件中填写。")
            .arg(existing->user, existing->database));
}

void TGenerationCommand::Notify(const QString &text, TMessageKind kind)
{
    // Once the user has asked to close, the run's last words go to the log only.
    if (closeAfterRun_)
        log_.Append(text);
    else
        feedback_.Ui().message(window_, text, kind);
}

void TGenerationCommand::OnKeyMemberError(int classId)
{
    errorClassId_ = classId;
    RunCommand(feedback_.Ui(), window_, [this] {
        Notify(TClassDAO().GetClassName(errorClassId_)
                   + QStringLiteral("表主键设置错误，每个类只能设置一个主键!"),
               TMessageKind::Plain);
    });
}

void TGenerationCommand::OnDisplayMemberError(int classId)
{
    errorClassId_ = classId;
    RunCommand(feedback_.Ui(), window_, [this] {
        Notify(TClassDAO().GetClassName(errorClassId_)
                   + QStringLiteral("表显示成员设置错误，每个类有且只能设置一个显示成员!"),
               TMessageKind::Plain);
    });
}

void TGenerationCommand::OnModelError(const QString &message)
{
    Notify(message, TMessageKind::Plain);
}

void TGenerationCommand::OnFurtherModelFindings(const QStringList &messages)
{
    // The first finding had its box; the others go to the log, where they can all be read.
    log_.Append(QStringLiteral("模型检查还发现以下问题 (代码管理 → 检查模型 可逐个定位):"));
    for (const QString &message : messages)
        log_.Append(message);
}

void TGenerationCommand::OnGenerationFailed(const QString &reason)
{
    Notify(QStringLiteral("代码生成失败: ") + reason, TMessageKind::Error);
}

void TGenerationCommand::OnFilesPlaced()
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

void TGenerationCommand::OnGenerationDone()
{
    if (closeAfterRun_ || runIsPreview_)
        return;
    QString text = QStringLiteral("所有代码生成完毕!");
    if (!summary_.isEmpty())
        text += QLatin1Char('\n') + summary_;
    feedback_.Success(window_, text, TMessageKind::Information, QStringLiteral("任务提示"));
    const QString folder = programDir_ + QStringLiteral("/projects/") + runProjectName_;
    if (!feedback_.Ui().open(QUrl::fromLocalFile(folder)))
        feedback_.Ui().message(window_, QStringLiteral("无法打开文件夹: %1").arg(QDir::toNativeSeparators(folder)),
                               TMessageKind::Error);
}

void TGenerationCommand::OnRunFinished()
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
        window_->close();
}

void TGenerationCommand::ShowPreview()
{
    const QList<TPlannedFile> plan = std::exchange(preview_, {});
    previewReady_ = false;
    if (feedback_.Ui().previewRegeneration(window_, plan, previewCounts_)) {
        log_.Clear();
        StartGeneration(runProjectId_, runProjectName_);
    }
}

bool TGenerationCommand::MayClose()
{
    if (!run_)
        return true;
    // Never wait here: the run may be waiting on this thread. Ask it to stop before its next
    // file and close when it has ended.
    if (!closeAfterRun_) {
        closeAfterRun_ = true;
        run_->RequestStop();
        log_.Append(QStringLiteral("正在停止代码生成，停止后窗口将关闭。。。"));
    }
    return false;
}

void TGenerationCommand::StopRunAndWait()
{
    if (!run_)
        return;
    TAutoCode *run = run_;
    run->RequestStop();
    disconnect(run, nullptr, this, nullptr);
    // A notice already posted here holds the run until it is handled; dropping it releases
    // the run. Repeat, since one may have been posted while disconnecting.
    do
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    while (!run->wait(50));
    delete run;
    run_ = nullptr;
}
