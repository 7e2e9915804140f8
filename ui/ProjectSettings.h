#pragma once

#include <QString>

// The settings the window keeps across restarts, in velmora.ini in the program folder: per
// project the table prefix, so the next run names its tables as the last one did; for the
// window its size, place and splitters, and whether successes are shown in a box.
class TProjectSettings {
public:
    explicit TProjectSettings(const QString &programDir);

    // t_ for a project that never had one set.
    QString TablePrefix(int projectId) const;
    // Throws std::runtime_error, worded for the user, when the file cannot be written.
    void SetTablePrefix(int projectId, const QString &prefix) const;

    // Saved window and splitter states; empty when never saved.
    QByteArray WindowState(const QString &key) const;
    // Best effort: a window's shape is not worth a message when the file cannot be written.
    void SetWindowState(const QString &key, const QByteArray &state) const;

    // On unless the user turned it off.
    bool ShowSuccessMessages() const;
    // Throws std::runtime_error, worded for the user, when the file cannot be written.
    void SetShowSuccessMessages(bool show) const;

private:
    void Write(const QString &key, const QVariant &value) const;

    QString file_;
};
