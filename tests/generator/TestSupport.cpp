#include "TestSupport.h"

#include "model/DbHelper.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace TestSupport {

namespace {
// A child run as another user reads its copy of the fixtures, named by this variable.
const char fixturesVariable[] = "VELMORA_TEST_FIXTURES";

QString fixturesRoot()
{
    const QString copy = qEnvironmentVariable(fixturesVariable);
    return copy.isEmpty() ? QStringLiteral(VELMORA_SOURCE_DIR "/tests/fixtures") : copy;
}
} // namespace

QString FixtureDir(const QString &caseName)
{
    return fixturesRoot() + QLatin1Char('/') + caseName;
}

QStringList FixtureCases()
{
    return QDir(fixturesRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

void RunSql(const QString &databaseFile, const QString &sql)
{
    const TDbHelper db(databaseFile);
    QString statement;
    for (const QString &line : sql.split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("--")))
            continue;
        statement += line + QLatin1Char('\n');
        if (line.trimmed().endsWith(QLatin1Char(';'))) {
            db.ExecuteSql(statement);
            statement.clear();
        }
    }
}

void LoadModel(const QString &databaseFile, const QString &modelSqlFile)
{
    TDbHelper::CreateEmptyDatabase(databaseFile);
    RunSql(databaseFile, QString::fromUtf8(ReadFile(modelSqlFile)));
}

QString RecordFolder(const QString &outputDir)
{
    const QStringList keys = QDir(outputDir + QStringLiteral("/.velmora")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return keys.size() == 1 ? QStringLiteral(".velmora/") + keys.first() + QLatin1Char('/') : QString();
}

QStringList FilesBelow(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(dir).relativeFilePath(it.next()));
    files.sort();
    return files;
}

namespace {
QString visible(QByteArray line)
{
    line.replace('\t', "\\t");
    line.replace('\r', "\\r");
    return QString::fromUtf8(line);
}
} // namespace

QString FirstDifference(const QByteArray &expected, const QByteArray &actual)
{
    if (expected == actual)
        return QString();
    const QList<QByteArray> e = expected.split('\n');
    const QList<QByteArray> a = actual.split('\n');
    for (qsizetype i = 0; i < qMax(e.size(), a.size()); ++i) {
        const QByteArray el = e.value(i);
        const QByteArray al = a.value(i);
        if (el != al || i >= e.size() || i >= a.size()) {
            return QStringLiteral("line %1\n  expected: %2\n  actual:   %3")
                .arg(i + 1)
                .arg(i < e.size() ? visible(el) : QStringLiteral("(end of file)"),
                     i < a.size() ? visible(al) : QStringLiteral("(end of file)"));
        }
    }
    return QStringLiteral("files differ");
}

QString CompareTrees(const QString &expectedDir, const QString &actualDir)
{
    const QStringList expected = FilesBelow(expectedDir);
    const QStringList actual = FilesBelow(actualDir);
    for (const QString &file : expected) {
        if (!actual.contains(file))
            return QStringLiteral("missing file %1").arg(file);
    }
    for (const QString &file : actual) {
        if (!expected.contains(file))
            return QStringLiteral("unexpected file %1").arg(file);
    }
    for (const QString &file : expected) {
        const QString diff = FirstDifference(ReadFile(expectedDir + QLatin1Char('/') + file),
                                             ReadFile(actualDir + QLatin1Char('/') + file));
        if (!diff.isEmpty())
            return file + QStringLiteral(": ") + diff;
    }
    return QString();
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

void MakeSkeleton(const QString &programDir)
{
    const QString bak = programDir + QStringLiteral("/bak/");
    for (const char *folder : {".settings", "controller", "css", "database", "images", "js", "manage",
                               "opennew", "service", "upload", "util"}) {
        const QString name = QString::fromLatin1(folder);
        WriteFile(bak + name + QStringLiteral("/readme.txt"), name.toUtf8());
    }
    WriteFile(bak + QStringLiteral("controller/sub/inner.txt"), "inner");
    for (const char *file : {".buildpath", ".project", "about.html", "changePassword.php",
                             "desk.php", "error.php", "index.php", "login.php", "logout.php",
                             "ok.php", ".htaccess"})
        WriteFile(bak + QString::fromLatin1(file), file);
}

#ifndef Q_OS_WIN
namespace {
constexpr QFile::Permissions everyoneReads = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
    | QFile::ReadOther;
constexpr QFile::Permissions everyoneRuns = everyoneReads | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

// Copies a tree so that every user may read it.
bool copyReadable(const QString &from, const QString &to)
{
    if (!QDir().mkpath(to) || !QFile::setPermissions(to, everyoneRuns))
        return false;
    for (const QFileInfo &entry : QDir(from).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isDir() ? !copyReadable(entry.filePath(), target)
                          : !QFile::copy(entry.filePath(), target) || !QFile::setPermissions(target, everyoneReads))
            return false;
    }
    return true;
}
} // namespace
#endif

bool RanUnprivileged()
{
#ifdef Q_OS_WIN
    return false;
#else
    if (geteuid() != 0)
        return false;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) {
        QTest::qSkip("the superuser reads every file, and setpriv is missing to run as another user",
                     __FILE__, __LINE__);
        return true;
    }
    QString test = QString::fromLatin1(QTest::currentTestFunction());
    if (QTest::currentDataTag())
        test += QLatin1Char(':') + QString::fromUtf8(QTest::currentDataTag());
    // The source and build folders may lie below a folder only root may enter (a clone in a
    // private folder): the child gets the program and the fixtures in a folder it can read.
    QTemporaryDir shared;
    const QString program = shared.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    if (!shared.isValid() || !QFile::setPermissions(shared.path(), everyoneRuns)
        || !QFile::copy(QCoreApplication::applicationFilePath(), program)
        || !QFile::setPermissions(program, everyoneRuns)
        || !copyReadable(fixturesRoot(), shared.filePath(QStringLiteral("fixtures")))) {
        QTest::qFail("cannot copy the test program and its fixtures for the user nobody", __FILE__, __LINE__);
        return true;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(fixturesVariable), shared.filePath(QStringLiteral("fixtures")));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(shared.path());
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(setpriv, {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                          QStringLiteral("--clear-groups"), program, test});
    const bool ended = child.waitForFinished(120000) && child.exitStatus() == QProcess::NormalExit;
    // setpriv's own codes when it cannot start the program (a temporary folder mounted noexec).
    if (ended && (child.exitCode() == 126 || child.exitCode() == 127)) {
        QTest::qSkip("the user nobody cannot start this test program", __FILE__, __LINE__);
        return true;
    }
    QTest::qVerify(ended && child.exitCode() == 0, "the test run as the user nobody", qPrintable(test),
                   __FILE__, __LINE__);
    return true;
#endif
}

TFileSizeLimit::TFileSizeLimit(qint64 bytes)
{
#ifndef Q_OS_WIN
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    saved_ = qint64(limit.rlim_cur);
    limit.rlim_cur = rlim_t(bytes);
    // A write past the limit fails with EFBIG instead of ending the process.
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
#else
    Q_UNUSED(bytes);
#endif
}

TFileSizeLimit::~TFileSizeLimit()
{
#ifndef Q_OS_WIN
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(saved_);
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_DFL);
#endif
}

} // namespace TestSupport
