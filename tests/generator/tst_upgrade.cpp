#include "generator/output/GenerationError.h"
#include "generator/check/ProjectModel.h"
#include "generator/emit/UpgradeSql.h"

#include <QtTest>

// The upgrade script's statements on plain models: which statements, and in which order.
// Whether MariaDB accepts them on tables holding rows is checked by tests/upgrade.
namespace {

TMember member(int id, const char *name, const QString &type, int length = 20, bool key = false,
              bool display = false)
{
    TMember m;
    m.setProjectId(1);
    m.setMemberId(id);
    m.setMemberName(QString::fromUtf8(name));
    m.setMemberType(type);
    m.setMemberLength(length);
    m.setMemberIsPri(key ? 1 : 0);
    m.setMemberIsInteger(type == MemberType::Integer ? 1 : 0);
    m.setMemberIsMust(1);
    m.setMemberIsDisplay(display ? 1 : 0);
    m.setMemberComment(QString::fromUtf8(name));
    return m;
}

// A(aId, name, b -> B), B(bId, title).
QList<TClassModel> base()
{
    TClassModel a{1, QStringLiteral("A"), QString(),
                  {member(1, "aId", MemberType::Integer, 0, true), member(2, "name", MemberType::Text, 20, false, true),
                   member(3, "b", QStringLiteral("B"))}};
    TClassModel b{2, QStringLiteral("B"), QString(),
                  {member(4, "bId", MemberType::Integer, 0, true), member(5, "title", MemberType::Text, 20, false, true)}};
    return {a, b};
}

struct TEditCase {
    const char *name;
    void (*edit)(QList<TClassModel> &classes);
    const char *prefix;
    bool destructive;
    QStringList inOrder; // each found after the one before it
    QStringList absent;
    bool toUtf8mb4 = false;
    bool overExistingDatabase = false;
};

const TEditCase cases[] = {
    {"nothing changed", [](QList<TClassModel> &) {}, "t_", false,
     {"-- 模型没有变化"}, {"ALTER", "RENAME"}},
    {"referenced class renamed, reference retyped", [](QList<TClassModel> &c) {
         c[1].className = QStringLiteral("C");
         c[0].members[2].setMemberType(QStringLiteral("C"));
         c[1].members[0].setMemberName(QStringLiteral("cId"));
     }, "t_", false,
     {"DROP FOREIGN KEY `t_A_ibfk_1`", "DROP INDEX `b`;", "RENAME TABLE", "`t_B` TO `t_C`",
      "CHANGE COLUMN `bId` `cId` int(11) NOT NULL AUTO_INCREMENT COMMENT 'bId' FIRST;",
      "ADD INDEX `b` (`b`)", "ADD CONSTRAINT `t_A_ibfk_1` FOREIGN KEY (`b`) REFERENCES `t_C` (`cId`);"},
     {}},
    {"member renamed and shortened, new member after it", [](QList<TClassModel> &c) {
         c[1].members[1].setMemberName(QStringLiteral("caption"));
         c[1].members[1].setMemberLength(10);
         c[1].members.append(member(9, "note", MemberType::Date));
     }, "t_", false,
     {"ALTER TABLE `t_B`", "-- 警告: 可能丢失数据: `caption` 长度由 20 缩短为 10",
      "CHANGE COLUMN `title` `caption` varchar(10) COLLATE utf8_bin NOT NULL COMMENT 'title' AFTER `bId`,",
      "ADD COLUMN `note` date NOT NULL COMMENT 'note' AFTER `caption`;"},
     {"FOREIGN KEY"}},
    {"removed member and class kept by default", [](QList<TClassModel> &c) {
         c[0].members.removeAt(2);
         c[0].members.append(member(10, "b", MemberType::Integer));
         c.removeAt(1);
     }, "t_", false,
     {"DROP FOREIGN KEY `t_A_ibfk_1`", "CHANGE COLUMN `b` `b_v3` int(11) NULL COMMENT 'b',",
      "ADD COLUMN `b` int(11) NOT NULL", "-- 警告: 以下语句会删除",
      "-- ALTER TABLE `t_A` DROP COLUMN `b_v3`;", "-- DROP TABLE IF EXISTS `t_B`;"},
     {"\nDROP TABLE", "  DROP COLUMN"}},
    {"removed member and class dropped when destructive", [](QList<TClassModel> &c) {
         c[0].members.removeAt(2);
         c.removeAt(1);
     }, "t_", true,
     {"DROP FOREIGN KEY `t_A_ibfk_1`", "DROP TABLE IF EXISTS `t_B`;", "DROP COLUMN `b`;"},
     {"-- DROP", "-- ALTER"}},
    {"key moved to another member", [](QList<TClassModel> &c) {
         c[1].members[0].setMemberIsPri(0);
         c[1].members[1].setMemberIsPri(1);
     }, "t_", false,
     {"DROP FOREIGN KEY `t_A_ibfk_1`", "CHANGE COLUMN `b` `b` varchar(20)", "DROP PRIMARY KEY,",
      "CHANGE COLUMN `title` `title` varchar(20) COLLATE utf8_bin NOT NULL COMMENT 'title' FIRST,",
      "CHANGE COLUMN `bId` `bId` int(11) NOT NULL COMMENT 'bId' AFTER `title`,", "ADD PRIMARY KEY (`title`);",
      "REFERENCES `t_B` (`title`)"},
     {}},
    {"two tables swap names, and a new prefix", [](QList<TClassModel> &c) {
         std::swap(c[0].className, c[1].className);
         c[0].members[2].setMemberType(QStringLiteral("A"));
     }, "x_", false,
     {"CREATE TABLE IF NOT EXISTS `t_login_throttle`", "RENAME TABLE", "`t_A` TO `x_B`", "`t_admin` TO `x_admin`",
      "`t_login_throttle` TO `x_login_throttle`"},
     {"velmora_rename", "DROP FOREIGN KEY"}},
    {"reference gets a rule", [](QList<TClassModel> &c) {
         c[0].members[2].setMemberOnDelete(QStringLiteral("CASCADE"));
     }, "t_", false,
     {"DROP FOREIGN KEY `t_A_ibfk_1`", "DROP INDEX `b`;", "ADD INDEX `b` (`b`)",
      "FOREIGN KEY (`b`) REFERENCES `t_B` (`bId`) ON DELETE CASCADE;"},
     {"CHANGE COLUMN"}},
    {"an index takes over the reference's own", [](QList<TClassModel> &c) {
         c[0].indexes = {{QStringLiteral("k_b"), {QStringLiteral("b"), QStringLiteral("name")}, 0}};
     }, "t_", false,
     {"DROP FOREIGN KEY `t_A_ibfk_1`", "DROP INDEX `b`;", "ALTER TABLE `t_A`", "ADD KEY `k_b` (`b`,`name`);",
      "ADD CONSTRAINT `t_A_ibfk_1`"},
     {"ADD INDEX"}},
    {"tables converted to utf8mb4", [](QList<TClassModel> &) {}, "t_", false,
     {"ALTER TABLE `t_A`", "CHANGE COLUMN `name` `name` varchar(20) COLLATE utf8mb4_unicode_ci NOT NULL",
      "DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;", "ALTER TABLE `t_B`"},
     {"FOREIGN KEY", "警告"}, true},
    {"back quotes in a table's and a column's own names", [](QList<TClassModel> &c) {
         c[1].tableName = QStringLiteral("t_B`2");
         c[1].members[1].setMemberColumnName(QStringLiteral("ti`tle"));
     }, "t_", false,
     {"`t_B` TO `t_B``2`;", "ALTER TABLE `t_B``2`",
      "CHANGE COLUMN `title` `ti``tle` varchar(20) COLLATE utf8_bin NOT NULL COMMENT 'title' AFTER `bId`;"},
     {"FOREIGN KEY"}},
    {"exact columns: narrowed with a default, a time stamp added", [](QList<TClassModel> &c) {
         TMember &title = c[1].members[1];
         title.setMemberSqlType(QStringLiteral("char"));
         title.setMemberLength(8);
         title.setMemberDefault(QStringLiteral("'x'"));
         TMember stamp = member(11, "stamp", MemberType::DateTime, 0);
         stamp.setMemberSqlType(QStringLiteral("timestamp"));
         stamp.setMemberDefault(QStringLiteral("current_timestamp()"));
         stamp.setMemberOnUpdateNow(1);
         c[1].members.append(stamp);
     }, "t_", false,
     {"ALTER TABLE `t_B`",
      "-- 警告: 可能丢失数据: `title` 长度由 20 缩短为 8; 受影响的行: SELECT * FROM `t_B` WHERE CHAR_LENGTH(`title`) > 8",
      "CHANGE COLUMN `title` `title` char(8) COLLATE utf8_bin NOT NULL DEFAULT 'x' COMMENT 'title' AFTER `bId`,",
      "ADD COLUMN `stamp` timestamp NOT NULL DEFAULT current_timestamp() ON UPDATE current_timestamp() COMMENT 'stamp' AFTER `title`;"},
     {"FOREIGN KEY"}},
    {"two tables swap names under one prefix", [](QList<TClassModel> &c) {
         std::swap(c[0].className, c[1].className);
         c[0].members[2].setMemberType(QStringLiteral("A"));
     }, "t_", false,
     {"`t_A` TO `velmora_rename_1`", "`t_B` TO `t_A`", "`velmora_rename_1` TO `t_B`"},
     {"admin", "login_throttle", "DROP FOREIGN KEY"}},
    {"a class added over an existing database is made, the user's tables wait", [](QList<TClassModel> &c) {
         c[0].members.append(member(11, "note", MemberType::Text));
         c.append(TClassModel{3, QStringLiteral("C"), QString(),
                              {member(12, "cId", MemberType::Integer, 0, true), member(13, "label", MemberType::Text, 20, false, true),
                               member(14, "a", QStringLiteral("A"))}});
     }, "t_", false,
     {"\r\nCREATE TABLE IF NOT EXISTS `t_C`", "\r\nALTER TABLE `t_C`", "ADD CONSTRAINT `t_C_ibfk_1` FOREIGN KEY (`a`) REFERENCES `t_A` (`aId`);",
      "-- ALTER TABLE `t_A`", "--   ADD COLUMN `note`"},
     {"\r\nALTER TABLE `t_A`"}, false, true},
};

} // namespace

class TestUpgrade : public QObject {
    Q_OBJECT

private slots:
    void statementsInOrder_data();
    void statementsInOrder();
    void brokenModelIsRefusedAndBrokenRecordIsNot();
};

void TestUpgrade::statementsInOrder_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(cases)); ++i)
        QTest::newRow(cases[i].name) << i;
}

void TestUpgrade::statementsInOrder()
{
    QFETCH(int, index);
    const TEditCase &c = cases[index];
    QList<TClassModel> edited = base();
    c.edit(edited);
    const TProjectModel from = TProjectModel::FromClasses(1, base());
    TProjectModel to = TProjectModel::FromClasses(1, edited, QString::fromLatin1(c.toUtf8mb4 ? "utf8mb4" : "utf8"));
    if (c.overExistingDatabase)
        to.SetExistingDatabase(TExistingDatabase{QStringLiteral("velmora_"), QStringLiteral("shop"), {}, 3306, {}, QStringLiteral("web")});
    const QString script = TUpgradeSql::BuildStatements({&from, QStringLiteral("t_"), 3},
                                                        {&to, QString::fromLatin1(c.prefix), 0},
                                                        c.destructive);
    QVERIFY(!script.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
    qsizetype at = 0;
    for (const QString &fragment : c.inOrder) {
        const qsizetype found = script.indexOf(fragment, at);
        QVERIFY2(found >= 0, qPrintable(QStringLiteral("missing or out of order: %1\n%2").arg(fragment, script)));
        at = found + fragment.size();
    }
    for (const QString &fragment : c.absent)
        QVERIFY2(!script.contains(fragment), qPrintable(QStringLiteral("unexpected: %1\n%2").arg(fragment, script)));
}

void TestUpgrade::brokenModelIsRefusedAndBrokenRecordIsNot()
{
    QList<TClassModel> broken = base();
    broken[1].members[0].setMemberIsPri(0);
    const TProjectModel good = TProjectModel::FromClasses(1, base());
    const TProjectModel bad = TProjectModel::FromClasses(1, broken);
    // The current model fails its checks: a refusal, as for the table script.
    QVERIFY_THROWS_EXCEPTION(TModelCheckError,
                             TUpgradeSql::BuildStatements({&good, QStringLiteral("t_"), 1}, {&bad, QStringLiteral("t_"), 0}, false));
    // A damaged record is a failure, not a refusal of the user's model.
    try {
        TUpgradeSql::BuildStatements({&bad, QStringLiteral("t_"), 1}, {&good, QStringLiteral("t_"), 0}, false);
        QFAIL("no failure");
    } catch (const TModelCheckError &) {
        QFAIL("a damaged record reported as a model refusal");
    } catch (const TGenerationError &error) {
        QVERIFY(error.message().startsWith(QStringLiteral("第 1 版的模型记录无法使用")));
    }
}

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
