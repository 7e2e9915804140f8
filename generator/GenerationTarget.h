#pragma once

#include <QString>

// Receives the progress lines of a generation, one at a time and in order.
class TProgressSink {
public:
    virtual ~TProgressSink();
    virtual void Progress(const QString &line) = 0;
};

// Where and for what project the generators write. They read nothing else from the outside.
struct TGenerationTarget {
    int projectId = 0;
    QString projectName;
    QString tablePrefix = QStringLiteral("t_");
    // The program folder; output goes below <outputRoot>/projects/<projectName>/.
    QString outputRoot;
    TProgressSink *sink = nullptr;

    // "projects/<projectName>", the prefix of every progress line's path.
    QString RelativeOutputDir() const { return QStringLiteral("projects/") + projectName; }
    QString OutputDir() const { return outputRoot + QLatin1Char('/') + RelativeOutputDir(); }
    void Report(const QString &line) const
    {
        if (sink)
            sink->Progress(line);
    }
};
