#pragma once

#include "Regeneration.h"

#include <QAtomicInt>
#include <QString>
#include <QStringList>
#include <QThread>

#include <optional>

// One generation run on its own thread: checks the model, writes the entity, controller and
// service files of every class, copies the application skeleton, then reports completion.
// The window connects to the signals with Qt::BlockingQueuedConnection, so the run waits
// until each one has been handled.
class TAutoCode : public QThread {
    Q_OBJECT
public:
    // projectName is taken once here; programDir holds bak/ and receives projects/.
    TAutoCode(int projectId, const QString &projectName, const QString &tablePrefix,
              const QString &programDir, QObject *parent = nullptr);

    // Asks the run to stop before its next file; safe from any thread.
    void RequestStop();
    // Before start: decide every file and write nothing (see TGenerationRun::SetDryRun).
    void SetDryRun(bool dryRun) { dryRun_ = dryRun; }
    bool IsDryRun() const { return dryRun_; }
    // Before start: see TGenerationRun::SetDatabasePassword.
    void SetDatabasePassword(std::optional<QString> password) { databasePassword_ = std::move(password); }
    // Set before FilesPlaced is emitted; read them in its handler or after the run.
    const TRegenerationCounts &Counts() const { return counts_; }
    const QList<TPlannedFile> &Plan() const { return plan_; }

signals:
    void Progress(const QString &line);
    void KeyMemberError(int classId);     // the class has no key member or more than one
    void DisplayMemberError(int classId); // the class has no display member or more than one
    void ModelError(const QString &message); // e.g. a reference to a missing class; nothing written
    // The model's further findings, after the first one came through one of the three above.
    void FurtherModelFindings(const QStringList &messages);
    void GenerationFailed(const QString &reason); // the run stopped part-way; reason for the user
    void FilesPlaced(); // just before GenerationDone: Counts() and, in a dry run, Plan()
    void GenerationDone();

protected:
    void run() override;

private:
    friend class TSignalListener;

private:
    int projectId_;
    QString projectName_;
    QString tablePrefix_;
    QString programDir_;
    QAtomicInt stop_;
    bool dryRun_ = false;
    std::optional<QString> databasePassword_;
    TRegenerationCounts counts_;
    QList<TPlannedFile> plan_;
};
