#include "GenerationTarget.h"

#include "FileOperate.h"

TProgressSink::~TProgressSink() = default;

void TGenerationTarget::CheckStop() const
{
    if (stopRequested && stopRequested())
        throw TGenerationStopped();
}

void TGenerationTarget::WriteGeneratedFile(const QString &folder, const QString &fileName,
                                           const QString &text) const
{
    CheckStop();
    const QString directory = OutputDir() + QLatin1Char('/') + folder;
    TFileOperate::SaveFile(directory, directory + QLatin1Char('/') + fileName, text);
    Report(RelativeOutputDir() + QLatin1Char('/') + folder + QLatin1Char('/') + fileName
           + QStringLiteral("生成完毕!"));
}
