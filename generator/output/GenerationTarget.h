#pragma once

#include <QString>

#include <functional>

// Receives the progress lines of a generation, one at a time and in order.
class TProgressSink {
public:
    virtual ~TProgressSink();
    virtual void Progress(const QString &line) = 0;
};

// Puts one generated file in place, deciding what becomes of a file already there, and
// words its log line (empty: nothing to log).
class TFilePlacer {
public:
    virtual ~TFilePlacer();
    // path is below the output folder ("controller/StudentAction.php"); bytes are the whole file.
    virtual QString Place(const QString &path, const QByteArray &bytes) = 0;
    // Writes a file the generated application reads and nobody edits, replacing what is there.
    virtual void PlaceSupport(const QString &path, const QByteArray &bytes) = 0;
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
    // When set, generated files go through it instead of replacing what is there.
    TFilePlacer *placer = nullptr;
    // A preview: the placer decides without writing, and support files are not written.
    bool dryRun = false;
    // Where the output folder's files go on the disk when not OutputDir() itself (a new
    // folder built under another name); empty: OutputDir().
    QString writeDir;

    // "projects/<projectName>", the prefix of every progress line's path.
    QString RelativeOutputDir() const { return QStringLiteral("projects/") + projectName; }
    QString OutputDir() const { return outputRoot + QLatin1Char('/') + RelativeOutputDir(); }
    QString WriteDir() const { return writeDir.isEmpty() ? OutputDir() : writeDir; }
    void Report(const QString &line) const
    {
        if (sink)
            sink->Progress(line);
    }
    // Throws TGenerationStopped when a stop was requested.
    void CheckStop() const;

    // Writes <folder>/<fileName> of the output (UTF-8 with byte-order mark, folder created
    // when missing) and reports "projects/<project>/<folder>/<fileName>生成完毕!"; with a
    // placer, hands the file to it and reports its line.
    void WriteGeneratedFile(const QString &folder, const QString &fileName,
                            const QString &text) const;

    // A file the generated application reads beside a generated one (not for editing):
    // always written (but not in a dry run), with no line of its own in the log.
    void WriteSupportFile(const QString &folder, const QString &fileName,
                          const QString &text) const;
};
