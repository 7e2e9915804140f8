#pragma once

#include <QString>

// The settings the window keeps per project across restarts, in velmora.ini in the program
// folder: today the table prefix, so the next run names its tables as the last one did.
class TProjectSettings {
public:
    explicit TProjectSettings(const QString &programDir);

    // t_ for a project that never had one set.
    QString TablePrefix(int projectId) const;
    // Throws std::runtime_error, worded for the user, when the file cannot be written.
    void SetTablePrefix(int projectId, const QString &prefix) const;

private:
    QString file_;
};
