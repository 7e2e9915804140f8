#include "ModelFixture.h"
#include "model/IndexDAO.h"

// The stores' reads and writes of projects, classes, members and indexes.
class TestModel : public QObject, private TModelFixture {
    Q_OBJECT

private slots:
    void init() { TModelFixture::init(); }

    void lookupsWithoutRowsGiveMinusOneOrEmpty();
    void deleteProjectKeepsItsMembers();
    void classChangesAreAllOrNothing();
    void renameRewritesExactReferencesInItsOwnProjectOnly();
    void copyRefersToItselfWhereTheSourceDid();
    void checksStopAtTheFirstFailingClass();
    void deletedIdsAreNeverReused();
    void textIsStoredAsTyped();
    void memberSelectionsAndLookups();
    void moveMember_data();
    void moveMember();
    void diagramPlacesStayWithTheirClass();
    void newFieldsAndIndexesFollowTheirMembers();
};

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

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
