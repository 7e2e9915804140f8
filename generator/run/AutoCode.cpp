#include "AutoCode.h"

#include "GenerationRun.h"

// Turns what the run reports into the thread's signals.
class TSignalListener : public TRunListener {
public:
    explicit TSignalListener(TAutoCode &thread) : thread_(thread) {}
    void Progress(const QString &line) override { emit thread_.Progress(line); }
    void KeyMemberError(int classId) override { emit thread_.KeyMemberError(classId); }
    void DisplayMemberError(int classId) override { emit thread_.DisplayMemberError(classId); }
    void ModelError(const QString &message) override { emit thread_.ModelError(message); }
    void FurtherModelFindings(const QStringList &messages) override
    {
        emit thread_.FurtherModelFindings(messages);
    }
    void GenerationFailed(const QString &reason) override { emit thread_.GenerationFailed(reason); }
    void GenerationDone() override { emit thread_.GenerationDone(); }
    void FilesPlaced(const TRegenerationCounts &counts, const QList<TPlannedFile> &plan) override
    {
        thread_.counts_ = counts;
        thread_.plan_ = plan;
        emit thread_.FilesPlaced();
    }

private:
    TAutoCode &thread_;
};

TAutoCode::TAutoCode(int projectId, const QString &projectName, const QString &tablePrefix,
                     const QString &programDir, QObject *parent)
    : QThread(parent), projectId_(projectId), projectName_(projectName),
      tablePrefix_(tablePrefix), programDir_(programDir)
{
}

void TAutoCode::RequestStop()
{
    stop_.storeRelaxed(1);
}

void TAutoCode::run()
{
    TGenerationRun generation(projectId_, projectName_, tablePrefix_, programDir_);
    generation.SetStopRequested([this] { return stop_.loadRelaxed() != 0; });
    generation.SetDryRun(dryRun_);
    generation.SetDatabasePassword(databasePassword_);
    TSignalListener listener(*this);
    generation.Execute(listener);
}
