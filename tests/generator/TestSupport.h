#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Shared by the generator and command-line tests.
namespace TestSupport {

// tests/fixtures/<caseName> in the source tree.
QString FixtureDir(const QString &caseName);
QStringList FixtureCases();

// Creates an empty model database at path and runs the statements of a model.sql file
// (";" at a line end closes a statement, "--" starts a comment line).
void LoadModel(const QString &databaseFile, const QString &modelSqlFile);
// Runs statements given as text, the same way.
void RunSql(const QString &databaseFile, const QString &sql);

// The generation record's own folder in an output folder, ".velmora/<key>/" relative to it;
// empty when there is none.
QString RecordFolder(const QString &outputDir);

// Every file below dir, as paths relative to it, sorted.
QStringList FilesBelow(const QString &dir);

// Empty when equal; otherwise where the two texts first differ, line number and both lines
// with tabs and carriage returns made visible.
QString FirstDifference(const QByteArray &expected, const QByteArray &actual);

// Empty when the two trees hold the same files with the same bytes; otherwise the first
// missing, extra or differing file with FirstDifference.
QString CompareTrees(const QString &expectedDir, const QString &actualDir);

QByteArray ReadFile(const QString &path);
void WriteFile(const QString &path, const QByteArray &bytes);

// A complete small application skeleton below programDir/bak: the ten folders (each with a
// file, and controller/ with a sub-folder) and the ten files, each holding its own name.
void MakeSkeleton(const QString &programDir);

// The superuser reads every file, so a test of a file that cannot be read must not run as
// the superuser. As root, runs the current test function and row again in a child process as
// the user nobody and records whether it passed; returns true then, and the caller returns.
// Otherwise returns false and the test goes on in this process.
bool RanUnprivileged();

// Writes that would make a file larger than bytes fail ("File too large") while this lives:
// a disk that fills up, file by file, for the whole process.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(qint64 bytes);
    ~TFileSizeLimit();
    TFileSizeLimit(const TFileSizeLimit &) = delete;
    TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;

private:
    qint64 saved_ = -1;
};

} // namespace TestSupport
