#include "DatabaseScripts.h"

#include "DataBaseSql.h"
#include "FileOperate.h"
#include "GenerationError.h"
#include "GenerationRecord.h"
#include "ProjectModel.h"
#include "ReadSnapshot.h"
#include "UpgradeSql.h"
#include "VersionTable.h"

#include <QHash>

#include <future>
#include <memory>

namespace {

struct TRecordedModel {
    TProjectModel model;
    QString prefix;
};

// The recorded models of one output folder, each read once.
class TRecordedModels {
public:
    explicit TRecordedModels(QString outputDir)
        : outputDir_(std::move(outputDir)), numbers_(TGenerationRecord::VersionNumbers(outputDir_))
    {
    }

    const QList<int> &Numbers() const { return numbers_; }

    // A version's model; none when it is missing or unreadable.
    const TRecordedModel *Find(int version)
    {
        if (!models_.contains(version))
            models_.insert(version, Read(outputDir_, version));
        return models_.value(version).get();
    }

    // Whether a recorded version's tables differ from the model's under prefix, worked out once.
    // A missing version, one of another project or one without a script is no database this
    // model's scripts came from.
    bool Differs(int version, const TProjectModel &model, const QString &prefix)
    {
        const std::pair<int, QString> key{version, prefix};
        if (const auto known = differs_.constFind(key); known != differs_.constEnd())
            return *known;
        const TRecordedModel *recorded = Find(version);
        bool result = true;
        if (recorded && recorded->model.ProjectId() == model.ProjectId()) {
            try {
                result = TUpgradeSql::Differs({&recorded->model, recorded->prefix, version}, {&model, prefix, 0});
            } catch (const TGenerationError &) {
            }
        }
        differs_.insert(key, result);
        return result;
    }

    // A version's model, already read on another thread.
    void Put(int version, std::shared_ptr<TRecordedModel> model) { models_.insert(version, std::move(model)); }

    static std::shared_ptr<TRecordedModel> Read(const QString &outputDir, int version)
    {
        const std::optional<QJsonObject> snapshot = TGenerationRecord::LoadSnapshot(outputDir, version);
        if (!snapshot)
            return nullptr;
        return std::make_shared<TRecordedModel>(TRecordedModel{
            TGenerationRecord::SnapshotModel(*snapshot), snapshot->value(QStringLiteral("tablePrefix")).toString()});
    }

private:
    QString outputDir_;
    QList<int> numbers_;
    QHash<int, std::shared_ptr<TRecordedModel>> models_;
    QHash<std::pair<int, QString>, bool> differs_;
};

TProjectModel loadModel(int projectId)
{
    const TReadSnapshot read;
    return TProjectModel::Load(projectId);
}

int targetVersion(TRecordedModels &records, const TProjectModel &model, const QString &prefix)
{
    if (records.Numbers().isEmpty())
        return 1;
    const int newest = records.Numbers().last();
    return records.Differs(newest, model, prefix) ? newest + 1 : newest;
}

int defaultFromVersion(TRecordedModels &records, const TProjectModel &model, const std::optional<QString> &prefix)
{
    const QList<int> &numbers = records.Numbers();
    for (auto it = numbers.crbegin(); it != numbers.crend(); ++it) {
        const TRecordedModel *recorded = records.Find(*it);
        if (recorded && recorded->model.ProjectId() == model.ProjectId()
            && records.Differs(*it, model, prefix.value_or(recorded->prefix)))
            return *it;
    }
    return numbers.last();
}

} // namespace

QString TDatabaseScripts::TableScript(int projectId, const QString &tablePrefix, const QString &programDir,
                                      const QString &outputDir)
{
    const TProjectModel model = loadModel(projectId);
    // A model without a script is refused before the record is compared with it.
    TDataBaseSql::CheckModel(model, tablePrefix);
    TRecordedModels records(outputDir);
    const int version = targetVersion(records, model, tablePrefix);
    return TDataBaseSql::Script(model, tablePrefix, programDir,
                                ModelVersionStatements(TDataBaseSql::AppTablePrefix(model, tablePrefix), version));
}

int TDatabaseScripts::DefaultFromVersion(int projectId, const QString &outputDir, const std::optional<QString> &prefix)
{
    TRecordedModels records(outputDir);
    if (records.Numbers().isEmpty())
        throw TGenerationError(TUpgradeSql::NoRecordMessage());
    return defaultFromVersion(records, loadModel(projectId), prefix);
}

QString TDatabaseScripts::UpgradeScript(int projectId, const QString &outputDir, std::optional<int> fromVersion,
                                        const std::optional<QString> &prefix, bool destructive,
                                        const QString &programDir)
{
    TRecordedModels records(outputDir);
    if (records.Numbers().isEmpty())
        throw TGenerationError(TUpgradeSql::NoRecordMessage());
    // The newest snapshot, needed in most cases, is read on a second thread while this one reads
    // the model database: both take about as long, and the snapshot needs no database.
    const int newest = records.Numbers().last();
    std::future<std::shared_ptr<TRecordedModel>> newestModel =
        std::async(std::launch::async, &TRecordedModels::Read, outputDir, newest);
    const TProjectModel newModel = loadModel(projectId);
    records.Put(newest, newestModel.get());

    const int version = fromVersion ? *fromVersion : defaultFromVersion(records, newModel, prefix);
    const TRecordedModel *old = records.Find(version);
    if (!old)
        throw TGenerationError(TUpgradeSql::UnknownVersionMessage(version));
    // A project deleted and made again under the same name shares no ids with the record.
    if (old->model.ProjectId() != projectId)
        throw TGenerationError(QStringLiteral("第 %1 版的生成记录属于另一个项目，请使用建表脚本").arg(version));
    // The application's tables of a project living on its database keep their own prefix.
    const QString newPrefix = newModel.ExistingDatabase() ? old->prefix : prefix.value_or(old->prefix);
    const QString appPrefix = TDataBaseSql::AppTablePrefix(newModel, newPrefix);
    const QString statements =
        TUpgradeSql::BuildStatements({&old->model, old->prefix, version}, {&newModel, newPrefix, 0}, destructive)
        + ModelVersionStatements(appPrefix, targetVersion(records, newModel, newPrefix));
    QString script = TFileOperate::LoadUtf8File(programDir + QLatin1Char('/') + TUpgradeSql::TemplatePath());
    script.replace(QStringLiteral("$sqlString"), statements);
    script.replace(QStringLiteral("$dbprefix"), appPrefix);
    return script;
}
