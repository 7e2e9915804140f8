#include "GenerationRun.h"

#include "ConnectionConfig.h"
#include "Controller.h"
#include "FileOperate.h"
#include "GenerationError.h"
#include "ManagePage.h"
#include "ModelChecker.h"
#include "OutputLock.h"
#include "OutputStaging.h"
#include "PHPBean.h"
#include "ProjectModel.h"
#include "ReadSnapshot.h"
#include "RunMessages.h"
#include "Service.h"

#include "model/ClassDAO.h"
#include "model/DbHelper.h"

#include <QDir>
#include <QFileInfo>

namespace {

struct TResource {
    const char *name;     // below bak/ and below the output folder
    const char *logLine;  // after "移动projects/<project>"
};

// The log lines are as users know them: "！" after most folders, "!" after css and the files,
// nothing after about.html.
const TResource resourceFolders[] = {
    {".settings", "/.settings文件夹完毕！"},
    {"controller", "/controller文件夹完毕！"},
    {"css", "/css文件夹完毕!"},
    {"database", "/database文件夹完毕！"},
    {"images", "/images文件夹完毕！"},
    {"js", "/js文件夹完毕！"},
    {"manage", "/manage文件夹完毕！"},
    {"opennew", "/opennew文件夹完毕！"},
    {"service", "/service文件夹完毕！"},
    {"upload", "/upload文件夹完毕！"},
    {"util", "/util文件夹完毕！"},
};

const TResource resourceFiles[] = {
    {".buildpath", "/.buildpath完毕!"},
    {".project", "/.project完毕!"},
    {"about.html", "/about.html完毕"},
    {"changePassword.php", "/changePassword.php完毕!"},
    {"desk.php", "/desk.php完毕!"},
    {"error.php", "/error.php完毕!"},
    {"index.php", "/index.php完毕!"},
    {"login.php", "/login.php完毕!"},
    {"logout.php", "/logout.php完毕!"},
    {"ok.php", "/ok.php完毕!"},
    {".htaccess", "/.htaccess完毕!"},
};

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// Sends the generators' lines on to the listener.
class TListenerSink : public TProgressSink {
public:
    explicit TListenerSink(TRunListener &listener) : listener_(listener) {}
    void Progress(const QString &line) override { listener_.Progress(line); }

private:
    TRunListener &listener_;
};

} // namespace

TRunListener::~TRunListener() = default;
void TRunListener::FilesPlaced(const TRegenerationCounts &, const QList<TPlannedFile> &) {}

void TRunListener::FurtherModelFindings(const QStringList &messages)
{
    ModelError(messages.join(QLatin1Char('\n')));
}

TGenerationRun::TGenerationRun(int projectId, const QString &projectName,
                               const QString &tablePrefix, const QString &programDir)
    : projectId_(projectId), projectName_(projectName), tablePrefix_(tablePrefix),
      programDir_(programDir)
{
}

void TGenerationRun::SetStopRequested(std::function<bool()> stopRequested)
{
    stopRequested_ = std::move(stopRequested);
}

std::optional<TProjectModel> TGenerationRun::ReadCheckedModel(TRunListener &listener) const
{
    // The model comes from one state of the database, and the snapshot is let go before the
    // user is told anything.
    std::optional<TProjectModel> model = [this] {
        const TReadSnapshot snapshot;
        return TProjectModel::Load(projectId_);
    }();
    const TModelFindings findings = TModelChecker::Check(*model, projectName_, tablePrefix_);
    if (findings.isEmpty())
        return model;
    const TModelFinding &first = findings.first();
    if (first.kind == TModelFinding::TKind::KeyMember)
        listener.KeyMemberError(first.classId);
    else if (first.kind == TModelFinding::TKind::DisplayMember)
        listener.DisplayMemberError(first.classId);
    else
        listener.ModelError(first.message);
    if (findings.size() > 1)
        listener.FurtherModelFindings(TModelChecker::Messages(findings.mid(1)));
    return std::nullopt;
}

TGenerationRun::TOutcome TGenerationRun::Execute(TRunListener &listener) const
{
    // Held until the run has published what it will: another run waits for it.
    std::optional<TOutputLock> lock;
    std::optional<TOutputStaging> staging;
    // A run that ends early leaves the files written so far where the user looks for them.
    const auto publish = [&staging]() -> QString {
        try {
            if (staging)
                staging->PublishIncomplete(TGenerationRecord::FolderName());
        } catch (const TGenerationError &error) {
            return error.message();
        }
        return QString();
    };
    const auto fail = [&listener, &staging, &publish](QString reason) {
        if (staging)
            reason = staging->Shown(reason);
        publish();
        listener.Progress(RunMessages::GenerationFailed(reason));
        listener.GenerationFailed(reason);
        return TOutcome::Failed;
    };
    try {
        const std::optional<TProjectModel> checked = ReadCheckedModel(listener);
        if (!checked)
            return TOutcome::CheckFailed;
        const TProjectModel &model = *checked;

        const QString bakDir = programDir_ + QStringLiteral("/bak");
        const QString missing = FindMissingResource(bakDir);
        if (!missing.isEmpty())
            return fail(QStringLiteral("找不到模板资源 \"%1\"").arg(missing));
        const QString unreadable = FindUnreadableResource(bakDir);
        if (!unreadable.isEmpty())
            return fail(QStringLiteral("无法读取模板资源 \"%1\"").arg(unreadable));

        TListenerSink sink(listener);
        TGenerationTarget target;
        target.projectId = projectId_;
        target.projectName = projectName_;
        target.tablePrefix = tablePrefix_;
        target.outputRoot = programDir_;
        target.sink = &sink;
        target.stopRequested = stopRequested_;
        if (!dryRun_) {
            lock.emplace(target.OutputDir());
            lock->Acquire(lockWaitMs_, [&listener](const QString &line) { listener.Progress(line); });
        }
        staging.emplace(target.OutputDir(), dryRun_);
        staging->Begin();
        target.writeDir = staging->WriteDir();
        TRegeneration regeneration(target.WriteDir(), target.RelativeOutputDir(), dryRun_);
        regeneration.SetNewFolder(staging->Staged());
        regeneration.SetKeepPlan(dryRun_);
        regeneration.SetSink(&sink);
        regeneration.Begin();
        target.placer = &regeneration;
        target.dryRun = dryRun_;

        TPHPBean::Generate(target, model);
        TController::Generate(target, model);
        TService::Generate(target, model);
        TManagePage::Generate(target, model);
        if (const std::optional<TExistingDatabase> &existing = model.ExistingDatabase())
            TConnectionConfig::Write(target, bakDir, *existing, databasePassword_);
        if (!dryRun_)
            CopyResources(target, bakDir,
                          staging->Staged() ? TFileOperate::TInto::NewFolder : TFileOperate::TInto::ExistingFolder);
        target.CheckStop();
        const QStringList orphans = regeneration.ListOrphans();
        if (!dryRun_) {
            for (const QString &line : orphans)
                target.Report(line);
        }
        regeneration.Finish(model, projectName_, tablePrefix_);
        staging->Publish();
        if (!dryRun_)
            listener.Progress(regeneration.Counts().Summary());
        listener.FilesPlaced(regeneration.Counts(), regeneration.Plan());
    } catch (const TGenerationStopped &) {
        const QString unpublished = publish();
        if (!unpublished.isEmpty())
            return fail(unpublished);
        return TOutcome::Stopped;
    } catch (const TGenerationError &error) {
        return fail(error.message());
    } catch (const TDbError &error) {
        return fail(error.message());
    } catch (const std::exception &error) {
        return fail(QString::fromLocal8Bit(error.what()));
    }
    listener.GenerationDone();
    return TOutcome::Done;
}

QString TGenerationRun::FindMissingResource(const QString &bakDir)
{
    for (const TResource &folder : resourceFolders) {
        const QString path = bakDir + QLatin1Char('/') + QString::fromUtf8(folder.name);
        if (!QFileInfo(path).isDir())
            return shown(path);
    }
    for (const TResource &file : resourceFiles) {
        const QString path = bakDir + QLatin1Char('/') + QString::fromUtf8(file.name);
        if (!QFileInfo(path).isFile())
            return shown(path);
    }
    return QString();
}

QString TGenerationRun::FindUnreadableResource(const QString &bakDir)
{
    for (const TResource &folder : resourceFolders) {
        const QString unreadable =
            TFileOperate::FindUnreadable(bakDir + QLatin1Char('/') + QString::fromUtf8(folder.name));
        if (!unreadable.isEmpty())
            return unreadable;
    }
    for (const TResource &file : resourceFiles) {
        const QString unreadable =
            TFileOperate::FindUnreadable(bakDir + QLatin1Char('/') + QString::fromUtf8(file.name));
        if (!unreadable.isEmpty())
            return unreadable;
    }
    return QString();
}

void TGenerationRun::CopyResources(const TGenerationTarget &target, const QString &bakDir,
                                   TFileOperate::TInto into)
{
    const QString output = target.WriteDir() + QLatin1Char('/');
    const QString logPrefix = QStringLiteral("移动") + target.RelativeOutputDir();
    target.Report(QStringLiteral("正在移动资源文件。。。"));
    for (const TResource &folder : resourceFolders) {
        target.CheckStop();
        const QString name = QString::fromUtf8(folder.name);
        // Files the generators wrote at the top of controller/ and service/ stay as they are.
        if (!TFileOperate::CopyDirectory(bakDir + QLatin1Char('/') + name, output + name, true, into))
            throw TGenerationError(QStringLiteral("无法读取模板文件夹 \"%1\"")
                                       .arg(shown(bakDir + QLatin1Char('/') + name)));
        target.Report(logPrefix + QString::fromUtf8(folder.logLine));
    }
    for (const TResource &file : resourceFiles) {
        target.CheckStop();
        const QString name = QString::fromUtf8(file.name);
        TFileOperate::CopyFile(bakDir + QLatin1Char('/') + name, output + name, into);
        target.Report(logPrefix + QString::fromUtf8(file.logLine));
    }
    target.Report(QStringLiteral("移动资源文件完毕!"));
}
