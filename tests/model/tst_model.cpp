#include "model/ClassDAO.h"
#include "model/DbHelper.h"
#include "model/ExistingDatabase.h"
#include "model/IndexDAO.h"
#include "model/MemberDAO.h"
#include "model/ProjectDAO.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

#include <atomic>

// Each test works on a fresh database file of its own.
class TestModel : public QObject {
    Q_OBJECT

private slots:
    void init();

    void missingAndForeignFilesAreRefusedAndLeftAlone();
    void emptyDatabaseIsNeverOverwritten();
    void lookupsWithoutRowsGiveMinusOneOrEmpty();
    void failedBatchRollsBackAndReachesTheCaller();
    void fullDiskIsNamedAndChangesNothing_data();
    void fullDiskIsNamedAndChangesNothing();
    void deleteProjectKeepsItsMembers();
    void classChangesAreAllOrNothing();
    void renameRewritesExactReferencesInItsOwnProjectOnly();
    void copyRefersToItselfWhereTheSourceDid();
    void checksStopAtTheFirstFailingClass();
    void deletedIdsAreNeverReused();
    void textIsStoredAsTyped();
    void memberSelectionsAndLookups();
    void twoThreadsUseTheStoresAtOnce();
    void moveMember_data();
    void moveMember();
    void olderDatabaseGainsTheOrderAndKeepsIt();
    void diagramPlacesStayWithTheirClass();
    void newFieldsAndIndexesFollowTheirMembers();
    void applicationPrefixAvoidsTheUsersTables_data();
    void applicationPrefixAvoidsTheUsersTables();

private:
    int addProject(const QString &name);
    int addClass(int projectId, const QString &name);
    int addMember(int projectId, int classId, const QString &name, const QString &type,
                  int isPri = 0, int isDisplay = 0);

    QScopedPointer<QTemporaryDir> dir_;
    QString file_;
    TDbHelper db_{QString()};
};

void TestModel::init()
{
    dir_.reset(new QTemporaryDir);
    QVERIFY(dir_->isValid());
    file_ = dir_->filePath(QStringLiteral("projects.mdb"));
    TDbHelper::CreateEmptyDatabase(file_);
    db_ = TDbHelper(file_);
}

int TestModel::addProject(const QString &name)
{
    TProjectDAO(db_).AddProject(name);
    return db_.QueryInteger(QStringLiteral("select max(projectId) from t_project"));
}

int TestModel::addClass(int projectId, const QString &name)
{
    TClassDAO(db_).AddClass(projectId, name, name + QStringLiteral("友好名"));
    return TClassDAO(db_).GetClassId(projectId, name);
}

int TestModel::addMember(int projectId, int classId, const QString &name, const QString &type,
                         int isPri, int isDisplay)
{
    TMember m;
    m.setProjectId(projectId);
    m.setClassId(classId);
    m.setMemberName(name);
    m.setMemberType(type);
    m.setMemberIsPri(isPri);
    m.setMemberIsDisplay(isDisplay);
    TMemberDAO(db_).AddMember(m);
    return db_.QueryInteger(QStringLiteral("select max(memberId) from t_member"));
}

void TestModel::missingAndForeignFilesAreRefusedAndLeftAlone()
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

void TestModel::emptyDatabaseIsNeverOverwritten()
{
    addProject(QStringLiteral("kept"));
    QVERIFY_THROWS_EXCEPTION(TDbError, TDbHelper::CreateEmptyDatabase(file_));
    QCOMPARE(TProjectDAO(db_).GetProjects().size(), 1);
    QVERIFY(!QFile::exists(file_ + QStringLiteral(".new")));
}

void TestModel::lookupsWithoutRowsGiveMinusOneOrEmpty()
{
    TClassDAO classes(db_);
    QCOMPARE(TProjectDAO(db_).CountByName(QStringLiteral("none")), 0);
    QCOMPARE(classes.GetClassId(1, QStringLiteral("None")), -1);
    QCOMPARE(classes.CountByName(1, QStringLiteral("None")), 0);
    QCOMPARE(classes.GetClassName(42), QString());
    QCOMPARE(classes.GetFriendName(42), QString());
    QVERIFY(!TMemberDAO(db_).GetMember(42).has_value());
    QCOMPARE(db_.QueryString(QStringLiteral("select projectName from t_project")), QString());

    const int p1 = addProject(QStringLiteral("a"));
    const int p2 = addProject(QStringLiteral("b"));
    addClass(p2, QStringLiteral("Book"));
    QCOMPARE(classes.GetClassId(p1, QStringLiteral("Book")), -1);
    QVERIFY(!TMemberDAO(db_).GetProjectKeyMember(p1, QStringLiteral("Book")).has_value());
    QVERIFY(classes.GetClasses(p1).isEmpty());
    QVERIFY(classes.CheckPrimaryKeys({}) && classes.CheckDisplayMembers({}));
}

void TestModel::failedBatchRollsBackAndReachesTheCaller()
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

void TestModel::fullDiskIsNamedAndChangesNothing_data()
{
    QTest::addColumn<bool>("smallFileSystem");
    // SQLite's own size limit fails the write as a full disk does.
    QTest::newRow("database at its size limit") << false;
    // A file system with no room: SQLite cannot even set up its shared memory.
    QTest::newRow("file system full") << true;
}

void TestModel::fullDiskIsNamedAndChangesNothing()
{
    QFETCH(bool, smallFileSystem);
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
                                                        QStringLiteral("-o"), QStringLiteral("size=1m"),
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
        QFile fill(small + QStringLiteral("/fill"));
        QVERIFY(fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (fill.write(block) == block.size()) {
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
    QFile::remove(small + QStringLiteral("/fill"));
    QVERIFY(projects.GetProjects().isEmpty());
}

void TestModel::deleteProjectKeepsItsMembers()
{
    const int p = addProject(QStringLiteral("school"));
    const int c = addClass(p, QStringLiteral("Student"));
    addMember(p, c, QStringLiteral("id"), MemberType::Integer, 1);
    TProjectDAO(db_).DeleteProject(p);
    QVERIFY(TProjectDAO(db_).GetProjects().isEmpty());
    QVERIFY(TClassDAO(db_).GetClasses(p).isEmpty());
    QCOMPARE(TMemberDAO(db_).GetMembers(c).size(), 1);
}

void TestModel::classChangesAreAllOrNothing()
{
    const int p = addProject(QStringLiteral("school"));
    const int student = addClass(p, QStringLiteral("Student"));
    const int score = addClass(p, QStringLiteral("Score"));
    addMember(p, student, QStringLiteral("id"), MemberType::Integer, 1);
    addMember(p, score, QStringLiteral("student"), QStringLiteral("Student"));
    db_.ExecuteSql(QStringLiteral("create trigger frozen before update on t_member "
                                  "begin select raise(abort, 'frozen'); end"));
    db_.ExecuteSql(QStringLiteral("create trigger kept before delete on t_member "
                                  "begin select raise(abort, 'kept'); end"));
    TClassDAO classes(db_);
    QVERIFY_THROWS_EXCEPTION(TDbError, classes.UpdateClass(p, student, QStringLiteral("Pupil"),
                                                           QStringLiteral("学生")));
    QCOMPARE(classes.GetClassName(student), QStringLiteral("Student"));
    QVERIFY_THROWS_EXCEPTION(TDbError, classes.DeleteClass(student));
    QCOMPARE(classes.GetClassName(student), QStringLiteral("Student"));
    QCOMPARE(TMemberDAO(db_).GetMembers(student).size(), 1);

    db_.ExecuteSql(QStringLiteral("drop trigger kept"));
    classes.DeleteClass(student);
    QVERIFY(classes.GetClassName(student).isEmpty());
    QVERIFY(TMemberDAO(db_).GetMembers(student).isEmpty());
    // A member of another class keeps the deleted class's name, and still counts as a reference.
    const QList<TMember> refs = TMemberDAO(db_).GetReferenceMembers(score);
    QCOMPARE(refs.size(), 1);
    QCOMPARE(refs.first().memberType(), QStringLiteral("Student"));
}

void TestModel::renameRewritesExactReferencesInItsOwnProjectOnly()
{
    const int p3 = addProject(QStringLiteral("library"));
    const int other = addProject(QStringLiteral("other"));
    const int book = addClass(p3, QStringLiteral("Book"));
    const int loan = addClass(p3, QStringLiteral("Loan"));
    const int otherLoan = addClass(other, QStringLiteral("Loan"));
    const int ref = addMember(p3, loan, QStringLiteral("book"), QStringLiteral("Book"));
    const int lookalike = addMember(p3, loan, QStringLiteral("books"), QStringLiteral("Bookcase"));
    const int lower = addMember(p3, loan, QStringLiteral("b"), QStringLiteral("book"));
    const int foreign = addMember(other, otherLoan, QStringLiteral("book"), QStringLiteral("Book"));

    TClassDAO classes(db_);
    classes.UpdateClass(p3, book, QStringLiteral("Volume"), QStringLiteral("卷"));
    TMemberDAO members(db_);
    QCOMPARE(members.GetMember(ref)->memberType(), QStringLiteral("Volume"));
    QCOMPARE(members.GetMember(lookalike)->memberType(), QStringLiteral("Bookcase"));
    QCOMPARE(members.GetMember(lower)->memberType(), QStringLiteral("book"));
    QCOMPARE(members.GetMember(foreign)->memberType(), QStringLiteral("Book"));
    QCOMPARE(classes.GetFriendName(book), QStringLiteral("卷"));

    // No duplicate check on rename; an unchanged name changes no member.
    classes.UpdateClass(p3, loan, QStringLiteral("Volume"), QStringLiteral("借阅"));
    QCOMPARE(classes.CountByName(p3, QStringLiteral("Volume")), 2);
    QCOMPARE(members.GetMember(ref)->memberType(), QStringLiteral("Volume"));
}

void TestModel::copyRefersToItselfWhereTheSourceDid()
{
    const int p = addProject(QStringLiteral("tree"));
    const int node = addClass(p, QStringLiteral("Node"));
    const int leaf = addClass(p, QStringLiteral("Leaf"));
    addMember(p, node, QStringLiteral("id"), MemberType::Integer, 1);
    addMember(p, node, QStringLiteral("parent"), QStringLiteral("Node"));
    addMember(p, node, QStringLiteral("first"), QStringLiteral("Leaf"));
    addMember(p, node, QStringLiteral("alias"), QStringLiteral("Nodes"));
    const int leafRef = addMember(p, leaf, QStringLiteral("node"), QStringLiteral("Node"));

    const int copy = TClassDAO(db_).CopyClass(p, node, QStringLiteral("Branch"), QStringLiteral("枝"));
    const auto types = [&](int classId) {
        QStringList all;
        for (const TMember &m : TMemberDAO(db_).GetMembers(classId))
            all.append(m.memberName() + QLatin1Char(':') + m.memberType());
        return all;
    };
    QCOMPARE(types(copy), QStringList({"id:整型", "parent:Branch", "first:Leaf", "alias:Nodes"}));
    // The source and the other classes still refer to the source.
    QCOMPARE(types(node), QStringList({"id:整型", "parent:Node", "first:Leaf", "alias:Nodes"}));
    QCOMPARE(TMemberDAO(db_).GetMember(leafRef)->memberType(), QStringLiteral("Node"));
}

void TestModel::checksStopAtTheFirstFailingClass()
{
    const int p = addProject(QStringLiteral("school"));
    const int good = addClass(p, QStringLiteral("Good"));
    const int noKey = addClass(p, QStringLiteral("NoKey"));
    const int twoKeys = addClass(p, QStringLiteral("TwoKeys"));
    addMember(p, good, QStringLiteral("id"), MemberType::Integer, 1, 1);
    addMember(p, noKey, QStringLiteral("name"), MemberType::Text, 0, 1);
    addMember(p, twoKeys, QStringLiteral("a"), MemberType::Integer, 1, 1);
    addMember(p, twoKeys, QStringLiteral("b"), MemberType::Integer, 1, 1);

    TClassDAO classes(db_);
    const TClassList list = classes.GetClasses(p);
    QCOMPARE(list.size(), 3);
    QList<int> reported;
    const auto record = [&](int id) { reported.append(id); };
    QVERIFY(!classes.CheckPrimaryKeys(list, record));
    QCOMPARE(reported, QList<int>{noKey});

    reported.clear();
    QVERIFY(!classes.CheckPrimaryKeys({list.at(0), list.at(2), list.at(1)}, record));
    QCOMPARE(reported, QList<int>{twoKeys});

    reported.clear();
    QVERIFY(classes.CheckDisplayMembers({list.at(0), list.at(1)}, record));
    addMember(p, noKey, QStringLiteral("title"), MemberType::Text, 0, 1);
    QVERIFY(!classes.CheckDisplayMembers(list, record));
    QCOMPARE(reported, QList<int>{noKey});
}

void TestModel::deletedIdsAreNeverReused()
{
    const int first = addProject(QStringLiteral("a"));
    const int second = addProject(QStringLiteral("b"));
    TProjectDAO(db_).DeleteProject(second);
    QVERIFY(addProject(QStringLiteral("c")) > second);

    const int c1 = addClass(first, QStringLiteral("A"));
    TClassDAO(db_).DeleteClass(c1);
    QVERIFY(addClass(first, QStringLiteral("B")) > c1);

    const int m1 = addMember(first, c1, QStringLiteral("x"), MemberType::Text);
    TMemberDAO(db_).DeleteMember(m1);
    QVERIFY(addMember(first, c1, QStringLiteral("y"), MemberType::Text) > m1);
}

void TestModel::textIsStoredAsTyped()
{
    const QString name = QStringLiteral("O'Brien's \"项目\" \\ ; --");
    const int p = addProject(name);
    QCOMPARE(TProjectDAO(db_).CountByName(name), 1);
    QCOMPARE(TProjectDAO(db_).GetProjects().first().name, name);
    TProjectDAO(db_).RenameProject(p, QStringLiteral("学校'管理'"));
    QCOMPARE(TProjectDAO(db_).CountByName(QStringLiteral("学校'管理'")), 1);

    const QString className = QStringLiteral("It's");
    const int c = addClass(p, className);
    QCOMPARE(TClassDAO(db_).GetClassName(c), className);
    QCOMPARE(TClassDAO(db_).GetFriendName(c), className + QStringLiteral("友好名"));

    TMember m;
    m.setProjectId(p);
    m.setClassId(c);
    m.setMemberName(QStringLiteral("note"));
    m.setMemberType(MemberType::Text);
    m.setMemberComment(QStringLiteral("学生的'备注'"));
    TMemberDAO(db_).AddMember(m);
    QCOMPARE(TMemberDAO(db_).GetMembers(c).first().memberComment(), QStringLiteral("学生的'备注'"));
    // Class names compare with case, as the database does.
    QCOMPARE(TClassDAO(db_).CountByName(p, QStringLiteral("it's")), 0);
}

void TestModel::memberSelectionsAndLookups()
{
    const int p = addProject(QStringLiteral("school"));
    const int other = addProject(QStringLiteral("other"));
    const int student = addClass(p, QStringLiteral("Student"));
    const int score = addClass(p, QStringLiteral("Score"));
    addClass(other, QStringLiteral("Student"));
    addMember(p, student, QStringLiteral("id"), MemberType::Integer, 1);

    TMember m;
    m.setProjectId(p);
    m.setClassId(score);
    m.setMemberName(QStringLiteral("photo"));
    m.setMemberType(MemberType::Picture);
    m.setQueryFlag(1);
    TMemberDAO members(db_);
    members.AddMember(m);
    const int photo = db_.QueryInteger(QStringLiteral("select max(memberId) from t_member"));
    const int key = addMember(p, score, QStringLiteral("no"), MemberType::Text, 1, 1);
    addMember(p, score, QStringLiteral("student"), QStringLiteral("Student"));

    const TMember stored = *members.GetMember(photo);
    QCOMPARE(stored.memberQueryDisplay(), 1);
    QCOMPARE(stored.memberLength(), 0);
    QCOMPARE(members.GetPictureMembers(score).size(), 1);
    QCOMPARE(members.GetQueryMembers(score).first().memberId(), photo);
    QCOMPARE(members.GetNonKeyMembers(score).size(), 2);
    QCOMPARE(members.GetReferenceMembers(score).first().memberName(), QStringLiteral("student"));
    QCOMPARE(members.GetKeyMember(score)->memberId(), key);
    QCOMPARE(members.GetDisplayMember(score)->memberId(), key);
    QCOMPARE(members.GetProjectKeyMember(p, QStringLiteral("Student"))->memberName(), QStringLiteral("id"));
    QVERIFY(!members.GetProjectKeyMember(other, QStringLiteral("Student")).has_value());

    // An update never moves a member to another class or project.
    TMember moved = stored;
    moved.setProjectId(other);
    moved.setClassId(student);
    moved.setMemberType(MemberType::Integer);
    moved.setMemberQueryDisplay(0);
    members.UpdateMember(moved);
    const TMember after = *members.GetMember(photo);
    QCOMPARE(after.classId(), score);
    QCOMPARE(after.projectId(), p);
    QCOMPARE(after.memberType(), MemberType::Integer);
    QCOMPARE(after.memberQueryDisplay(), 0);

    // The whole project at once: the same rows as per class, and nothing of other projects.
    QList<int> projectMemberIds;
    for (const TMember &member : members.GetProjectMembers(p))
        projectMemberIds.append(member.memberId());
    QList<int> perClassIds;
    for (const int cls : {student, score})
        for (const TMember &member : members.GetMembers(cls))
            perClassIds.append(member.memberId());
    std::sort(perClassIds.begin(), perClassIds.end());
    QCOMPARE(projectMemberIds, perClassIds);
    QCOMPARE(TClassDAO(db_).GetFriendNames(p).value(score), QStringLiteral("Score友好名"));
    QCOMPARE(TClassDAO(db_).GetFriendNames(p).size(), 2);

    const TClassList others = TClassDAO(db_).GetOtherClasses(p, score);
    QCOMPARE(others, TClassList({{QStringLiteral("Student"), student}}));
    QCOMPARE(TClassDAO(db_).GetOtherClasses(p, -5).size(), 2);
}

void TestModel::twoThreadsUseTheStoresAtOnce()
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

void TestModel::moveMember_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<QString>("order");
    QTest::newRow("down") << "a" << 1 << true << "b a c d";
    QTest::newRow("up") << "c" << -1 << true << "a c b d";
    QTest::newRow("last to first") << "d" << -3 << true << "d a b c";
    QTest::newRow("first cannot go up") << "a" << -1 << false << "a b c d";
    QTest::newRow("last cannot go down") << "d" << 1 << false << "a b c d";
}

void TestModel::moveMember()
{
    QFETCH(QString, member);
    QFETCH(int, steps);
    QFETCH(bool, moved);
    QFETCH(QString, order);
    const int p = addProject(QStringLiteral("school"));
    const int c = addClass(p, QStringLiteral("Student"));
    const int other = addClass(p, QStringLiteral("Score"));
    QHash<QString, int> ids;
    for (const char *name : {"a", "b", "c", "d"}) {
        ids.insert(QLatin1String(name), addMember(p, c, QLatin1String(name), MemberType::Text));
        addMember(p, other, QLatin1String(name), MemberType::Text);
    }
    const TMemberDAO members(db_);
    QCOMPARE(members.MoveMember(ids.value(member), steps), moved);
    const auto names = [&](int classId) {
        QStringList list;
        for (const TMember &m : members.GetMembers(classId))
            list.append(m.memberName());
        return list.join(QLatin1Char(' '));
    };
    QCOMPARE(names(c), order);
    QCOMPARE(names(other), QStringLiteral("a b c d"));
    // A member added afterwards goes last, and the project-wide list keeps each class's order.
    addMember(p, c, QStringLiteral("e"), MemberType::Text);
    QCOMPARE(names(c), order + QStringLiteral(" e"));
    QStringList projectOrder;
    for (const TMember &m : members.GetProjectMembers(p)) {
        if (m.classId() == c)
            projectOrder.append(m.memberName());
    }
    QCOMPARE(projectOrder.join(QLatin1Char(' ')), order + QStringLiteral(" e"));
}

void TestModel::olderDatabaseGainsTheOrderAndKeepsIt()
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

void TestModel::diagramPlacesStayWithTheirClass()
{
    const TClassDAO classes(db_);
    const int p = addProject(QStringLiteral("p"));
    const int other = addProject(QStringLiteral("other"));
    const int a = addClass(p, QStringLiteral("A"));
    const int b = addClass(p, QStringLiteral("B"));
    const int c = addClass(other, QStringLiteral("C"));
    classes.SetDiagramPositions({{a, QPoint(10, 20)}, {c, QPoint(1, 2)}});
    classes.SetDiagramPositions({{b, QPoint(-30, 0)}});
    QCOMPARE(classes.GetDiagramPositions(p), (QHash<int, QPoint>{{a, QPoint(10, 20)}, {b, QPoint(-30, 0)}}));
    // A copy is placed by the diagram, not on top of its source.
    const int copy = classes.CopyClass(p, a, QStringLiteral("ACopy"), QString());
    QVERIFY(!classes.GetDiagramPositions(p).contains(copy));
    classes.ClearDiagramPositions(p);
    QVERIFY(classes.GetDiagramPositions(p).isEmpty());
    QCOMPARE(classes.GetDiagramPositions(other), (QHash<int, QPoint>{{c, QPoint(1, 2)}}));
}

// The fields of the richer types are stored as given; indexes hold their members by id, so
// they follow a rename, lose a deleted member, and are copied and deleted with their class.
void TestModel::newFieldsAndIndexesFollowTheirMembers()
{
    const int p = addProject(QStringLiteral("shop"));
    QCOMPARE(TProjectDAO(db_).GetTableCharset(p), QStringLiteral("utf8mb4"));
    const int c = addClass(p, QStringLiteral("Item"));
    addMember(p, c, QStringLiteral("id"), MemberType::BigInt, 1);
    const int title = addMember(p, c, QStringLiteral("title"), MemberType::Text, 0, 1);
    const int price = addMember(p, c, QStringLiteral("price"), MemberType::Decimal);
    TMember rich = *TMemberDAO(db_).GetMember(price);
    rich.setMemberLength(10);
    rich.setMemberScale(2);
    rich.setMemberIsUnsigned(1);
    rich.setMemberIsNullable(1);
    rich.setMemberOnDelete(QStringLiteral("SET NULL"));
    rich.setMemberOnUpdate(QStringLiteral("CASCADE"));
    rich.setMemberEnumValues({QStringLiteral("a,b"), QStringLiteral("it's"), QStringLiteral("\\"), QStringLiteral("红")});
    TMemberDAO(db_).UpdateMember(rich);
    const auto fields = [](const TMember &m) {
        return std::tuple(m.memberLength(), m.memberScale(), m.memberIsUnsigned(), m.memberIsNullable(),
                          m.memberOnDelete(), m.memberOnUpdate(), m.memberEnumValues());
    };
    QVERIFY(fields(*TMemberDAO(db_).GetMember(price)) == fields(rich));

    const TIndexDAO indexes(db_);
    const TClassIndexes set{{QStringLiteral("u_title_price"), {QStringLiteral("price"), QStringLiteral("title")}, 1},
                            {QStringLiteral("k_price"), {QStringLiteral("price")}, 0}};
    indexes.SetIndexes(p, c, set);
    QCOMPARE(indexes.GetIndexes(c), set);
    // A member the class lacks: refused, nothing changed.
    QVERIFY_THROWS_EXCEPTION(TDbError, indexes.SetIndexes(p, c, {{QStringLiteral("x"), {QStringLiteral("nope")}, 0}}));
    QCOMPARE(indexes.GetIndexes(c), set);

    TMember renamed = *TMemberDAO(db_).GetMember(title);
    renamed.setMemberName(QStringLiteral("caption"));
    TMemberDAO(db_).UpdateMember(renamed);
    QCOMPARE(indexes.GetIndexes(c).first().indexMembers, QStringList({"price", "caption"}));

    const int copy = TClassDAO(db_).CopyClass(p, c, QStringLiteral("Item2"), QStringLiteral("复制"));
    QCOMPARE(indexes.GetIndexes(copy), indexes.GetIndexes(c));
    QVERIFY(fields(TMemberDAO(db_).GetMembers(copy).at(2)) == fields(rich));
    QCOMPARE(indexes.GetProjectIndexes(p).keys().size(), 2);

    TMemberDAO(db_).DeleteMember(price);
    QCOMPARE(indexes.GetIndexes(c).first().indexMembers, QStringList{"caption"});
    QVERIFY(indexes.GetIndexes(c).last().indexMembers.isEmpty());
    TClassDAO(db_).DeleteClass(c);
    QVERIFY(indexes.GetIndexes(c).isEmpty());
    QCOMPARE(indexes.GetIndexes(copy).size(), 2);
    TProjectDAO(db_).DeleteProject(p);
    QCOMPARE(db_.QueryInteger(QStringLiteral("select count(*) from t_index")), 0);
    QCOMPARE(db_.QueryInteger(QStringLiteral("select count(*) from t_index_member")), 0);
}

void TestModel::applicationPrefixAvoidsTheUsersTables_data()
{
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("no table like it") << QStringList{"orders", "session", "admin"} << "velmora_";
    QTest::newRow("a user's table under it") << QStringList{"Velmora_notes"} << "velmora2_";
    QTest::newRow("the next one taken too") << QStringList{"velmora_a", "velmora2_b"} << "velmora3_";
    QTest::newRow("an application made before") << QStringList{"velmora_a", "velmora2_admin"} << "velmora2_";
}

// The application's tables never land on a user's table, and a second import finds its own again.
void TestModel::applicationPrefixAvoidsTheUsersTables()
{
    QFETCH(QStringList, tables);
    QFETCH(QString, prefix);
    QCOMPARE(TExistingDatabase::ChoosePrefix(tables), prefix);
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
