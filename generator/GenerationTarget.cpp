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

void TGenerationTarget::WriteEditableFile(const QString &folder, const QString &fileName,
                                          const QString &text) const
{
    CheckStop();
    const QString relative = folder + QLatin1Char('/') + fileName;
    if (!TFileOperate::Exists(OutputDir() + QLatin1Char('/') + relative)) {
        WriteGeneratedFile(folder, fileName, text);
        return;
    }
    Report(RelativeOutputDir() + QLatin1Char('/') + relative
           + QStringLiteral("已存在，保留原文件，未覆盖!"));
}

void TGenerationTarget::WriteSupportFile(const QString &folder, const QString &fileName,
                                         const QString &text) const
{
    CheckStop();
    const QString directory = OutputDir() + QLatin1Char('/') + folder;
    TFileOperate::SaveFile(directory, directory + QLatin1Char('/') + fileName, text);
}
