#include "ModelFixture.h"
#include "model/ExistingDatabase.h"
#include "model/IndexDAO.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <atomic>

// The database file itself: foreign and missing files, a full disk, failed batches,
// two threads at once, and databases written by older versions.
class TestModelStorage : public QObject, private TModelFixture {
    Q_OBJECT

private slots:
    void init() { TModelFixture::init(); }

    void missingAndForeignFilesAreRefusedAndLeftAlone();
    void emptyDatabaseIsNeverOverwritten();
    void failedBatchRollsBackAndReachesTheCaller();
    void fullDiskIsNamedAndChangesNothing_data();
    void fullDiskIsNamedAndChangesNothing();
    void twoThreadsUseTheStoresAtOnce();
    void olderDatabaseGainsTheOrderAndKeepsIt();
    void applicationPrefixAvoidsTheUsersTables_data();
    void applicationPrefixAvoidsTheUsersTables();
};

void TestModelStorage::missingAndForeignFilesAreRefusedAndLeftAlone()
{
    const QString missing = dir_->filePath(QStringLiteral("absent/projects.mdb"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            TProjectDAO(TDbHelper(missing)).GetProjects();
            QFAIL("a missing database must be an error");
        } catch (const TDbError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("找不到模型数据库文件")), qPrintable(e.message()));
            QVERIFY(e.message().contains(missing));
        }
    }
    QVERIFY(!QFile::exists(missing));

    // An old Access file: "Standard Jet DB" at offset 4.
    const QString access = dir_->filePath(QStringLiteral("old.mdb"));
    QByteArray jet(2048, '\0');
    jet.replace(4, 15, "Standard Jet DB");
    {
        QFile f(access);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(jet);
    }
    try {
        TProjectDAO(TDbHelper(access)).AddProject(QStringLiteral("x"));
        QFAIL("a foreign file must be an error");
    } catch (const TDbError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("不是SQLite数据库")), qPrintable(e.message()));
        QVERIFY(e.message().contains(QStringLiteral("Access")));
    }
    QFile f(access);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), jet);

    // An empty file is not taken for a new database, and a text file is refused without the
    // Access remark; neither is changed.
    const QString empty = dir_->filePath(QStringLiteral("empty.mdb"));
    const QString text = dir_->filePath(QStringLiteral("text.mdb"));
    for (const auto &[path, bytes] : {std::pair(empty, QByteArray()), std::pair(text, QByteArray(600, 'x'))}) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    for (const QString &path : {empty, text}) {
        try {
            TProjectDAO(TDbHelper(path)).GetProjects();
            QFAIL("a foreign file must be an error");
        } catch (const TDbError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("不是SQLite数据库: ")), qPrintable(e.message()));
        }
    }
    QCOMPARE(QFileInfo(empty).size(), 0);
    QCOMPARE(QFileInfo(text).size(), 600);

    // Once the file is there, the same helper works.
    QDir().mkpath(dir_->filePath(QStringLiteral("absent")));
    TDbHelper::CreateEmptyDatabase(missing);
    QCOMPARE(TProjectDAO(TDbHelper(missing)).GetProjects().size(), 0);
}

void TestModelStorage::emptyDatabaseIsNeverOverwritten()
{
    addProject(QStringLiteral("kept"));
    QVERIFY_THROWS_EXCEPTION(TDbError, TDbHelper::CreateEmptyDatabase(file_));
    QCOMPARE(TProjectDAO(db_).GetProjects().size(), 1);
    QVERIFY(!QFile::exists(file_ + QStringLiteral(".new")));
}

void TestModelStorage::failedBatchRollsBackAndReachesTheCaller()
{
    const int p = addProject(QStringLiteral("school"));
    const QList<TSqlStatement> batch = {
        {QStringLiteral("insert into t_project(projectName) values (?)"), {QStringLiteral("x")}},
        {QStringLiteral("insert into t_nowhere values (1)"), {}}};
    QVERIFY_THROWS_EXCEPTION(TDbError, db_.ExecuteBatch(batch));
    QCOMPARE(TProjectDAO(db_).GetProjects(), TProjectList({{QStringLiteral("school"), p}}));
    db_.ExecuteBatch({}); // an empty batch is a harmless empty transaction

    // A project deletion that fails half-way must not look like success to its caller.
    addClass(p, QStringLiteral("Student"));
    db_.ExecuteSql(QStringLiteral("create trigger keep before delete on t_class "
                                  "begin select raise(abort, 'kept'); end"));
    QVERIFY_THROWS_EXCEPTION(TDbError, TProjectDAO(db_).DeleteProject(p));
    QCOMPARE(TProjectDAO(db_).GetProjects().size(), 1);
    QCOMPARE(TClassDAO(db_).GetClasses(p).size(), 1);
}

void TestModelStorage::fullDiskIsNamedAndChangesNothing_data()
{
    QTest::addColumn<bool>("smallFileSystem");
    QTest::addColumn<bool>("noInodes"); // room for bytes, none for another file
    // SQLite's own size limit fails the write as a full disk does.
    QTest::newRow("database at its size limit") << false << false;
    // A file system with no room: SQLite cannot even set up its shared memory.
    QTest::newRow("file system full") << true << false;
    QTest::newRow("file system out of inodes") << true << true;
}

void TestModelStorage::fullDiskIsNamedAndChangesNothing()
{
    QFETCH(bool, smallFileSystem);
    QFETCH(bool, noInodes);
    QString file = file_;
    const QString small = dir_->filePath(QStringLiteral("small"));
    bool mounted = false;
    const auto unmount = qScopeGuard([&] {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), small});
    });
    if (smallFileSystem) {
        QVERIFY(QDir().mkpath(small));
        if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                        QStringLiteral("-o"),
                                                        noInodes ? QStringLiteral("size=4m,nr_inodes=16")
                                                                 : QStringLiteral("size=1m"),
                                                        QStringLiteral("tmpfs"), small}) != 0)
            QSKIP("mounting a small file system needs the superuser");
        mounted = true;
        file = small + QStringLiteral("/projects.mdb");
        TDbHelper::CreateEmptyDatabase(file);
        {
            // In WAL mode, as a database the program has used: opening it needs room.
            QSqlDatabase wal = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("wal"));
            wal.setDatabaseName(file);
            QVERIFY(wal.open() && QSqlQuery(wal).exec(QStringLiteral("PRAGMA journal_mode=WAL")));
            wal.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("wal"));
        for (int i = 0; noInodes; ++i) {
            if (!QFile(small + QStringLiteral("/fill%1").arg(i)).open(QIODevice::WriteOnly))
                break;
        }
        QFile fill(small + QStringLiteral("/fill"));
        QVERIFY(noInodes || fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (!noInodes && fill.write(block) == block.size()) {
        }
    } else {
        const int pages = db_.QueryInteger(QStringLiteral("PRAGMA page_count"));
        db_.ExecuteSql(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
    }
    const TProjectDAO projects{TDbHelper(file)};
    QString message;
    try {
        projects.AddProject(QString(20000, QLatin1Char('x')));
    } catch (const TDbError &error) {
        message = error.message();
    }
    QVERIFY2(message.startsWith(QStringLiteral("磁盘已满，模型数据库 %1 ").arg(QDir::toNativeSeparators(file))),
             qPrintable(message));
    for (const QString &name : QDir(small).entryList({QStringLiteral("fill*")}))
        QFile::remove(small + QLatin1Char('/') + name);
    QVERIFY(projects.GetProjects().isEmpty());
}

void TestModelStorage::twoThreadsUseTheStoresAtOnce()
{
    const int p = addProject(QStringLiteral("school"));
    const int c = addClass(p, QStringLiteral("Student"));
    std::atomic<int> failures{0};
    QString firstFailure;
    auto *writer = QThread::create([&] {
        try {
            for (int i = 0; i < 200; ++i)
                addMember(p, c, QStringLiteral("m%1").arg(i), MemberType::Text);
        } catch (const TDbError &e) {
            if (failures++ == 0)
                firstFailure = e.message();
        }
    });
    writer->start();
    try {
        for (int i = 0; i < 200; ++i) {
            TMemberDAO(db_).GetMembers(c);
            TClassDAO(db_).UpdateClass(p, c, QStringLiteral("Student"), QStringLiteral("学生%1").arg(i));
        }
    } catch (const TDbError &e) {
        if (failures++ == 0)
            firstFailure = e.message();
    }
    QVERIFY(writer->wait(60000));
    delete writer;
    QVERIFY2(failures == 0, qPrintable(firstFailure));
    QCOMPARE(TMemberDAO(db_).GetMembers(c).size(), 200);
}

void TestModelStorage::olderDatabaseGainsTheOrderAndKeepsIt()
{
    // A database as the program wrote it before members had an order, with ids that do not
    // follow the order the rows were written in.
    const QString old = dir_->filePath(QStringLiteral("old.mdb"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(old);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const char *sql : {
                 "CREATE TABLE t_project (projectId INTEGER PRIMARY KEY AUTOINCREMENT, projectName TEXT)",
                 "CREATE TABLE t_class (classId INTEGER PRIMARY KEY AUTOINCREMENT, projectId INTEGER,"
                 " className TEXT, friendName TEXT)",
                 "CREATE TABLE t_member (memberId INTEGER PRIMARY KEY AUTOINCREMENT, projectId INTEGER,"
                 " classId INTEGER, memberName TEXT, memberType TEXT, memberLength INTEGER,"
                 " memberIsPri INTEGER, memberComment TEXT, memberIsMust INTEGER, memberIsInteger INTEGER,"
                 " memberIsFloat INTEGER, queryFlag INTEGER, memberIsDisplay INTEGER,"
                 " memberQueryDisplay INTEGER)",
                 "INSERT INTO t_project VALUES (1, 'school')",
                 "INSERT INTO t_class VALUES (1, 1, 'Student', '学生')",
                 "INSERT INTO t_member VALUES (7, 1, 1, 'b', '字符串', 20, 0, '', 1, 0, 0, 0, 0, 1)",
                 "INSERT INTO t_member VALUES (3, 1, 1, 'a', '字符串', 20, 1, '', 1, 0, 0, 0, 1, 1)",
                 "INSERT INTO t_member VALUES (9, 1, 1, 'c', '整型', 0, 0, '', 1, 1, 0, 0, 0, 1)",
             })
            QVERIFY2(q.exec(QLatin1String(sql)), qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));

    const TDbHelper helper(old);
    const TMemberDAO members(helper);
    const auto names = [&] {
        QStringList list;
        for (const TMember &m : members.GetMembers(1))
            list.append(m.memberName());
        return list.join(QLatin1Char(' '));
    };
    QCOMPARE(names(), QStringLiteral("a b c"));
    QCOMPARE(helper.QueryInteger(QStringLiteral("select memberOrder from t_member where memberId=9")), 9);
    TMember d;
    d.setProjectId(1);
    d.setClassId(1);
    d.setMemberName(QStringLiteral("d"));
    members.AddMember(d);
    QVERIFY(members.MoveMember(helper.QueryInteger(QStringLiteral("select max(memberId) from t_member")), -1));
    QCOMPARE(names(), QStringLiteral("a b d c"));

    // The diagram places its boxes itself until one is dragged.
    const TClassDAO classes(helper);
    QVERIFY(classes.GetDiagramPositions(1).isEmpty());
    classes.SetDiagramPositions({{1, QPoint(5, -7)}});
    QCOMPARE(classes.GetDiagramPositions(1), (QHash<int, QPoint>{{1, QPoint(5, -7)}}));
    // The later fields read as they always were: utf8 tables, no nulls, RESTRICT, no indexes.
    QCOMPARE(TProjectDAO(helper).GetTableCharset(1), QStringLiteral("utf8"));
    const TMember c = *members.GetMember(9);
    const auto later = std::tuple(c.memberScale(), c.memberIsUnsigned(), c.memberIsNullable(),
                                  c.memberOnDelete(), c.memberOnUpdate(), c.memberEnumValues());
    QVERIFY(later == std::tuple(0, 0, 0, QStringLiteral("RESTRICT"), QStringLiteral("RESTRICT"), QStringList()));
    const TIndexDAO indexes(helper);
    QVERIFY(indexes.GetIndexes(1).isEmpty());
    indexes.SetIndexes(1, 1, {{QStringLiteral("bc"), {QStringLiteral("b"), QStringLiteral("c")}, 1}});
    QCOMPARE(indexes.GetIndexes(1).first().indexMembers, QStringList({"b", "c"}));
}

void TestModelStorage::applicationPrefixAvoidsTheUsersTables_data()
{
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("no table like it") << QStringList{"orders", "session", "admin"} << "velmora_";
    QTest::newRow("a user's table under it") << QStringList{"Velmora_notes"} << "velmora2_";
    QTest::newRow("the next one taken too") << QStringList{"velmora_a", "velmora2_b"} << "velmora3_";
    QTest::newRow("an application made before") << QStringList{"velmora_a", "velmora2_admin"} << "velmora2_";
}

// The application's tables never land on a user's table, and a second import finds its own again.
void TestModelStorage::applicationPrefixAvoidsTheUsersTables()
{
    QFETCH(QStringList, tables);
    QFETCH(QString, prefix);
    QCOMPARE(TExistingDatabase::ChoosePrefix(tables), prefix);
}

QTEST_GUILESS_MAIN(TestModelStorage)
#include "tst_model_storage.moc"
