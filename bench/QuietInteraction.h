#pragma once

#include "ui/UserInteraction.h"

#include <cstdio>

// The benchmarks' hand: any box a run would show is printed instead, nothing is opened.
class TQuietInteraction : public TUserInteraction {
public:
    void message(QWidget *, const QString &text, TMessageKind, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool confirm(QWidget *, const QString &, const QString &) override { return false; }
    QString input(QWidget *, const QString &, const QString &, const QString &defaultText) override
    {
        return defaultText;
    }
    std::optional<QString> password(QWidget *, const QString &, const QString &) override { return std::nullopt; }
    bool open(const QUrl &) override { return true; }
    bool previewRegeneration(QWidget *, const QList<TPlannedFile> &,
                             const TRegenerationCounts &) override
    {
        return false;
    }
    QString chooseFile(QWidget *, bool, const QString &, const QString &, const QString &) override
    {
        return QString();
    }
};
