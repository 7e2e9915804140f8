#include "TestSupport.h"

#include "model/DbHelper.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace TestSupport;

namespace {

struct TResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

const QByteArray bom("\xEF\xBB\xBF");

} // namespace

// velmora-cli as a user runs it: a separate process on a program folder of its own.
class TestCli : public QObject {
    Q_OBJECT

private slots:
    void init();

    void helpDescribesEveryCommand();
    void initCreatesOnceAndNeverOverwrites();
    void projectsListsIdAndName();
    void generateWritesTheProjectAndPrintsEachLine();
    void generateRefusalsExitOneAndWriteNothing_data();
    void generateRefusalsExitOneAndWriteNothing();
    void generateFailuresExitTwo();
    void generateWaitsForAnotherRunThenExitsTwo();
    void badCallsGetOneLineAndExitTwo_data();
    void badCallsGetOneLineAndExitTwo();
    void sqlPrintsTheScriptWithoutMark();
    void sqlRefusesModelsWithoutScript();
    void cliBesideAnOpenWindowLosesNoData();
    void everyCommandRefusesTheSameModel_data();
    void everyCommandRefusesTheSameModel();
    void checkPassesASoundModel();
    void damagedDatabaseIsRefusedNamingWhatIsMissing();
    void historyAndUpgradeFollowTheRecord();
    void regenerationKeepsHandEditsAndStopsAtConflicts();
    void killedRegenerationEndsAsAnUninterruptedOne_data();
    void killedRegenerationEndsAsAnUninterruptedOne();
    void modelCommands_data();
    void modelCommands();

private:
    TResult cli(const QStringList &args, int killAfterLines = 0) const;
    TResult generate(const QString &programDir, const QStringList &options = {}, int killAfterLines = 0) const
    {
        return cli(QStringList{QStringLiteral("--home"), programDir, QStringLiteral("generate"),
                               QStringLiteral("campus")} + options, killAfterLines);
    }
    // The branches model generated once, then a hand edit and a new member: a regeneration
    // with a merge to do.
    void prepareRegeneration(const QString &programDir) const;
    void loadCase(const QString &caseName);
    QString home(const QString &relative = QString()) const { return dir_->filePath(relative); }

    QScopedPointer<QTemporaryDir> dir_;
};

void TestCli::init()
{
    dir_.reset(new QTemporaryDir);
    QVERIFY(dir_->isValid());
}

TResult TestCli::cli(const QStringList &args, int killAfterLines) const
{
    QProcess process;
    if (killAfterLines > 0) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMORA_TEST_KILL_AFTER_LINES"), QString::number(killAfterLines));
        process.setProcessEnvironment(env);
    }
    process.start(QStringLiteral(VELMORA_PROGRAM_DIR "/velmora-cli"), args);
    if (!process.waitForFinished(120000))
        qFatal("velmora-cli did not end");
    TResult result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void TestCli::loadCase(const QString &caseName)
{
    LoadModel(home(QStringLiteral("projects.mdb")), FixtureDir(caseName) + QStringLiteral("/model.sql"));
}

void TestCli::helpDescribesEveryCommand()
{
    const TResult help = cli({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    for (const char *word : {"init", "projects", "generate NAME", "sql NAME", "--home DIR", "--prefix P", "t_",
                             "--dry-run", "--diff", "  3  ",
                             "export NAME [-o FILE]", "import FILE [--as NAME]", "import-db --database D", "--password-file F",
                             "history NAME", "upgrade-sql NAME", "--from N", "--destructive", "charset NAME [CHARSET]",
                             "diagram NAME [-o FILE]"})
        QVERIFY2(help.out.contains(word), word);

    const TResult bare = cli({});
    QCOMPARE(bare.exitCode, 2);
    QVERIFY(bare.out.isEmpty());
    QVERIFY(bare.err.contains("generate NAME"));
}

void TestCli::initCreatesOnceAndNeverOverwrites()
{
    const TResult created = cli({QStringLiteral("--home"), home(), QStringLiteral("init")});
    QCOMPARE(created.exitCode, 0);
    const QByteArray database = ReadFile(home(QStringLiteral("projects.mdb")));
    QVERIFY(database.startsWith("SQLite format 3"));

    const TResult again = cli({QStringLiteral("--home=") + home(), QStringLiteral("init")});
    QCOMPARE(again.exitCode, 2);
    QCOMPARE(again.err.count('\n'), 1);
    QCOMPARE(ReadFile(home(QStringLiteral("projects.mdb"))), database);
}

void TestCli::projectsListsIdAndName()
{
    loadCase(QStringLiteral("branches"));
    RunSql(home(QStringLiteral("projects.mdb")), QStringLiteral("insert into t_project(projectName) values ('第二个');"));
    const TResult listed = cli({QStringLiteral("projects"), QStringLiteral("--home"), home()});
    QCOMPARE(listed.exitCode, 0);
    QCOMPARE(QString::fromUtf8(listed.out), QStringLiteral("1\tcampus\n2\t第二个\n"));
}

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

void TestCli::badCallsGetOneLineAndExitTwo_data()
{
    QTest::addColumn<QString>("databaseKind");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    const auto row = [](const char *name, const char *db, QStringList args, const char *says) {
        QTest::newRow(name) << QString::fromLatin1(db) << args << QString::fromUtf8(says);
    };
    row("unknown project", "model", {"generate", "nobody"}, "找不到名为\"nobody\"的项目");
    row("unknown project for sql", "model", {"sql", "nobody"}, "找不到名为\"nobody\"的项目");
    row("missing database", "none", {"generate", "campus"}, "找不到模型数据库文件");
    row("missing database for projects", "none", {"projects"}, "找不到模型数据库文件");
    row("foreign database", "foreign", {"sql", "campus"}, "不是SQLite数据库");
    row("unknown command", "model", {"build", "campus"}, "未知的命令: build");
    row("unknown option", "model", {"generate", "campus", "--fast"}, "未知的选项: --fast");
    row("missing project name", "model", {"generate"}, "需要且只需要一个项目名称");
    row("two project names", "model", {"sql", "campus", "other"}, "需要且只需要一个项目名称");
    row("argument to projects", "model", {"projects", "campus"}, "不带参数");
    row("prefix without value", "model", {"generate", "campus", "--prefix"}, "选项 --prefix 缺少参数值");
    row("empty prefix", "model", {"generate", "campus", "--prefix", ""}, "前缀输入不能为空!");
    row("prefix for init", "none", {"init", "--prefix", "x_"}, "只用于 generate、sql、check 和 upgrade-sql");
    row("dry run for sql", "model", {"sql", "campus", "--dry-run"}, "只用于 generate 命令");
    row("diff without dry run", "model", {"generate", "campus", "--diff"}, "需要与 --dry-run 一起使用");
    row("history without record", "model", {"history", "campus"}, "该项目还没有生成记录，请使用建表脚本");
    row("upgrade without record", "model", {"upgrade-sql", "campus"}, "该项目还没有生成记录，请使用建表脚本");
    row("version not a number", "model", {"upgrade-sql", "campus", "--from", "x"}, "版本号必须是正整数: x");
    row("from for sql", "model", {"sql", "campus", "--from", "1"}, "只用于 upgrade-sql 命令");
    row("destructive for generate", "model", {"generate", "campus", "--destructive"}, "只用于 upgrade-sql 命令");
    row("unknown charset", "model", {"charset", "campus", "latin1"}, "字符集只能是 utf8mb4 或 utf8");
    row("charset of nobody", "model", {"charset", "nobody"}, "找不到名为\"nobody\"的项目");
}

void TestCli::badCallsGetOneLineAndExitTwo()
{
    QFETCH(QString, databaseKind);
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    if (databaseKind == QLatin1String("model"))
        loadCase(QStringLiteral("branches"));
    else if (databaseKind == QLatin1String("foreign"))
        WriteFile(home(QStringLiteral("projects.mdb")), "Standard Jet DB, or anything else");
    MakeSkeleton(home());
    const TResult run = cli(QStringList{QStringLiteral("--home"), home()} + args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(QString::fromUtf8(run.err).contains(says), run.err.constData());
    QVERIFY(!QFileInfo::exists(home(QStringLiteral("projects"))));
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

void TestCli::everyCommandRefusesTheSameModel_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("toStdout");
    QTest::newRow("check") << QStringLiteral("check") << QStringLiteral("t_") << true;
    QTest::newRow("generate") << QStringLiteral("generate") << QStringLiteral("t_") << false;
    QTest::newRow("sql") << QStringLiteral("sql") << QStringLiteral("t_") << false;
    QTest::newRow("bad prefix alone") << QStringLiteral("sql") << QStringLiteral("t'") << false;
}

void TestCli::everyCommandRefusesTheSameModel()
{
    QFETCH(QString, command);
    QFETCH(QString, prefix);
    QFETCH(bool, toStdout);
    loadCase(QStringLiteral("branches"));
    MakeSkeleton(home());
    WriteFile(home(QStringLiteral("template/数据库/mysql_dump.sql")), bom + "$sqlString");
    const QString findings = prefix == QLatin1String("t_")
        ? QStringLiteral("Major类的成员\"this\"是保留字(this或MySQL的保留字)，请修改成员名称!\n"
                         "Album类的成员\"owner\"的注释含有控制字符或表情符号等4字节字符，建表脚本的表是utf8字符集，不能保存这些字符，请修改!\n")
        : QStringLiteral("表名前缀\"t'\"只能包含字母、数字和下划线!\n");
    if (prefix == QLatin1String("t_"))
        RunSql(home(QStringLiteral("projects.mdb")),
               QStringLiteral("update t_member set memberName='this' where memberName='intro';\n"
                              "update t_member set memberComment='😀' where memberName='owner';"));
    const TResult run = cli({QStringLiteral("--home"), home(), command, QStringLiteral("campus"),
                             QStringLiteral("--prefix=") + prefix});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(QString::fromUtf8(toStdout ? run.out : run.err), findings);
    QVERIFY((toStdout ? run.err : run.out).isEmpty());
    QVERIFY(!QFileInfo::exists(home(QStringLiteral("projects"))));
}

void TestCli::checkPassesASoundModel()
{
    loadCase(QStringLiteral("branches"));
    const TResult run = cli({QStringLiteral("--home"), home(), QStringLiteral("check"), QStringLiteral("campus")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromUtf8(run.out), QStringLiteral("模型检查通过，没有发现问题。\n"));
}

// A model database another program made, without a column the stores read, is refused by
// name rather than read as if the column held 0.
void TestCli::damagedDatabaseIsRefusedNamingWhatIsMissing()
{
    loadCase(QStringLiteral("score"));
    RunSql(home(QStringLiteral("projects.mdb")),
           QStringLiteral("alter table t_member drop column memberLength;\nalter table t_member drop column queryFlag;\n"
                          "drop table t_project;"));
    WriteFile(home(QStringLiteral("template/数据库/mysql_dump.sql")), bom + "$sqlString");
    for (const char *command : {"sql", "generate", "projects"}) {
        QStringList args{QStringLiteral("--home"), home(), QString::fromLatin1(command)};
        if (qstrcmp(command, "projects") != 0)
            args << QStringLiteral("school");
        const TResult run = cli(args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(QString::fromUtf8(run.err).contains(QStringLiteral("缺少 表 t_project; 表 t_member 的列 memberLength, queryFlag")),
                 run.err.constData());
    }
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

void TestCli::modelCommands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::addColumn<int>("projects");
    const auto row = [](const char *name, QStringList args, int code, const char *says, int projects) {
        QTest::newRow(name) << args << code << QString::fromUtf8(says) << projects;
    };
    row("import under another name", {"import", "{file}", "--as", "副本"}, 0, "已导入项目\"副本\": 6个类, 25个成员", 2);
    row("import under a name in use", {"import", "{file}"}, 2, "已经有名为\"campus\"的项目", 1);
    row("import an invalid file", {"import", "{bad}", "--as=x"}, 1, "classes[0].members[0].memberIsPri: 应为0或1", 1);
    row("import a missing file", {"import", "{file}.gone", "--as=x"}, 2, "无法读取模型文件", 1);
    row("export an unknown project", {"export", "nobody"}, 2, "找不到名为\"nobody\"的项目", 1);
    row("password on the command line", {"import-db", "--database", "d", "--user", "u", "--password", "p"}, 2,
        "密码不能写在命令行上", 1);
    row("database without user", {"import-db", "--database", "d"}, 2, "需要 --database 和 --user", 1);
    row("socket and host", {"import-db", "--database", "d", "--user", "u", "--socket", "/s", "--host", "h"}, 2,
        "只能选用一种", 1);
    row("no server", {"import-db", "--database", "d", "--user", "u", "--socket", "{file}.sock"}, 2,
        "连接不上数据库服务器", 1);
    row("diagram as SVG on the output", {"diagram", "campus"}, 0, "<g class=\"class\" data-class=\"Album\">", 1);
    row("diagram as PNG", {"diagram", "campus", "-o", "{file}.png"}, 0, "", 1);
    row("diagram of an unknown project", {"diagram", "nobody"}, 2, "找不到名为\"nobody\"的项目", 1);
    row("diagram of another kind", {"diagram", "campus", "-o", "{file}.gif"}, 2, "应以 .svg 或 .png 结尾", 1);
}

// export writes the file import reads; each refusal exits 1 or 2 and adds no project.
void TestCli::modelCommands()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QFETCH(int, projects);
    loadCase(QStringLiteral("branches"));
    const QString file = home(QStringLiteral("campus.json"));
    QCOMPARE(cli({QStringLiteral("--home"), home(), QStringLiteral("export"), QStringLiteral("campus"),
                  QStringLiteral("-o"), file}).exitCode, 0);
    const TResult printed = cli({QStringLiteral("--home"), home(), QStringLiteral("export"), QStringLiteral("campus")});
    QCOMPARE(printed.out, ReadFile(file));
    WriteFile(home(QStringLiteral("bad.json")), ReadFile(file).replace("\"memberIsPri\": 1", "\"memberIsPri\": 7"));
    args.replaceInStrings(QStringLiteral("{file}"), file).replaceInStrings(QStringLiteral("{bad}"), home(QStringLiteral("bad.json")));

    const TResult run = cli(QStringList{QStringLiteral("--home"), home()} + args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(exitCode == 0 ? run.out : run.err).contains(says), (run.out + run.err).constData());
    if (args.last().endsWith(QLatin1String(".png")))
        QCOMPARE(ReadFile(args.last()).left(8), QByteArray("\x89PNG\r\n\x1a\n"));
    QCOMPARE(cli({QStringLiteral("--home"), home(), QStringLiteral("projects")}).out.count('\n'), projects);
}

QTEST_GUILESS_MAIN(TestCli)

// The window keeps a connection open on its interface thread and opens another on each run's
// thread; velmora-cli on the same folder must neither see stale data nor take the files away.
void TestCli::cliBesideAnOpenWindowLosesNoData()
{
    QCOMPARE(cli({QStringLiteral("--home"), home(), QStringLiteral("init")}).exitCode, 0);
    const TDbHelper window(home(QStringLiteral("projects.mdb")));
    const auto addProject = [&window](const QString &name) {
        window.ExecuteSql(QStringLiteral("insert into t_project(projectName) values (?)"), {name});
    };
    const auto listed = [this]() {
        const TResult run = cli({QStringLiteral("--home"), home(), QStringLiteral("projects")});
        return run.exitCode == 0 ? QString::fromUtf8(run.out) : QString::fromUtf8(run.err);
    };
    addProject(QStringLiteral("one"));
    QScopedPointer<QThread> run(QThread::create([&window]() {
        window.QueryInteger(QStringLiteral("select count(*) from t_project"));
    }));
    run->start();
    QVERIFY(run->wait(60000));

    QCOMPARE(listed(), QStringLiteral("1\tone\n"));
    addProject(QStringLiteral("two"));
    QCOMPARE(listed(), QStringLiteral("1\tone\n2\ttwo\n"));
    QCOMPARE(window.QueryInteger(QStringLiteral("select count(*) from t_project")), 2);
}

#include "tst_cli.moc"
