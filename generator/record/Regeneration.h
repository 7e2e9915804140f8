#pragma once

#include "BackgroundWriter.h"
#include "GenerationRecord.h"
#include "GenerationTarget.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>

// What a run does with one generated file.
enum class TFileAction {
    Written,     // missing: written
    Updated,     // as last generated (or of unknown origin but equal): overwritten
    Unchanged,   // already holds the new output
    Kept,        // edited by the user, the new output is as last generated: left alone
    Merged,      // edited by the user and by the new output: merged in place
    Conflict,    // the merge conflicts: the user's file stays, the merge goes beside it
    Beside,      // present without a record and different: stays, the new output goes beside it
    Orphaned,    // generated for a class no longer in the model: listed, never deleted
};

// The short name of an action, as lists show it ("新建", "冲突", ...).
QString FileActionLabel(TFileAction action);

struct TPlannedFile {
    QString path;          // below the output folder
    TFileAction action = TFileAction::Written;
    QString besidePath;    // where the merge or the new output goes; empty when in place
    QByteArray onDisk;     // the file as it is; empty when missing
    QByteArray result;     // what is written (in place or beside); empty when nothing
};

struct TRegenerationCounts {
    int written = 0, updated = 0, unchanged = 0, kept = 0, merged = 0, conflicts = 0,
        beside = 0, orphaned = 0;
    void Add(TFileAction action);
    // The log's last line: "生成结果: 新建N个, ...".
    QString Summary() const;
};

// Decides, file by file, how new output meets what is in the output folder, so that a
// regeneration never destroys the user's edits; then records what it did. With dryRun it
// decides the same and touches nothing.
class TRegeneration : public TFilePlacer {
public:
    // outputDir is the project's output folder, shownDir its name in log lines
    // ("projects/<project>").
    TRegeneration(const QString &outputDir, const QString &shownDir, bool dryRun);

    // Reads the record and, unless a dry run, removes the temporary files and unfinished
    // record folders of failed or killed runs.
    void Begin();
    // Where lines other than a file's own go (a damaged record); none in a dry run.
    void SetSink(TProgressSink *sink) { sink_ = sink; }
    // The output folder is new (being built under another name): nothing there to read or
    // to protect, so every file is written straight under its name.
    void SetNewFolder(bool newFolder) { newFolder_ = newFolder; }
    QString Place(const QString &path, const QByteArray &bytes) override;
    void PlaceSupport(const QString &path, const QByteArray &bytes) override;
    // Files of the last record this run did not produce that are still there, one log line
    // each.
    QStringList ListOrphans();
    // Records this run's files and the model (a dry run records nothing).
    void Finish(const TProjectModel &model, const QString &projectName, const QString &tablePrefix);

    const TRegenerationCounts &Counts() const { return counts_; }
    // Every decision so far, in order; kept only when asked for, as they hold whole files.
    void SetKeepPlan(bool keep) { keepPlan_ = keep; }
    const QList<TPlannedFile> &Plan() const { return plan_; }

private:
    QString LogLine(const TPlannedFile &file) const;
    void Note(TPlannedFile file);
    // The bytes the user's file grew from: the last written, or the output that waited beside
    // it once the user has changed it since. Stored bytes found damaged are none, and said so.
    std::optional<QByteArray> BaseFor(const QString &path, const TRecordedFile &entry,
                                      const QByteArray &diskHash) const;
    // Writes a file below the output folder: straight in a new folder, else through a
    // temporary name.
    void Write(const QString &path, const QByteArray &bytes);
    void Remember(const QString &path, const QByteArray &bytes, const QByteArray &hash,
                  TRecordedFile entry);

    QString outputDir_;
    QString shownDir_;
    bool dryRun_;
    bool keepPlan_ = false;
    bool newFolder_ = false;
    TProgressSink *sink_ = nullptr;
    QSet<QString> madeFolders_; // in a new folder, the ones already created
    // In a new folder the stored bases are written while the run goes on.
    TBackgroundWriter baseWriter_;
    QSet<QByteArray> basesQueued_;
    TGenerationRecord record_;
    QHash<QString, TRecordedFile> files_;
    QHash<QByteArray, QByteArray> newBytes_;
    TRegenerationCounts counts_;
    QList<TPlannedFile> plan_;
};
