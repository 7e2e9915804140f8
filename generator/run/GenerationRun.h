#pragma once

#include "FileOperate.h"
#include "GenerationTarget.h"
#include "ProjectModel.h"
#include "Regeneration.h"

#include <QString>

#include <functional>
#include <optional>

// What a generation run tells the one who started it, in the order it happens.
class TRunListener {
public:
    virtual ~TRunListener();
    virtual void Progress(const QString &line) = 0;
    virtual void KeyMemberError(int classId) = 0;
    virtual void DisplayMemberError(int classId) = 0;
    virtual void ModelError(const QString &message) = 0;
    // The model's other findings, after the first one was told through the calls above;
    // by default told as one more ModelError, a line each.
    virtual void FurtherModelFindings(const QStringList &messages);
    virtual void GenerationFailed(const QString &reason) = 0;
    virtual void GenerationDone() = 0;
    // Just before GenerationDone: what became of each file (the list only in a dry run).
    virtual void FilesPlaced(const TRegenerationCounts &counts, const QList<TPlannedFile> &plan);
};

// The whole generation of one project, on the calling thread: the class list, the model
// checks, the entity, controller and service files and the management page of every class,
// then the application skeleton copied from <programDir>/bak. A model the checks refuse
// writes nothing; a missing or unreadable skeleton is found before anything is written; any
// other failure ends the run where it happens and is reported (a log line naming the reason,
// then GenerationFailed). The files completed before a failure stay; one whose write failed
// never appears under its name. Only one run at a time writes an output folder (TOutputLock).
// Files already in the output folder meet the new output through TRegeneration, and only a
// complete run updates the generation record.
class TGenerationRun {
public:
    enum class TOutcome { Done, CheckFailed, Failed, Stopped };

    TGenerationRun(int projectId, const QString &projectName, const QString &tablePrefix,
                   const QString &programDir);

    // Asked before each file; true ends the run there, quietly.
    void SetStopRequested(std::function<bool()> stopRequested);
    // Decides every file as a run would and writes nothing: no log lines, no skeleton, no record.
    void SetDryRun(bool dryRun) { dryRun_ = dryRun; }
    // The database password written into database/config.php of a project living on its
    // database; without it the place stays empty. Never stored.
    void SetDatabasePassword(std::optional<QString> password) { databasePassword_ = std::move(password); }
    // How long a run waits for another one writing the same output folder before it refuses.
    void SetLockWait(int milliseconds) { lockWaitMs_ = milliseconds; }

    TOutcome Execute(TRunListener &listener) const;

    // Copies the skeleton's folders and files into the output folder, one log line each,
    // 23 lines in all. into: whether the output folder is being built (staged) or already there.
    static void CopyResources(const TGenerationTarget &target, const QString &bakDir,
                              TFileOperate::TInto into);
    // The first missing folder or file of the skeleton, or empty text when it is complete.
    static QString FindMissingResource(const QString &bakDir);
    // The first folder or file of the skeleton that cannot be read, down to its deepest file,
    // or empty text; asked before the first write so a run never stops half-way for it.
    static QString FindUnreadableResource(const QString &bakDir);

private:
    // The model, read at once, and every finding of the model checker. Empty when the model
    // is refused: the listener hears the first finding as it always has (a key or display
    // member error with the class, or a model error), then the others.
    std::optional<TProjectModel> ReadCheckedModel(TRunListener &listener) const;

    int projectId_;
    QString projectName_;
    QString tablePrefix_;
    QString programDir_;
    std::function<bool()> stopRequested_;
    bool dryRun_ = false;
    int lockWaitMs_ = 5000;
    std::optional<QString> databasePassword_;
};
