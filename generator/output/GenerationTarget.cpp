#include "GenerationTarget.h"

#include "FileOperate.h"

TProgressSink::~TProgressSink() = default;
TFilePlacer::~TFilePlacer() = default;

void TGenerationTarget::CheckStop() const
{
    if (stopRequested && stopRequested())
        throw TGenerationStopped();
}

void TGenerationTarget::WriteGeneratedFile(const QString &folder, const QString &fileName,
                                           const QString &text) const
{
    CheckStop();
    if (placer) {
        const QString line = placer->Place(folder + QLatin1Char('/') + fileName,
                                           TFileOperate::Utf8WithBom(text));
        if (!line.isEmpty())
            Report(line);
        return;
    }
    const QString directory = OutputDir() + QLatin1Char('/') + folder;
    TFileOperate::SaveFile(directory, directory + QLatin1Char('/') + fileName, text);
    Report(RelativeOutputDir() + QLatin1Char('/') + folder + QLatin1Char('/') + fileName
           + QStringLiteral("生成完毕!"));
}

void TGenerationTarget::WriteSupportFile(const QString &folder, const QString &fileName,
                                         const QString &text) const
{
    CheckStop();
    if (dryRun)
        return;
    if (placer) {
        placer->PlaceSupport(folder + QLatin1Char('/') + fileName, TFileOperate::Utf8WithBom(text));
        return;
    }
    const QString directory = OutputDir() + QLatin1Char('/') + folder;
    TFileOperate::SaveFile(directory, directory + QLatin1Char('/') + fileName, text);
}
