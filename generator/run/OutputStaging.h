#pragma once

#include <QString>

// Where a run puts its files on the disk. An output folder that does not exist yet is built
// under a hidden name beside it and renamed into place once at the end, so its files can be
// written straight under their names (a killed run leaves no half-written file in the output
// folder, only the hidden one, which the next run clears). An existing folder is written in
// place, file by file, each through a temporary name.
class TOutputStaging {
public:
    // outputDir: the project's output folder. A dry run stages nothing.
    TOutputStaging(const QString &outputDir, bool dryRun);

    // Clears what a killed run left and creates the hidden folder when the output is new.
    // Only under the output folder's lock: the hidden folder may be another run's.
    // When that folder cannot be made, the run writes in place as for an existing folder.
    void Begin();
    bool Staged() const { return staged_; }
    // The folder the run's files go to.
    QString WriteDir() const { return staged_ && !published_ ? stagingDir_ : outputDir_; }
    // Moves a staged folder into place (the files written so far, when the run did not end);
    // nothing to do otherwise. Safe to call more than once. When the output folder's name was
    // taken meanwhile, removes the staged folder and throws.
    void Publish();
    // The same for a run that did not end: leaveOut (a folder below the output folder, such
    // as the record's, which only a complete run writes) is removed first.
    void PublishIncomplete(const QString &leaveOut);
    // A message naming files in the hidden folder, reworded to name them where they end up.
    QString Shown(const QString &message) const;

private:
    QString outputDir_;
    QString stagingDir_;
    bool dryRun_;
    bool staged_ = false;
    bool published_ = false;
};
