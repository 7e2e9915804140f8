#include "TestSupport.h"

#include "generator/run/AutoCode.h"
#include "model/DbHelper.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace TestSupport;

namespace {

// Stands in for the main window: receives the run's signals on the test's thread, through
// blocking queued connections as the window does, and writes down each one in order.
class TWindow : public QObject {
    Q_OBJECT
public:
    QStringList events;
    std::function<void()> onProgress; // called inside the first progress handler, if set

    void Attach(TAutoCode &run)
    {
        const auto blocking = Qt::BlockingQueuedConnection;
        connect(&run, &TAutoCode::Progress, this, [this](const QString &line) {
            events << QStringLiteral("log:") + line;
            if (onProgress)
                std::exchange(onProgress, nullptr)();
        }, blocking);
        connect(&run, &TAutoCode::KeyMemberError, this,
                [this](int id) { events << QStringLiteral("key:%1").arg(id); }, blocking);
        connect(&run, &TAutoCode::DisplayMemberError, this,
                [this](int id) { events << QStringLiteral("display:%1").arg(id); }, blocking);
        connect(&run, &TAutoCode::ModelError, this,
                [this](const QString &m) { events << QStringLiteral("model:") + m; }, blocking);
        connect(&run, &TAutoCode::FurtherModelFindings, this,
                [this](const QStringList &m) { events << QStringLiteral("further:") + m.join(QLatin1Char('|')); }, blocking);
        connect(&run, &TAutoCode::GenerationFailed, this,
                [this](const QString &r) { events << QStringLiteral("failed:") + r; }, blocking);
        connect(&run, &TAutoCode::GenerationDone, this,
                [this] { events << QStringLiteral("done"); }, blocking);
    }
};

} // namespace

class TestRun : public QObject {
    Q_OBJECT

private slots:
    void init();

    void completeRunLogsEveryStepInOrder();
    void secondRunKeepsTopLevelTemplateFilesOnly();
    void failedChecksWriteNothing_data();
    void failedChecksWriteNothing();
    void missingSkeletonIsReportedBeforeWriting();
    void unreadableSkeletonIsReportedBeforeWriting_data();
    void unreadableSkeletonIsReportedBeforeWriting();
    void unwritableOutputIsReported();
    void stopRequestEndsTheRunBetweenFiles();

private:
    // Runs a generation of the fixture's project to its end, as the window would.
    QStringList run(const QString &projectName, const QString &prefix = QStringLiteral("app_"),
                    std::function<void(TAutoCode &)> onFirstLine = {});
    QString output(const QString &relative = QString()) const
    {
        return dir_->filePath(QStringLiteral("projects/campus/") + relative);
    }

    QScopedPointer<QTemporaryDir> dir_;
    QString database_;
};

void TestRun::init()
{
    dir_.reset(new QTemporaryDir);
    database_ = dir_->filePath(QStringLiteral("projects.mdb"));
    LoadModel(database_, FixtureDir(QStringLiteral("branches")) + QStringLiteral("/model.sql"));
    TDbHelper::SetDefaultDatabaseFile(database_);
    MakeSkeleton(dir_->path());
}

QStringList TestRun::run(const QString &projectName, const QString &prefix,
                         std::function<void(TAutoCode &)> onFirstLine)
{
    TAutoCode generation(1, projectName, prefix, dir_->path());
    TWindow window;
    window.Attach(generation);
    if (onFirstLine)
        window.onProgress = [&] { onFirstLine(generation); };
    generation.start();
    if (!QTest::qWaitFor([&] { return generation.isFinished(); }, 60000))
        qFatal("the generation run did not end");
    return window.events;
}

void TestRun::completeRunLogsEveryStepInOrder()
{
    const QStringList events = run(QStringLiteral("campus"));

    QStringList expected;
    const QStringList classes{"Clazz", "Major", "Tag", "Student", "Album", "Transfer"};
    for (const QString &cls : classes)
        expected << QStringLiteral("log:projects/campus/phpbean/%1.class.php生成完毕!").arg(cls);
    for (const QString &cls : classes)
        expected << QStringLiteral("log:projects/campus/controller/%1Action.php生成完毕!").arg(cls);
    for (const QString &cls : classes)
        expected << QStringLiteral("log:projects/campus/service/%1Service.class.php生成完毕!").arg(cls);
    for (const QString &cls : classes)
        expected << QStringLiteral("log:projects/campus/%1/%2Manage.php生成完毕!").arg(cls, cls.toLower());
    for (const char *line : {
             "正在移动资源文件。。。",
             "移动projects/campus/.settings文件夹完毕！",
             "移动projects/campus/controller文件夹完毕！",
             "移动projects/campus/css文件夹完毕!",
             "移动projects/campus/database文件夹完毕！",
             "移动projects/campus/images文件夹完毕！",
             "移动projects/campus/js文件夹完毕！",
             "移动projects/campus/manage文件夹完毕！",
             "移动projects/campus/opennew文件夹完毕！",
             "移动projects/campus/service文件夹完毕！",
             "移动projects/campus/upload文件夹完毕！",
             "移动projects/campus/util文件夹完毕！",
             "移动projects/campus/.buildpath完毕!",
             "移动projects/campus/.project完毕!",
             "移动projects/campus/about.html完毕",
             "移动projects/campus/changePassword.php完毕!",
             "移动projects/campus/desk.php完毕!",
             "移动projects/campus/error.php完毕!",
             "移动projects/campus/index.php完毕!",
             "移动projects/campus/login.php完毕!",
             "移动projects/campus/logout.php完毕!",
             "移动projects/campus/ok.php完毕!",
             "移动projects/campus/.htaccess完毕!",
             "移动资源文件完毕!"})
        expected << QStringLiteral("log:") + QString::fromUtf8(line);
    expected << QStringLiteral("log:生成结果: 新建24个, 更新0个, 无变化0个, 保留你的修改0个, 合并0个, "
                               "冲突0个, 另存0个, 孤立0个")
             << QStringLiteral("done");
    QCOMPARE(events, expected);
    QCOMPARE(events.size(), 4 * classes.size() + 24 + 2);

    // The generated files are those of the golden case, beside the whole skeleton.
    const QString golden = FixtureDir(QStringLiteral("branches")) + QStringLiteral("/expected/projects/campus/");
    for (const QString &file : FilesBelow(golden))
        QCOMPARE(ReadFile(output(file)), ReadFile(golden + file));
    for (const QString &file : FilesBelow(dir_->filePath(QStringLiteral("bak"))))
        QCOMPARE(ReadFile(output(file)), ReadFile(dir_->filePath(QStringLiteral("bak/")) + file));
}

void TestRun::secondRunKeepsTopLevelTemplateFilesOnly()
{
    QCOMPARE(run(QStringLiteral("campus")).constLast(), QStringLiteral("done"));
    WriteFile(output(QStringLiteral("controller/readme.txt")), "edited");
    WriteFile(output(QStringLiteral("controller/sub/inner.txt")), "edited");
    WriteFile(output(QStringLiteral("ok.php")), "edited");
    WriteFile(output(QStringLiteral("phpbean/Tag.class.php")), "edited");
    // An edited page is kept, and said so; its field description follows the model.
    WriteFile(output(QStringLiteral("Tag/tagManage.php")), "edited");
    WriteFile(output(QStringLiteral("Tag/tag.fields.json")), "edited");

    const QStringList events = run(QStringLiteral("campus"));
    QCOMPARE(events.constLast(), QStringLiteral("done"));
    QCOMPARE(events.at(3 * 6 + 2),
             QStringLiteral("log:projects/campus/Tag/tagManage.php已被修改，新生成的代码与上次相同，保留你的修改!"));
    QCOMPARE(ReadFile(output(QStringLiteral("Tag/tagManage.php"))), QByteArray("edited"));
    QVERIFY(ReadFile(output(QStringLiteral("Tag/tag.fields.json"))).startsWith("\xEF\xBB\xBF{"));
    QCOMPARE(ReadFile(output(QStringLiteral("controller/readme.txt"))), QByteArray("edited"));
    QCOMPARE(ReadFile(output(QStringLiteral("controller/sub/inner.txt"))), QByteArray("inner"));
    QCOMPARE(ReadFile(output(QStringLiteral("ok.php"))), QByteArray("ok.php"));
    // A generated file edited by hand is the user's now.
    QCOMPARE(ReadFile(output(QStringLiteral("phpbean/Tag.class.php"))), QByteArray("edited"));
}

void TestRun::failedChecksWriteNothing_data()
{
    QTest::addColumn<QString>("projectName");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("event");
    QTest::newRow("no key member")
        << QStringLiteral("campus") << QStringLiteral("update t_member set memberIsPri=0 where classId=3;")
        << QStringLiteral("key:3");
    QTest::newRow("two key members")
        << QStringLiteral("campus") << QStringLiteral("update t_member set memberIsPri=1 where classId=2;")
        << QStringLiteral("key:2");
    QTest::newRow("two display members")
        << QStringLiteral("campus") << QStringLiteral("update t_member set memberIsDisplay=1 where classId=5;")
        << QStringLiteral("display:5");
    QTest::newRow("reference to a missing class")
        << QStringLiteral("campus") << QStringLiteral("delete from t_class where classId=2;")
        << QStringLiteral("model:Student类的成员major引用的类Major不存在或没有主键!");
    QTest::newRow("project name leaving the output folder")
        << QStringLiteral("../campus") << QString() << QStringLiteral("model:项目名称\"../campus\"不能用作文件夹名称，请修改项目名称!");
    QTest::newRow("class name with a folder in it")
        << QStringLiteral("campus") << QStringLiteral("update t_class set className='Tag/../../x' where classId=3;")
        << QStringLiteral("model:类名\"Tag/../../x\"不能用作文件名称，请修改类名!");
    QTest::newRow("member named this")
        << QStringLiteral("campus") << QStringLiteral("update t_member set memberName='this' where memberName='intro';")
        << QStringLiteral("model:Major类的成员\"this\"是保留字(this或MySQL的保留字)，请修改成员名称!");
    QTest::newRow("key member, then the rest")
        << QStringLiteral("campus") << QStringLiteral("update t_member set memberIsPri=0 where classId=3;\n"
                                                      "update t_class set className='List' where classId=6;")
        << QStringLiteral("key:3\nfurther:类名\"List\"是PHP或MySQL的保留字(不区分大小写)，请修改类名!");
}

void TestRun::failedChecksWriteNothing()
{
    QFETCH(QString, projectName);
    QFETCH(QString, change);
    QFETCH(QString, event);
    if (!change.isEmpty())
        RunSql(database_, change);
    QCOMPARE(run(projectName), event.split(QLatin1Char('\n')));
    // Nothing beside the skeleton and the model database (with its journal files).
    QStringList entries = QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    entries.removeIf([](const QString &name) { return name.startsWith(QLatin1String("projects.mdb")); });
    QCOMPARE(entries, QStringList{QStringLiteral("bak")});
}

void TestRun::missingSkeletonIsReportedBeforeWriting()
{
    QVERIFY(QDir(dir_->filePath(QStringLiteral("bak/util"))).removeRecursively());
    const QString reason = QStringLiteral("找不到模板资源 \"%1\"")
                               .arg(QDir::toNativeSeparators(dir_->filePath(QStringLiteral("bak/util"))));
    QCOMPARE(run(QStringLiteral("campus")),
             (QStringList{QStringLiteral("log:代码生成失败: ") + reason, QStringLiteral("failed:") + reason}));
    QVERIFY(!QFileInfo::exists(dir_->filePath(QStringLiteral("projects"))));

    QVERIFY(QDir(dir_->filePath(QStringLiteral("bak"))).removeRecursively());
    const QStringList events = run(QStringLiteral("campus"));
    QCOMPARE(events.size(), 2);
    QVERIFY(events.constLast().startsWith(QStringLiteral("failed:找不到模板资源")));
}

void TestRun::unreadableSkeletonIsReportedBeforeWriting_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("byPermission");
    QTest::newRow("dangling link deep in a folder") << QStringLiteral("controller/sub/gone.php") << false;
    QTest::newRow("pipe deep in a folder") << QStringLiteral("util/pipe") << false;
    QTest::newRow("file without read permission") << QStringLiteral("ok.php") << true;
    QTest::newRow("folder without read permission") << QStringLiteral("util") << true;
}

void TestRun::unreadableSkeletonIsReportedBeforeWriting()
{
    QFETCH(QString, entry);
    QFETCH(bool, byPermission);
    const QString path = dir_->filePath(QStringLiteral("bak/") + entry);
#ifdef Q_OS_WIN
    QSKIP("links and permissions are not modelled on Windows");
#else
    if (byPermission && RanUnprivileged())
        return;
    if (byPermission)
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
    else if (entry.endsWith(QLatin1String("pipe")))
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(QFile::link(dir_->filePath(QStringLiteral("nowhere")), path));
    const QStringList events = run(QStringLiteral("campus"));
    if (byPermission)
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString reason = QStringLiteral("无法读取模板资源 \"%1\"").arg(QDir::toNativeSeparators(path));
    QCOMPARE(events, (QStringList{QStringLiteral("log:代码生成失败: ") + reason, QStringLiteral("failed:") + reason}));
    QVERIFY(!QFileInfo::exists(dir_->filePath(QStringLiteral("projects"))));
#endif
}

void TestRun::unwritableOutputIsReported()
{
    // A plain file where the output folder should go.
    WriteFile(dir_->filePath(QStringLiteral("projects")), "not a folder");
    const QStringList events = run(QStringLiteral("campus"));
    QCOMPARE(events.size(), 2);
    QVERIFY2(events.at(0).startsWith(QStringLiteral("log:代码生成失败: 无法创建文件夹")), qPrintable(events.at(0)));
    QVERIFY(events.at(1).startsWith(QStringLiteral("failed:无法创建文件夹")));
    QVERIFY(events.at(1).contains(QDir::toNativeSeparators(output(QStringLiteral("phpbean")))));
}

void TestRun::stopRequestEndsTheRunBetweenFiles()
{
    const QStringList events = run(QStringLiteral("campus"), QStringLiteral("app_"),
                                   [](TAutoCode &generation) { generation.RequestStop(); });
    QCOMPARE(events, QStringList{QStringLiteral("log:projects/campus/phpbean/Clazz.class.php生成完毕!")});
    QCOMPARE(FilesBelow(output()), QStringList{QStringLiteral("phpbean/Clazz.class.php")});
}

QTEST_MAIN(TestRun)
#include "tst_run.moc"
