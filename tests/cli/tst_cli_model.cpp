#include "CliHarness.h"

#include "model/DbHelper.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

using namespace TestSupport;

// The commands on the model and its database: help, init, projects, check, export and import,
// and the refusals every command shares.
class TestCliModel : public QObject, private TCliHarness {
    Q_OBJECT

private slots:
    void init() { TCliHarness::init(); }

    void helpDescribesEveryCommand();
    void initCreatesOnceAndNeverOverwrites();
    void projectsListsIdAndName();
    void badCallsGetOneLineAndExitTwo_data();
    void badCallsGetOneLineAndExitTwo();
    void cliBesideAnOpenWindowLosesNoData();
    void everyCommandRefusesTheSameModel_data();
    void everyCommandRefusesTheSameModel();
    void checkPassesASoundModel();
    void damagedDatabaseIsRefusedNamingWhatIsMissing_data();
    void damagedDatabaseIsRefusedNamingWhatIsMissing();
    void modelCommands_data();
    void modelCommands();
};

void TestCliModel::helpDescribesEveryCommand()
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

void TestCliModel::initCreatesOnceAndNeverOverwrites()
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

void TestCliModel::projectsListsIdAndName()
{
    loadCase(QStringLiteral("branches"));
    RunSql(home(QStringLiteral("projects.mdb")), QStringLiteral("insert into t_project(projectName) values ('第二个');"));
    const TResult listed = cli({QStringLiteral("projects"), QStringLiteral("--home"), home()});
    QCOMPARE(listed.exitCode, 0);
    QCOMPARE(QString::fromUtf8(listed.out), QStringLiteral("1\tcampus\n2\t第二个\n"));
}

void TestCliModel::badCallsGetOneLineAndExitTwo_data()
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

void TestCliModel::badCallsGetOneLineAndExitTwo()
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

// The window keeps a connection open on its interface thread and opens another on each run's
// thread; velmora-cli on the same folder must neither see stale data nor take the files away.
void TestCliModel::cliBesideAnOpenWindowLosesNoData()
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

void TestCliModel::everyCommandRefusesTheSameModel_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("toStdout");
    QTest::newRow("check") << QStringLiteral("check") << QStringLiteral("t_") << true;
    QTest::newRow("generate") << QStringLiteral("generate") << QStringLiteral("t_") << false;
    QTest::newRow("sql") << QStringLiteral("sql") << QStringLiteral("t_") << false;
    QTest::newRow("bad prefix alone") << QStringLiteral("sql") << QStringLiteral("t'") << false;
}

void TestCliModel::everyCommandRefusesTheSameModel()
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

void TestCliModel::checkPassesASoundModel()
{
    loadCase(QStringLiteral("branches"));
    const TResult run = cli({QStringLiteral("--home"), home(), QStringLiteral("check"), QStringLiteral("campus")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromUtf8(run.out), QStringLiteral("模型检查通过，没有发现问题。\n"));
}

void TestCliModel::damagedDatabaseIsRefusedNamingWhatIsMissing_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("missing");
    QTest::newRow("a table and columns dropped")
        << "alter table t_member drop column memberLength;\nalter table t_member drop column queryFlag;\n"
           "drop table t_project;"
        << "缺少 表 t_project; 表 t_member 的列 memberLength, queryFlag";
    // Only columns later versions added are added; a first one is never filled with 0.
    QTest::newRow("one first column dropped") << "alter table t_member drop column memberLength;"
                                              << "缺少 表 t_member 的列 memberLength，";
}

// A model database another program made, without a column the stores read, is refused by
// name rather than read as if the column held 0, and is left as it was.
void TestCliModel::damagedDatabaseIsRefusedNamingWhatIsMissing()
{
    QFETCH(QString, damage);
    QFETCH(QString, missing);
    loadCase(QStringLiteral("score"));
    RunSql(home(QStringLiteral("projects.mdb")), damage);
    // The tables as the file declares them, read past the program's own checks.
    const auto schema = [this] {
        QString sql;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
            db.setDatabaseName(home(QStringLiteral("projects.mdb")));
            QSqlQuery query(db);
            if (db.open() && query.exec(QStringLiteral("select group_concat(sql, ';') from sqlite_master")) && query.next())
                sql = query.value(0).toString();
            query = QSqlQuery();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
        return sql;
    };
    const QString before = schema();
    QVERIFY(!before.isEmpty());
    WriteFile(home(QStringLiteral("template/数据库/mysql_dump.sql")), bom + "$sqlString");
    for (const char *command : {"sql", "generate", "projects"}) {
        QStringList args{QStringLiteral("--home"), home(), QString::fromLatin1(command)};
        if (qstrcmp(command, "projects") != 0)
            args << QStringLiteral("school");
        const TResult run = cli(args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(QString::fromUtf8(run.err).contains(missing), run.err.constData());
    }
    QCOMPARE(schema(), before);
}

void TestCliModel::modelCommands_data()
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
    row("PNG diagram from a folder without the picture module", {"{alone}", "diagram", "campus", "-o", "{file}.png"}, 2,
        "找不到画PNG图片所需的模块", 1);
}

// export writes the file import reads; each refusal exits 1 or 2 and adds no project.
void TestCliModel::modelCommands()
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

    if (args.first() == QLatin1String("{alone}")) {
        args.removeFirst();
        QVERIFY(QDir().mkpath(home(QStringLiteral("alone"))));
        program_ = home(QStringLiteral("alone/velmora-cli"));
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_PROGRAM_DIR "/velmora-cli"), program_));
    }
    const TResult run = cli(QStringList{QStringLiteral("--home"), home()} + args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(exitCode == 0 ? run.out : run.err).contains(says), (run.out + run.err).constData());
    if (args.last().endsWith(QLatin1String(".png")))
        QVERIFY2(exitCode == 0 ? ReadFile(args.last()).startsWith("\x89PNG\r\n\x1a\n") && run.err.isEmpty()
                               : !QFileInfo::exists(args.last()),
                 run.err.constData());
    QCOMPARE(cli({QStringLiteral("--home"), home(), QStringLiteral("projects")}).out.count('\n'), projects);
}

QTEST_GUILESS_MAIN(TestCliModel)
#include "tst_cli_model.moc"
