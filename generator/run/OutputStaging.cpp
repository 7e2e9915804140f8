#include "OutputStaging.h"

#include "FileOperate.h"
#include "GenerationError.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// projects/.velmora-new-<project>: beside the output folder, so the rename stays on one disk.
QString stagingFolder(const QString &outputDir)
{
    const QFileInfo output(outputDir);
    return output.path() + QStringLiteral("/.velmora-new-") + output.fileName();
}

} // namespace

TOutputStaging::TOutputStaging(const QString &outputDir, bool dryRun)
    : outputDir_(outputDir), stagingDir_(stagingFolder(outputDir)), dryRun_(dryRun)
{
}

void TOutputStaging::Begin()
{
    if (dryRun_)
        return;
    // Left by a run killed before its rename, or one whose rename failed.
    if (TFileOperate::Exists(stagingDir_))
        TFileOperate::RemoveTree(stagingDir_);
    if (!TFileOperate::Exists(outputDir_))
        staged_ = TFileOperate::TryCreateFolder(stagingDir_);
}

void TOutputStaging::Publish()
{
    if (!staged_ || published_)
        return;
    try {
        TFileOperate::RenameFolder(stagingDir_, outputDir_);
    } catch (const TGenerationError &) {
        // Something took the output folder's name meanwhile. What was built cannot go there,
        // and none of it stays behind under the hidden name, the record least of all.
        staged_ = false;
        try {
            TFileOperate::RemoveTree(stagingDir_);
        } catch (const TGenerationError &) {
            // The next run clears it before it begins.
        }
        throw;
    }
    published_ = true;
}

void TOutputStaging::PublishIncomplete(const QString &leaveOut)
{
    if (staged_ && !published_)
        TFileOperate::RemoveTree(stagingDir_ + QLatin1Char('/') + leaveOut);
    Publish();
}

QString TOutputStaging::Shown(const QString &message) const
{
    if (!staged_ || published_)
        return message;
    QString reworded = message;
    return reworded.replace(shown(stagingDir_), shown(outputDir_));
}
