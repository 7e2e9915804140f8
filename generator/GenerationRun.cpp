#include "GenerationRun.h"

#include "Controller.h"
#include "FileOperate.h"
#include "GenerationError.h"
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
    enum class TFailedCheck { None, KeyMember, DisplayMember } failedCheck = TFailedCheck::None;
    int failedClass = 0;
    const auto failed = [&failedClass](int classId) { failedClass = classId; };
    std::optional<TProjectModel> model;
    {
        // The checks and the model come from one state of the database, and the snapshot is
        // let go before the user is told anything.
        const TReadSnapshot snapshot;
        const TClassDAO classes;
        const TClassList classList = classes.GetClasses(projectId_);
        if (!classes.CheckPrimaryKeys(classList, failed))
            failedCheck = TFailedCheck::KeyMember;
        else if (!classes.CheckDisplayMembers(classList, failed))
            failedCheck = TFailedCheck::DisplayMember;
        else
            model = TProjectModel::Load(projectId_, classList);
    }
    if (failedCheck == TFailedCheck::KeyMember) {
        listener.KeyMemberError(failedClass);
        return std::nullopt;
    }
    if (failedCheck == TFailedCheck::DisplayMember) {
        listener.DisplayMemberError(failedClass);
        return std::nullopt;
    }
    std::optional<QString> refusal = model->FindUnusableName(projectName_);
    if (!refusal)
        refusal = model->FindBrokenReference();
    if (refusal) {
        listener.ModelError(*refusal);
        return std::nullopt;
    }
    return model;
}

TGenerationRun::TOutcome TGenerationRun::Execute(TRunListener &listener) const
{
    const auto fail = [&listener](const QString &reason) {
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

        TListenerSink sink(listener);
        TGenerationTarget target;
        target.projectId = projectId_;
        target.projectName = projectName_;
        target.tablePrefix = tablePrefix_;
        target.outputRoot = programDir_;
        target.sink = &sink;
        target.stopRequested = stopRequested_;
        TRegeneration regeneration(target.OutputDir(), target.RelativeOutputDir(), dryRun_);
        regeneration.SetKeepPlan(dryRun_);
        regeneration.Begin();
        target.placer = &regeneration;

        TPHPBean::Generate(target, model);
        TController::Generate(target, model);
        TService::Generate(target, model);
        if (!dryRun_)
            CopyResources(target, bakDir);
        target.CheckStop();
        const QStringList orphans = regeneration.ListOrphans();
        if (!dryRun_) {
            for (const QString &line : orphans)
                target.Report(line);
        }
        regeneration.Finish(TGenerationRecord::Snapshot(model, projectName_, tablePrefix_));
        if (!dryRun_)
            listener.Progress(regeneration.Counts().Summary());
        listener.FilesPlaced(regeneration.Counts(), regeneration.Plan());
    } catch (const TGenerationStopped &) {
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

void TGenerationRun::CopyResources(const TGenerationTarget &target, const QString &bakDir)
{
    const QString output = target.OutputDir() + QLatin1Char('/');
    const QString logPrefix = QStringLiteral("移动") + target.RelativeOutputDir();
    target.Report(QStringLiteral("正在移动资源文件。。。"));
    for (const TResource &folder : resourceFolders) {
        target.CheckStop();
        const QString name = QString::fromUtf8(folder.name);
        // Files the generators wrote at the top of controller/ and service/ stay as they are.
        if (!TFileOperate::CopyDirectory(bakDir + QLatin1Char('/') + name, output + name, true))
            throw TGenerationError(QStringLiteral("无法读取模板文件夹 \"%1\"")
                                       .arg(shown(bakDir + QLatin1Char('/') + name)));
        target.Report(logPrefix + QString::fromUtf8(folder.logLine));
    }
    for (const TResource &file : resourceFiles) {
        target.CheckStop();
        const QString name = QString::fromUtf8(file.name);
        TFileOperate::CopyFile(bakDir + QLatin1Char('/') + name, output + name);
        target.Report(logPrefix + QString::fromUtf8(file.logLine));
    }
    target.Report(QStringLiteral("移动资源文件完毕!"));
}
