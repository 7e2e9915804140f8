#pragma once

#include "generator/record/Regeneration.h"
#include "ui/UserInteraction.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QAction;
class QWidget;
class TAutoCode;
class TFeedback;
class TLogPanel;
class TProjectPanel;

// 生成项目代码: starts the generation run of the selected project on its worker thread, writes
// its progress into the log panel, and answers its notices. Into an existing folder a preview
// of what would happen to each file comes first.
class TGenerationCommand : public QObject {
    Q_OBJECT
public:
    TGenerationCommand(TFeedback &feedback, const TProjectPanel &projects, TLogPanel &log,
                       const QString &programDir, QWidget *window);
    ~TGenerationCommand() override;

    QAction *Command() const { return A1; }
    bool IsGenerating() const { return !run_.isNull(); }
    // The class the last failed key or display check named; 0 until then.
    int ErrorClassId() const { return errorClassId_; }

    // Whether the window may close now. While a run goes on, asks it to stop before its next
    // file and closes the window once it has ended.
    bool MayClose();
    // Stops a run and waits for its thread; for the window's end.
    void StopRunAndWait();

public slots:
    void A1Click();

signals:
    // A generation run has ended, whichever way.
    void GenerationFinished();

private:
    // With preview, the run only decides what it would do; the preview is then shown and 生成
    // starts the real run.
    void StartGeneration(int projectId, const QString &projectName, bool preview = false);
    // The database password for database/config.php of a project living on its database, asked
    // only while the output folder has no such file; null otherwise or when cancelled.
    std::optional<QString> AskDatabasePassword(int projectId, const QString &projectName) const;
    void OnFilesPlaced();
    void ShowPreview();
    void OnKeyMemberError(int classId);
    void OnDisplayMemberError(int classId);
    void OnModelError(const QString &message);
    void OnFurtherModelFindings(const QStringList &messages);
    void OnGenerationFailed(const QString &reason);
    void OnGenerationDone();
    void OnRunFinished();
    void Notify(const QString &text, TMessageKind kind);

    TFeedback &feedback_;
    const TProjectPanel &projects_;
    TLogPanel &log_;
    QString programDir_;
    QWidget *window_;
    QAction *A1;

    int errorClassId_ = 0;
    QPointer<TAutoCode> run_;
    QString runProjectName_;
    int runProjectId_ = -1;
    bool runIsPreview_ = false;
    bool previewReady_ = false;
    QList<TPlannedFile> preview_;
    TRegenerationCounts previewCounts_;
    QString summary_;
    bool closeAfterRun_ = false;
};
