#pragma once

#include <QString>

#include <functional>

// Receives the progress lines of a generation, one at a time and in order.
class TProgressSink {
public:
    virtual ~TProgressSink();
    virtual void Progress(const QString &line) = 0;
};

// Thrown between two files when the caller asked the generation to stop.
class TGenerationStopped {};

// Where and for what project the generators write. They read nothing else from the outside.
struct TGenerationTarget {
    int projectId = 0;
    QString projectName;
    QString tablePrefix = QStringLiteral("t_");
    // The program folder; output goes below <outputRoot>/projects/<projectName>/.
    QString outputRoot;
    TProgressSink *sink = nullptr;
    // Asked before each file; true makes the generation stop there (TGenerationStopped).
    std::function<bool()> stopRequested;

    // "projects/<projectName>", the prefix of every progress line's path.
    QString RelativeOutputDir() const { return QStringLiteral("projects/") + projectName; }
    QString OutputDir() const { return outputRoot + QLatin1Char('/') + RelativeOutputDir(); }
    void Report(const QString &line) const
    {
        if (sink)
            sink->Progress(line);
    }
    // Throws TGenerationStopped when a stop was requested.
    void CheckStop() const;

    // Writes <folder>/<fileName> of the output (UTF-8 with byte-order mark, folder created
    // when missing) and reports "projects/<project>/<folder>/<fileName>生成完毕!".
    void WriteGeneratedFile(const QString &folder, const QString &fileName,
                            const QString &text) const;

    // A file users are expected to edit (a management page): written like WriteGeneratedFile
    // when it is missing; one that exists is kept as it is and reported as kept.
    void WriteEditableFile(const QString &folder, const QString &fileName,
                           const QString &text) const;

    // A file the generated application reads beside a generated one (not for editing):
    // always written, with no line of its own in the log.
    void WriteSupportFile(const QString &folder, const QString &fileName,
                          const QString &text) const;
};
