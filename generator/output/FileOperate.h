#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// All disk work of generation. Every text file written is UTF-8 behind the byte-order mark
// EF BB BF, and goes through a save-then-commit file, so a failed write never leaves half a
// file behind. Paths are used as given; the working directory is never changed.
// Failures are thrown as TGenerationError, worded for the user and naming the file.
class TFileOperate {
public:
    // Creates directory with every missing parent, then writes fileName (a complete path of
    // its own, not joined with directory) like WriteUtf8File.
    static void SaveFile(const QString &directory, const QString &fileName, const QString &text);

    // Replaces fileName (or creates it) with the byte-order mark followed by text in UTF-8.
    static void WriteUtf8File(const QString &text, const QString &fileName);

    // The text of fileName after its first three bytes, whatever they hold. A file of three
    // bytes or fewer, or whose rest is not well-formed UTF-8, yields empty text.
    static QString LoadUtf8File(const QString &fileName);

    // The text of fileName, behind its byte-order mark when it has one. Throws naming the file
    // when it cannot be read or is not well-formed UTF-8.
    static QString ReadUtf8Text(const QString &fileName);

    // The first folder below path (path included) that cannot be listed, or file that cannot
    // be opened for reading or is no plain file (a pipe, a device), shown for the user; empty
    // text when all of it can be read.
    static QString FindUnreadable(const QString &path);

    // Where CopyDirectory and CopyFile write: a folder that may hold files already, or one
    // being built that nobody sees before it is complete (a staged output folder), whose files
    // are written straight under their names like WriteNewFile.
    enum class TInto { ExistingFolder, NewFolder };
    // Copies the tree below source into destination, creating destination when missing.
    // With failIfExists, files at the top level of source that already exist in destination
    // keep their content; files in sub-folders are always replaced.
    // Returns false, copying nothing, when source can be entered but not listed.
    // Throws when source cannot be entered, or a folder or file cannot be written.
    static bool CopyDirectory(const QString &source, const QString &destination, bool failIfExists,
                              TInto into = TInto::ExistingFolder);

    // Whether anything (file, folder or link) is at path.
    static bool Exists(const QString &path);

    // Copies one file, replacing destination when it exists. A destination that already holds
    // the same bytes is left as it is.
    static void CopyFile(const QString &source, const QString &destination,
                         TInto into = TInto::ExistingFolder);

    // Whether fileName is a plain file (no link) holding exactly bytes.
    static bool Holds(const QString &fileName, const QByteArray &bytes);
    // The bytes WriteUtf8File writes for text.
    static QByteArray Utf8WithBom(const QString &text);
    // Like SaveFile, with the bytes written as they are.
    static void SaveBytes(const QString &directory, const QString &fileName, const QByteArray &bytes);
    // The whole file; nothing when it does not exist. Throws when it exists but cannot be read
    // (a folder, a pipe, no permission): such a file is never taken for a missing one.
    static std::optional<QByteArray> ReadBytes(const QString &fileName);
    // The names of the plain files directly in directory; none when it does not exist.
    static QStringList FileNames(const QString &directory);
    // The names of the folders in directory, sorted; none when it does not exist.
    static QStringList FolderNames(const QString &directory);
    // Removes a file; one already gone is no failure.
    static void RemoveFile(const QString &fileName);
    // Writes a file that must not exist yet, straight under its name: for a folder that nobody
    // sees before it is complete (a staged output folder), where a temporary name per file only
    // costs time. A write that fails removes the file again. Creates directory first unless
    // createDirectory is false.
    static void WriteNewFile(const QString &directory, const QString &fileName,
                             const QByteArray &bytes, bool createDirectory = true);
    // Creates a folder with every missing parent; false when it cannot.
    static bool TryCreateFolder(const QString &path);
    // Renames a folder in one step; throws naming both when it cannot.
    static void RenameFolder(const QString &from, const QString &to);
    // Removes a folder and everything below it; one already gone is no failure.
    static void RemoveTree(const QString &path);
    // Removes, below directory, the temporary files of writes that never committed, as a
    // killed run leaves them. Returns how many were removed.
    static int RemoveTemporaryFiles(const QString &directory);
};
