#include "TestSupport.h"

#include "generator/output/BackgroundWriter.h"
#include "generator/output/FileOperate.h"
#include "generator/output/GenerationError.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#ifndef Q_OS_WIN
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#endif

using namespace TestSupport;

namespace {
const QByteArray bom("\xEF\xBB\xBF");
}

class TestFileOperate : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void writtenFilesCarryTheMarkAndReplaceOldContent();
    void utf8WithBomEncodesAsToUtf8_data();
    void utf8WithBomEncodesAsToUtf8();
    void loadDropsThreeBytesAndRefusesBrokenUtf8();
    void missingFilesAreReportedByName();
    void saveFileCreatesEveryMissingFolder();
    void copyKeepsTopLevelFilesOnlyWhenAsked();
    void copyOfEmptyFolderCreatesTheDestination();
    void copyOfMissingSourceFailsAndCreatesNothing();
    void unlistableSourceCopiesNothing();
    void copyFileReplacesTheDestination();
    void fullDiskNamesTheSystemsReason_data();
    void fullDiskNamesTheSystemsReason();

private:
    QString path(const QString &relative) const { return dir_->filePath(relative); }

    QScopedPointer<QTemporaryDir> dir_;
    QString workingDir_;
};

void TestFileOperate::init()
{
    dir_.reset(new QTemporaryDir);
    QVERIFY(dir_->isValid());
    workingDir_ = QDir::currentPath();
}

void TestFileOperate::cleanup()
{
    // No operation may move the process's working directory.
    QCOMPARE(QDir::currentPath(), workingDir_);
}

void TestFileOperate::writtenFilesCarryTheMarkAndReplaceOldContent()
{
    const QString file = path(QStringLiteral("a.txt"));
    TFileOperate::WriteUtf8File(QString(), file);
    QCOMPARE(ReadFile(file), bom);

    WriteFile(file, QByteArray(1000, 'x'));
    const QString text = QStringLiteral("<?php\r\n/*学生*/\r\n?>\r\n");
    TFileOperate::WriteUtf8File(text, file);
    QCOMPARE(ReadFile(file), bom + text.toUtf8());
    QCOMPARE(TFileOperate::LoadUtf8File(file), text);
    // Nothing is left beside the file once it is committed.
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.txt")});
}

void TestFileOperate::utf8WithBomEncodesAsToUtf8_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("ascii and CR LF") << QStringLiteral("<?php\r\n?>\r\n");
    QTest::newRow("chinese") << QStringLiteral("学生管理");
    QTest::newRow("outside the BMP") << QStringLiteral("😀 表情");
    QTest::newRow("lone surrogate") << (QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b"));
}

void TestFileOperate::utf8WithBomEncodesAsToUtf8()
{
    QFETCH(QString, text);
    QCOMPARE(TFileOperate::Utf8WithBom(text), bom + text.toUtf8());
}

void TestFileOperate::loadDropsThreeBytesAndRefusesBrokenUtf8()
{
    const QString file = path(QStringLiteral("t.sql"));
    WriteFile(file, "abcdef");
    QCOMPARE(TFileOperate::LoadUtf8File(file), QStringLiteral("def"));
    for (const QByteArray &shortFile : {QByteArray(), QByteArray("ab"), bom}) {
        WriteFile(file, shortFile);
        QCOMPARE(TFileOperate::LoadUtf8File(file), QString());
    }
    // A lead byte without its continuation, and a sequence cut off at the end.
    for (const QByteArray &broken : {bom + "a\xE5" "b", bom + "ab\xE5\xAD"}) {
        WriteFile(file, broken);
        QCOMPARE(TFileOperate::LoadUtf8File(file), QString());
    }
}

void TestFileOperate::missingFilesAreReportedByName()
{
    const QString missing = path(QStringLiteral("nowhere/mysql_dump.sql"));
    try {
        TFileOperate::LoadUtf8File(missing);
        QFAIL("no error for a missing file");
    } catch (const TGenerationError &error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(missing)), qPrintable(error.message()));
    }
    // Writing below a plain file cannot create the file; the error names it.
    WriteFile(path(QStringLiteral("plain")), "x");
    const QString blocked = path(QStringLiteral("plain/out.php"));
    try {
        TFileOperate::WriteUtf8File(QStringLiteral("x"), blocked);
        QFAIL("no error for a file that cannot be created");
    } catch (const TGenerationError &error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(blocked)), qPrintable(error.message()));
    }
    QCOMPARE(ReadFile(path(QStringLiteral("plain"))), QByteArray("x"));

    // A folder standing where the file goes: nothing is replaced and nothing is left behind.
    QVERIFY(QDir().mkpath(path(QStringLiteral("out/Student.class.php/inner"))));
    QVERIFY_THROWS_EXCEPTION(TGenerationError,
        TFileOperate::WriteUtf8File(QStringLiteral("x"), path(QStringLiteral("out/Student.class.php"))));
    QCOMPARE(QDir(path(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("Student.class.php")});
}

void TestFileOperate::saveFileCreatesEveryMissingFolder()
{
    const QString folder = path(QStringLiteral("projects/学校/phpbean"));
    const QString file = folder + QStringLiteral("/Student.class.php");
    TFileOperate::SaveFile(folder, file, QStringLiteral("x\r\n"));
    QCOMPARE(ReadFile(file), bom + "x\r\n");
}

void TestFileOperate::copyKeepsTopLevelFilesOnlyWhenAsked()
{
    WriteFile(path(QStringLiteral("src/a.txt")), "new a");
    WriteFile(path(QStringLiteral("src/.hidden")), "new hidden");
    WriteFile(path(QStringLiteral("src/sub/b.txt")), "new b");
    WriteFile(path(QStringLiteral("src/sub/deeper/c.txt")), "new c");
    WriteFile(path(QStringLiteral("dst/a.txt")), "old a");
    WriteFile(path(QStringLiteral("dst/sub/b.txt")), "old b");

    QVERIFY(TFileOperate::CopyDirectory(path(QStringLiteral("src")), path(QStringLiteral("dst")), true));
    QCOMPARE(ReadFile(path(QStringLiteral("dst/a.txt"))), QByteArray("old a"));
    QCOMPARE(ReadFile(path(QStringLiteral("dst/.hidden"))), QByteArray("new hidden"));
    QCOMPARE(ReadFile(path(QStringLiteral("dst/sub/b.txt"))), QByteArray("new b"));
    QCOMPARE(ReadFile(path(QStringLiteral("dst/sub/deeper/c.txt"))), QByteArray("new c"));

    QVERIFY(TFileOperate::CopyDirectory(path(QStringLiteral("src")), path(QStringLiteral("dst")), false));
    QCOMPARE(ReadFile(path(QStringLiteral("dst/a.txt"))), QByteArray("new a"));
}

void TestFileOperate::copyOfEmptyFolderCreatesTheDestination()
{
    QVERIFY(QDir().mkpath(path(QStringLiteral("empty"))));
    QVERIFY(TFileOperate::CopyDirectory(path(QStringLiteral("empty")), path(QStringLiteral("out/empty")), true));
    QVERIFY(QFileInfo(path(QStringLiteral("out/empty"))).isDir());
}

void TestFileOperate::copyOfMissingSourceFailsAndCreatesNothing()
{
    QVERIFY_THROWS_EXCEPTION(TGenerationError,
        TFileOperate::CopyDirectory(path(QStringLiteral("missing")), path(QStringLiteral("dst")), true));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("dst"))));
    // A sub-folder that disappears is no different: the error passes out.
    WriteFile(path(QStringLiteral("file")), "x");
    QVERIFY_THROWS_EXCEPTION(TGenerationError,
        TFileOperate::CopyDirectory(path(QStringLiteral("file")), path(QStringLiteral("dst")), true));
}

void TestFileOperate::unlistableSourceCopiesNothing()
{
#ifdef Q_OS_WIN
    QSKIP("folder permissions are not modelled on Windows");
#else
    if (RanUnprivileged())
        return;
    WriteFile(path(QStringLiteral("locked/a.txt")), "a");
    QFile::setPermissions(path(QStringLiteral("locked")), QFile::ExeOwner);
    const bool copied = TFileOperate::CopyDirectory(path(QStringLiteral("locked")), path(QStringLiteral("dst")), true);
    QFile::setPermissions(path(QStringLiteral("locked")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!copied);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("dst"))));
#endif
}

void TestFileOperate::copyFileReplacesTheDestination()
{
    WriteFile(path(QStringLiteral("ok.php")), "new");
    WriteFile(path(QStringLiteral("out/ok.php")), "old and longer");
    TFileOperate::CopyFile(path(QStringLiteral("ok.php")), path(QStringLiteral("out/ok.php")));
    QCOMPARE(ReadFile(path(QStringLiteral("out/ok.php"))), QByteArray("new"));
    // Only the very same bytes are left in place, not merely the same length.
    WriteFile(path(QStringLiteral("out/ok.php")), "old");
    TFileOperate::CopyFile(path(QStringLiteral("ok.php")), path(QStringLiteral("out/ok.php")));
    QCOMPARE(ReadFile(path(QStringLiteral("out/ok.php"))), QByteArray("new"));
    QVERIFY_THROWS_EXCEPTION(TGenerationError,
        TFileOperate::CopyFile(path(QStringLiteral("gone.php")), path(QStringLiteral("out/gone.php"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("out/gone.php"))));
}

void TestFileOperate::fullDiskNamesTheSystemsReason_data()
{
    QTest::addColumn<QString>("write");
    QTest::addColumn<bool>("killed"); // the process ends at the limit, as by kill -9
    QTest::newRow("written text") << QStringLiteral("text") << false;
    QTest::newRow("copied file") << QStringLiteral("copy") << false;
    QTest::newRow("copied file, process killed") << QStringLiteral("copy") << true;
    QTest::newRow("base written in the background, process killed") << QStringLiteral("base") << true;
}

// A file-size limit stands in for a full disk: the write fails part-way with the system's
// own reason, which the message must carry.
void TestFileOperate::fullDiskNamesTheSystemsReason()
{
#ifdef Q_OS_WIN
    QSKIP("file-size limits are a POSIX facility");
#else
    QFETCH(QString, write);
    QFETCH(bool, killed);
    const QByteArray big(256 * 1024, 'x');
    WriteFile(path(QStringLiteral("big.txt")), big);
    // A stored base is new under its name; the others replace an old file.
    const QByteArray old = write == QLatin1String("base") ? QByteArray() : QByteArray("old");
    if (!old.isEmpty())
        WriteFile(path(QStringLiteral("out/target.txt")), old);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    const auto run = [&]() -> QString {
        try {
            if (write == QLatin1String("copy")) {
                TFileOperate::CopyFile(path(QStringLiteral("big.txt")), path(QStringLiteral("out/target.txt")));
            } else if (write == QLatin1String("text")) {
                TFileOperate::WriteUtf8File(QString::fromLatin1(big), path(QStringLiteral("out/target.txt")));
            } else {
                TBackgroundWriter writer;
                writer.Save(path(QStringLiteral("out")), path(QStringLiteral("out/target.txt")), big);
                writer.Finish();
            }
        } catch (const TGenerationError &error) {
            return error.message();
        }
        return QString();
    };
    if (killed) {
        const pid_t child = fork();
        if (child == 0) {
            setrlimit(RLIMIT_FSIZE, &small);
            run();
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
    } else {
        const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const QString message = run();
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, oldHandler);
        QVERIFY2(message.contains(QString::fromLocal8Bit(strerror(EFBIG))), qPrintable(message));
        QVERIFY(message.contains(QStringLiteral("target.txt")));
        QCOMPARE(QDir(path(QStringLiteral("out"))).entryList(QDir::Files), QStringList{QStringLiteral("target.txt")});
    }
    // Never a torn file under the name: the old one, or none. A killed write leaves its
    // temporary file, which the next run clears.
    if (old.isEmpty())
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("out/target.txt"))));
    else
        QCOMPARE(ReadFile(path(QStringLiteral("out/target.txt"))), old);
#endif
}

QTEST_GUILESS_MAIN(TestFileOperate)
#include "tst_fileoperate.moc"
