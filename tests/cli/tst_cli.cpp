#include "CliHarness.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

using namespace TestSupport;

// Generation, the table scripts and regeneration over the generation record.
class TestCli : public QObject, private TCliHarness {
    Q_OBJECT

private slots:
    void init() { TCliHarness::init(); }

    void generateWritesTheProjectAndPrintsEachLine();
    void generateRefusalsExitOneAndWriteNothing_data();
    void generateRefusalsExitOneAndWriteNothing();
    void generateFailuresExitTwo();
    void generateWaitsForAnotherRunThenExitsTwo();
    void sqlPrintsTheScriptWithoutMark();
    void sqlRefusesModelsWithoutScript();
    void historyAndUpgradeFollowTheRecord();
    void regenerationKeepsHandEditsAndStopsAtConflicts();
    void killedRegenerationEndsAsAnUninterruptedOne_data();
    void killedRegenerationEndsAsAnUninterruptedOne();

private:
    // The branches model generated once, then a hand edit and a new member: a regeneration
    // with a merge to do.
    void prepareRegeneration(const QString &programDir) const;
};

void TestCli::generateWritesTheProjectAndPrintsEachLine()
{
    loadCase(QStringLiteral("branches"));
    MakeSkeleton(home());
    const TResult run = cli({QStringLiteral("--home"), home(), QStringLiteral("generate"),
                             QStringLiteral("campus"), QStringLiteral("--prefix"), QStringLiteral("app_")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    const QStringList lines = QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4 * 6 + 24 + 1);
    QCOMPARE(lines.first(), QStringLiteral("projects/campus/phpbean/Clazz.class.php生成完毕!"));
    QCOMPARE(lines.at(4 * 6), QStringLiteral("正在移动资源文件。。。"));
    QCOMPARE(lines.at(4 * 6 + 23), QStringLiteral("移动资源文件完毕!"));
    QCOMPARE(lines.last(), QStringLiteral("生成结果: 新建24个, 更新0个, 无变化0个, 保留你的修改0个, 合并0个, "
                                          "冲突0个, 另存0个, 孤立0个"));

    const QString golden = FixtureDir(QStringLiteral("branches")) + QStringLiteral("/expected/projects/campus/");
    for (const QString &file : FilesBelow(golden))
        QCOMPARE(ReadFile(home(QStringLiteral("projects/campus/")) + file), ReadFile(golden + file));
    QVERIFY(QFileInfo::exists(home(QStringLiteral("projects/campus/ok.php"))));

    // The default prefix is t_.
    QCOMPARE(cli({QStringLiteral("--home"), home(), QStringLiteral("generate"), QStringLiteral("campus")}).exitCode, 0);
    QVERIFY(ReadFile(home(QStringLiteral("projects/campus/phpbean/Tag.class.php"))).contains("数据库表:t_Tag*/"));
}

void TestCli::generateRefusalsExitOneAndWriteNothing_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::newRow("key member") << QStringLiteral("update t_member set memberIsPri=0 where classId=3;")
                                << QStringLiteral("Tag表主键设置错误，每个类只能设置一个主键!");
    QTest::newRow("display member") << QStringLiteral("update t_member set memberIsDisplay=0 where classId=5;")
                                    << QStringLiteral("Album表显示成员设置错误，每个类有且只能设置一个显示成员!");
    QTest::newRow("broken reference") << QStringLiteral("update t_member set memberType='Teacher' where memberName='owner';")
                                      << QStringLiteral("Album类的成员owner引用的类Teacher不存在或没有主键!");
}

void TestCli::generateRefusalsExitOneAndWriteNothing()
{
    QFETCH(QString, change);
    QFETCH(QString, message);
    loadCase(QStringLiteral("branches"));
    MakeSkeleton(home());
    RunSql(home(QStringLiteral("projects.mdb")), change);
    const TResult run = cli({QStringLiteral("--home"), home(), QStringLiteral("generate"), QStringLiteral("campus")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(QString::fromUtf8(run.err), message + QLatin1Char('\n'));
    QVERIFY(run.out.isEmpty());
    QVERIFY(!QFileInfo::exists(home(QStringLiteral("projects"))));
}

void TestCli::generateFailuresExitTwo()
{
    loadCase(QStringLiteral("branches"));
    const TResult run = cli({QStringLiteral("--home"), home(), QStringLiteral("generate"), QStringLiteral("campus")});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith("代码生成失败: 找不到模板资源"), run.err.constData());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(!QFileInfo::exists(home(QStringLiteral("projects"))));
}

// Another run (here: this test) holds the project's output folder: the run waits a few seconds,
// saying so, then refuses, leaving the other run's half-built folder alone.
void TestCli::generateWaitsForAnotherRunThenExitsTwo()
{
    loadCase(QStringLiteral("branches"));
    MakeSkeleton(home());
    WriteFile(home(QStringLiteral("projects/.velmora-new-campus/phpbean/Clazz.class.php")), "half");
    QLockFile other(home(QStringLiteral("projects/.velmora-lock-campus")));
    QVERIFY(other.tryLock(0));

    const TResult refused = generate(home());
    QCOMPARE(refused.exitCode, 2);
    const QString busy = QStringLiteral("输出文件夹 \"%1\" 正在被另一个生成使用(进程%2)，")
                             .arg(QDir::toNativeSeparators(home(QStringLiteral("projects/campus"))))
                             .arg(QCoreApplication::applicationPid());
    const QString failed = QStringLiteral("代码生成失败: ") + busy + QStringLiteral("请等它结束后再生成\n");
    QCOMPARE(QString::fromUtf8(refused.out), busy + QStringLiteral("等待它结束。。。\n") + failed);
    QCOMPARE(QString::fromUtf8(refused.err), failed);
    QCOMPARE(ReadFile(home(QStringLiteral("projects/.velmora-new-campus/phpbean/Clazz.class.php"))), QByteArray("half"));

    // Once the other run is over, the folder it left half-built is cleared.
    other.unlock();
    QCOMPARE(generate(home()).exitCode, 0);
    QCOMPARE(QDir(home(QStringLiteral("projects"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("campus")});
}

void TestCli::sqlPrintsTheScriptWithoutMark()
{
    loadCase(QStringLiteral("score"));
    WriteFile(home(QStringLiteral("template/数据库/mysql_dump.sql")), bom + "-- $dbprefix\r\n$sqlString-- end\r\n");
    const QByteArray statements = ReadFile(FixtureDir(QStringLiteral("score")) + QStringLiteral("/expected/statements.sql"));

    const TResult script = cli({QStringLiteral("--home"), home(), QStringLiteral("sql"), QStringLiteral("school")});
    QCOMPARE(script.exitCode, 0);
    QVERIFY(script.err.isEmpty());
    // The statements, then the version the database is brought to: 1, as nothing is generated yet.
    const QByteArray version = "REPLACE INTO `t_model_version` (`id`, `modelVersion`, `appliedAt`) VALUES (1, 1, UTC_TIMESTAMP());\r\n";
    const qsizetype closing = script.out.indexOf("\r\n\r\n-- ------") + 2;
    const QString diff = FirstDifference("-- t_\r\n" + statements, script.out.left(closing));
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QVERIFY2(script.out.endsWith(version + "-- end\r\n"), script.out.mid(closing).constData());

    const TResult prefixed = cli({QStringLiteral("--home"), home(), QStringLiteral("sql"), QStringLiteral("school"),
                                  QStringLiteral("--prefix=x_")});
    QCOMPARE(prefixed.exitCode, 0);
    QVERIFY(prefixed.out.startsWith("-- x_\r\nCREATE TABLE IF NOT EXISTS `x_Student` (\r\n"));
    QVERIFY(prefixed.out.contains("ALTER TABLE x_Score ADD CONSTRAINT FOREIGN KEY (student) REFERENCES x_Student(id);"));

    // A project without the setting has utf8 tables; set to utf8mb4, its script follows.
    const QStringList charset{QStringLiteral("--home"), home(), QStringLiteral("charset"), QStringLiteral("school")};
    QCOMPARE(cli(charset).out, QByteArray("utf8\n"));
    QCOMPARE(cli(charset + QStringList{QStringLiteral("utf8mb4")}).exitCode, 0);
    QCOMPARE(cli(charset).out, QByteArray("utf8mb4\n"));
    const TResult mb4 = cli({QStringLiteral("--home"), home(), QStringLiteral("sql"), QStringLiteral("school")});
    QVERIFY(mb4.out.contains("`name` varchar(20) COLLATE utf8mb4_unicode_ci NOT NULL"));
    QVERIFY(mb4.out.contains(") ENGINE=InnoDB  DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci AUTO_INCREMENT=1 ;"));
}

void TestCli::sqlRefusesModelsWithoutScript()
{
    loadCase(QStringLiteral("score"));
    const TResult noTemplate = cli({QStringLiteral("--home"), home(), QStringLiteral("sql"), QStringLiteral("school")});
    QCOMPARE(noTemplate.exitCode, 2);
    QVERIFY2(noTemplate.err.contains("mysql_dump.sql"), noTemplate.err.constData());
    QVERIFY(noTemplate.out.isEmpty());

    WriteFile(home(QStringLiteral("template/数据库/mysql_dump.sql")), bom + "$sqlString");
    RunSql(home(QStringLiteral("projects.mdb")), QStringLiteral("delete from t_class where className='Student';"));
    const TResult refused = cli({QStringLiteral("--home"), home(), QStringLiteral("sql"), QStringLiteral("school")});
    QCOMPARE(refused.exitCode, 1);
    QCOMPARE(QString::fromUtf8(refused.err), QStringLiteral("Score类的成员student引用的类Student不存在或没有主键!\n"));
    QVERIFY(refused.out.isEmpty());
}

void TestCli::historyAndUpgradeFollowTheRecord()
{
    loadCase(QStringLiteral("branches"));
    MakeSkeleton(home());
    WriteFile(home(QStringLiteral("template/数据库/mysql_upgrade.sql")), bom + "-- $dbprefix\r\n$sqlString");
    const QStringList upgrade{QStringLiteral("--home"), home(), QStringLiteral("upgrade-sql"), QStringLiteral("campus")};
    QCOMPARE(generate(home()).exitCode, 0);
    RunSql(home(QStringLiteral("projects.mdb")), QStringLiteral("update t_member set memberName='caption' where memberName='title' and classId=5;"));
    QCOMPARE(generate(home()).exitCode, 0);

    const TResult history = cli({QStringLiteral("--home"), home(), QStringLiteral("history"), QStringLiteral("campus")});
    QCOMPARE(history.exitCode, 0);
    QVERIFY2(QRegularExpression(QStringLiteral("^1\t\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n2\t.+\n$"))
                 .match(QString::fromUtf8(history.out)).hasMatch(), history.out.constData());

    // The newest version is the current model, so the default is version 1, which still has
    // the old name; each script brings the database to version 2, or 3 under a new prefix.
    const struct {
        QStringList options;
        QByteArray head;
        QByteArray change;
        int target;
    } rows[] = {
        {{}, "-- t_\r\n-- 由第 1 版", "CHANGE COLUMN `title` `caption`", 2},
        {{QStringLiteral("--from=2")}, "-- t_\r\n-- 模型没有变化", "", 2},
        {{QStringLiteral("--from=1"), QStringLiteral("--prefix"), QStringLiteral("v_")}, "-- v_\r\n-- 由第 1 版",
         "CHANGE COLUMN `title` `caption`", 3},
    };
    for (const auto &row : rows) {
        const TResult run = cli(upgrade + row.options);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith(row.head) && run.out.contains(row.change), run.out.constData());
        QVERIFY2(run.out.contains(QStringLiteral(", `appliedAt`) VALUES (1, %1, UTC_TIMESTAMP());").arg(row.target).toUtf8()),
                 run.out.constData());
    }

    const TResult unknown = cli(upgrade + QStringList{QStringLiteral("--from"), QStringLiteral("7")});
    QCOMPARE(unknown.exitCode, 2);
    QCOMPARE(QString::fromUtf8(unknown.err), QStringLiteral("该项目没有第 7 版的生成记录\n"));
    RunSql(home(QStringLiteral("projects.mdb")), QStringLiteral("update t_member set memberIsPri=0 where classId=3;"));
    const TResult refused = cli(upgrade);
    QCOMPARE(refused.exitCode, 1);
    QCOMPARE(QString::fromUtf8(refused.err), QStringLiteral("Tag表主键设置错误，每个类只能设置一个主键!\n"));
    QVERIFY(refused.out.isEmpty());
}

namespace {
const char addRoom[] =
    "INSERT INTO t_member(projectId, classId, memberName, memberType, memberLength, memberIsPri,"
    " memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay,"
    " memberQueryDisplay) VALUES (1, 1, 'room', '字符串', 10, 0, '教室', 0, 0, 0, 0, 0, 1);";
const QString controller = QStringLiteral("projects/campus/controller/ClazzAction.php");
const QString page = QStringLiteral("projects/campus/Clazz/clazzManage.php");

void editFile(const QString &path, const QByteArray &from, const QByteArray &to)
{
    QByteArray bytes = ReadFile(path);
    QVERIFY2(bytes.contains(from), from.constData());
    WriteFile(path, bytes.replace(bytes.indexOf(from), from.size(), to));
}

// Every file below dir and its bytes, the record's own files left out.
QMap<QString, QByteArray> contents(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (const QString &file : FilesBelow(dir)) {
        if (!file.startsWith(QLatin1String(".velmora/")))
            files.insert(file, ReadFile(dir + QLatin1Char('/') + file));
    }
    return files;
}
} // namespace

void TestCli::prepareRegeneration(const QString &programDir) const
{
    LoadModel(programDir + QStringLiteral("/projects.mdb"),
              FixtureDir(QStringLiteral("branches")) + QStringLiteral("/model.sql"));
    MakeSkeleton(programDir);
    QCOMPARE(generate(programDir).exitCode, 0);
    editFile(programDir + QLatin1Char('/') + controller, "pageSize = 5;", "pageSize = 20; // 每页20条");
    editFile(programDir + QLatin1Char('/') + page, "<h2>班级管理</h2>", "<h2>班级一览</h2>");
    RunSql(programDir + QStringLiteral("/projects.mdb"), QString::fromUtf8(addRoom));
}

void TestCli::regenerationKeepsHandEditsAndStopsAtConflicts()
{
    prepareRegeneration(home());
    const QString file = home(controller);
    const QMap<QString, QByteArray> before = contents(home(QStringLiteral("projects/campus")));
    const QStringList recordBefore = FilesBelow(home(QStringLiteral("projects/campus/.velmora")));

    // A preview changes nothing and shows what would change.
    const TResult preview = generate(home(), {QStringLiteral("--dry-run"), QStringLiteral("--diff")});
    QCOMPARE(preview.exitCode, 0);
    QCOMPARE(contents(home(QStringLiteral("projects/campus"))), before);
    QCOMPARE(FilesBelow(home(QStringLiteral("projects/campus/.velmora"))), recordBefore);
    const QString shown = QString::fromUtf8(preview.out);
    QVERIFY2(shown.contains(QStringLiteral("已合并\tcontroller/ClazzAction.php\n")), preview.out.constData());
    QVERIFY(shown.contains(QStringLiteral("更新\tphpbean/Clazz.class.php\n")));
    QVERIFY(shown.contains(QStringLiteral("无变化\tphpbean/Tag.class.php\n")));
    QVERIFY(shown.contains(QStringLiteral("+\t\t$clazz->setRoom($array_clazz['room']);")));

    // The hand edit survives beside the new member.
    const TResult merged = generate(home());
    QCOMPARE(merged.exitCode, 0);
    QVERIFY(merged.out.contains("ClazzAction.php已被修改，新生成的代码已合并到你的修改中!"));
    QVERIFY(ReadFile(file).contains("pageSize = 20; // 每页20条"));
    QVERIFY(ReadFile(file).contains("$clazz->setRoom($array_clazz['room']);"));
    QVERIFY(ReadFile(home(page)).contains("<h2>班级一览</h2>"));
    QVERIFY(ReadFile(home(page)).contains("name=\"clazz[room]\""));
    QVERIFY(ReadFile(home(QStringLiteral("projects/campus/phpbean/Clazz.class.php"))).contains("private $room;"));

    // An edit of a line the next generation changes: the file stays, the merge goes beside it.
    editFile(file, "$clazz->setSize($array_clazz['size']);", "$clazz->setSize(intval($array_clazz['size']));");
    const QByteArray mine = ReadFile(file);
    RunSql(home(QStringLiteral("projects.mdb")),
           QStringLiteral("update t_member set memberName='capacity' where memberName='size';"));
    const TResult conflict = generate(home());
    QCOMPARE(conflict.exitCode, 3);
    QVERIFY(conflict.err.isEmpty());
    QCOMPARE(ReadFile(file), mine);
    const QByteArray merge = ReadFile(file + QStringLiteral(".merge.txt"));
    QVERIFY(merge.contains("<<<<<<< 你的修改\r\n\t\t$clazz->setSize(intval($array_clazz['size']));\r\n=======\r\n"));
    QVERIFY(merge.contains("pageSize = 20; // 每页20条"));
    QVERIFY(conflict.out.trimmed().endsWith("冲突1个, 另存0个, 孤立0个"));

    // Resolved by hand from the merge file: the next run takes it as grown from the new output.
    const qsizetype from = merge.indexOf("<<<<<<<");
    const qsizetype to = merge.indexOf("\n", merge.indexOf(">>>>>>>")) + 1;
    QByteArray resolved = merge;
    resolved.replace(from, to - from, "\t\t$clazz->setCapacity(intval($array_clazz['capacity']));\r\n"
                                      "\t\t$clazz->setRoom($array_clazz['room']);\r\n");
    WriteFile(file, resolved);
    const TResult after = generate(home());
    QCOMPARE(after.exitCode, 0);
    QVERIFY(after.out.contains("ClazzAction.php已被修改，新生成的代码与上次相同，保留你的修改!"));
    QCOMPARE(ReadFile(file), resolved);
}

void TestCli::killedRegenerationEndsAsAnUninterruptedOne_data()
{
    QTest::addColumn<int>("killAfter");
    // 24 generated files, then 24 skeleton lines; the record is written after line 48.
    for (int line : {1, 7, 24, 31, 48})
        QTest::addRow("after line %d", line) << line;
}

void TestCli::killedRegenerationEndsAsAnUninterruptedOne()
{
    QFETCH(int, killAfter);
    QTemporaryDir uninterrupted;
    prepareRegeneration(uninterrupted.path());
    QCOMPARE(generate(uninterrupted.path()).exitCode, 0);

    prepareRegeneration(home());
    const TResult killed = generate(home(), {}, killAfter);
    QCOMPARE(killed.exitCode, -1);
    QCOMPARE(killed.out.count('\n'), killAfter);
    QCOMPARE(generate(home()).exitCode, 0);

    QCOMPARE(contents(home(QStringLiteral("projects/campus"))),
             contents(uninterrupted.filePath(QStringLiteral("projects/campus"))));
    const auto recorded = [](const QString &programDir) {
        const QJsonObject record = QJsonDocument::fromJson(
            ReadFile(programDir + QStringLiteral("/projects/campus/")
                     + RecordFolder(programDir + QStringLiteral("/projects/campus")) + QStringLiteral("record.json"))).object();
        return std::make_pair(record.value(QStringLiteral("version")).toInt(),
                              record.value(QStringLiteral("files")).toObject());
    };
    QCOMPARE(recorded(home()), recorded(uninterrupted.path()));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
