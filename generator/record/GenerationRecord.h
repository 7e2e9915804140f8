#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

class TProjectModel;

// One recorded version of the model: its number and when it was generated.
struct TModelVersion {
    int version = 0;
    QDateTime time;
};

// What the generation record remembers of one generated file, by SHA-256 of its bytes (hex).
struct TRecordedFile {
    QByteArray base;    // the bytes last written in place, the base of the next merge; empty: none
    // Set while new output waits beside the user's file (a conflict, or a file of unknown
    // origin): the output waiting, and the user's file as it was then. Once the user changes
    // the file, the output it was reconciled with becomes the base.
    QByteArray pending;
    QByteArray userAtPending;
};

// The record a generation leaves in the hidden folder .velmora/<key>/ of the output folder,
// where <key> is a random name given when the first record is written:
//   record.json        version, time and, per generated file, its TRecordedFile
//   bases/<sha256>     the bytes of every base, named by their hash, with no extension
//   models/<N>.json    the model as generated in version N, kept for every version
// Nothing in it carries an extension a web server runs, and its own .htaccess refuses it.
// A server that ignores .htaccess (Apache's stock AllowOverride None) still serves any file
// it is asked for by name; the random folder name, and an empty index.html in every folder
// against listings, keep those names from being known.
// Saving writes the contents first and record.json last, so a run killed part-way leaves the
// previous record whole.
class TGenerationRecord {
public:
    static QString FolderName() { return QStringLiteral(".velmora"); }
    static QByteArray Hash(const QByteArray &bytes);

    // The record of outputDir; an empty one (version 0) when there is none or it is unreadable,
    // so that every file differing from the new output is treated as of unknown origin.
    static TGenerationRecord Load(const QString &outputDir);
    // The empty record of a folder that is being built and holds nothing yet: saving it
    // writes its files straight under their names.
    static TGenerationRecord ForNewFolder(const QString &outputDir);

    // The folder of this record's stored bases.
    QString BasesFolder() const;

    int Version() const { return version_; }
    QDateTime Time() const { return time_; }
    QStringList Paths() const;
    std::optional<TRecordedFile> File(const QString &path) const;
    // The stored bytes of a hash; nothing when they are missing, or damaged: bytes that no
    // longer match their hash are never a base to merge from.
    std::optional<QByteArray> Bytes(const QByteArray &hash) const;
    // Whether Bytes found the stored bytes of hash damaged. The next save writes them again.
    bool IsDamaged(const QByteArray &hash) const;

    // Removes the record folders of outputDir that a failed or killed run began and never
    // completed (no record.json). Only while no other run can be writing there.
    static void RemoveIncomplete(const QString &outputDir);

    // The bytes of the snapshot file of a version, as compact JSON: the project's id and name,
    // the prefix and the tables' character set, the classes with their indexes and their members
    // with ids and every field, then the version and its time. A snapshot written before a field
    // existed reads as if it held the field's default.
    static QByteArray SnapshotJson(const TProjectModel &model, const QString &projectName,
                                   const QString &tablePrefix, int version, const QString &time);

    // The versions whose model snapshot outputDir keeps, oldest first, by file name alone.
    static QList<int> VersionNumbers(const QString &outputDir);
    // The same with their times, read from each snapshot (unreadable ones are left out).
    static QList<TModelVersion> Versions(const QString &outputDir);
    // The snapshot of one version; nothing when it is missing or unreadable.
    static std::optional<QJsonObject> LoadSnapshot(const QString &outputDir, int version);
    // The model a snapshot holds, with its classes and members in their recorded order.
    static TProjectModel SnapshotModel(const QJsonObject &snapshot);

    // Writes version Version()+1: new bytes (hash -> bytes), the model's snapshot, then
    // record.json; stored bytes no file refers to any more are removed afterwards. When it
    // fails, a record folder it began is removed again.
    void SaveNext(const QHash<QString, TRecordedFile> &files,
                  const QHash<QByteArray, QByteArray> &newBytes, const TProjectModel &model,
                  const QString &projectName, const QString &tablePrefix) const;

private:
    void SaveInto(const QString &contents, const QHash<QString, TRecordedFile> &files,
                  const QHash<QByteArray, QByteArray> &newBytes, const TProjectModel &model,
                  const QString &projectName, const QString &tablePrefix) const;

    QString outputDir_;
    QString contentsDir_; // .velmora/<key>; empty until a record exists
    int version_ = 0;
    bool newFolder_ = false;
    QDateTime time_;
    QHash<QString, TRecordedFile> files_;
    mutable QSet<QByteArray> damaged_; // stored bytes Bytes found not to match their hash
};
