#include "TestSupport.h"

#include "generator/check/ModelChecker.h"
#include "generator/check/ProjectModel.h"
#include "model/DbHelper.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

// The model checker on the campus model, changed one fault at a time.
class TestChecker : public QObject {
    Q_OBJECT

private slots:
    void init();

    void goldenModelsPass_data();
    void goldenModelsPass();
    void badModelsAreFoundAllAtOnce_data();
    void badModelsAreFoundAllAtOnce();

private:
    QScopedPointer<QTemporaryDir> dir_;
    QString database_;
};

void TestChecker::init()
{
    dir_.reset(new QTemporaryDir);
    database_ = dir_->filePath(QStringLiteral("projects.mdb"));
    TDbHelper::SetDefaultDatabaseFile(database_);
}

void TestChecker::goldenModelsPass_data()
{
    QTest::addColumn<QString>("caseName");
    for (const QString &name : FixtureCases()) {
        if (name != QLatin1String("unusual")) // refused on purpose
            QTest::newRow(qPrintable(name)) << name;
    }
}

void TestChecker::goldenModelsPass()
{
    QFETCH(QString, caseName);
    LoadModel(database_, FixtureDir(caseName) + QStringLiteral("/model.sql"));
    const TModelFindings findings = TModelChecker::Check(TProjectModel::Load(1), QStringLiteral("p"), QStringLiteral("t_"));
    QVERIFY2(findings.isEmpty(), qPrintable(TModelChecker::Messages(findings).join(QLatin1Char('\n'))));
}

void TestChecker::badModelsAreFoundAllAtOnce_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("messages");
    const QString notPhp = QStringLiteral("不是合法的PHP标识符(只能由字母、数字和下划线组成，且不能以数字开头)");
    const QString utf8 = QStringLiteral("含有控制字符或表情符号等4字节字符，建表脚本的表是utf8字符集，不能保存这些字符，请修改!");
    const auto member = [&](const char *cls, const QString &name) {
        return QString::fromUtf8(cls) + QStringLiteral("类的成员\"%1\"").arg(name) + notPhp + QStringLiteral("，请修改成员名称!");
    };
    const auto rename = [](const char *from, const QString &to) {
        return QStringLiteral("update t_member set memberName='%1' where memberName='%2';\n").arg(to, QString::fromUtf8(from));
    };
    const auto renameClass = [](int id, const QString &to) {
        return QStringLiteral("update t_class set className='%1' where classId=%2;\n").arg(to).arg(id);
    };
    const QString app = QStringLiteral("app_");

    // Member names.
    QTest::newRow("blank") << rename("intro", QStringLiteral("my intro")) << app << QStringList{member("Major", QStringLiteral("my intro"))};
    QTest::newRow("quote") << rename("intro", QStringLiteral("it''s")) << app << QStringList{member("Major", QStringLiteral("it's"))};
    QTest::newRow("slash") << rename("intro", QStringLiteral("a/b")) << app << QStringList{member("Major", QStringLiteral("a/b"))};
    QTest::newRow("control character") << QStringLiteral("update t_member set memberName='a'||char(9)||'b' where memberName='intro';")
                                       << app << QStringList{member("Major", QStringLiteral("a\tb"))};
    QTest::newRow("leading digit") << rename("intro", QStringLiteral("2nd")) << app << QStringList{member("Major", QStringLiteral("2nd"))};
    QTest::newRow("empty") << rename("intro", QString()) << app << QStringList{member("Major", QString())};
    QTest::newRow("this") << rename("intro", QStringLiteral("This")) << app
                          << QStringList{QStringLiteral("Major类的成员\"This\"是保留字(this或MySQL的保留字)，请修改成员名称!")};
    QTest::newRow("MySQL word") << rename("intro", QStringLiteral("order")) << app
                                << QStringList{QStringLiteral("Major类的成员\"order\"是保留字(this或MySQL的保留字)，请修改成员名称!")};
    QTest::newRow("PHP words stay allowed") << rename("intro", QStringLiteral("class")) + rename("credit", QStringLiteral("list")) << app << QStringList{};
    const QString asParameter = QStringLiteral("与页面使用的参数名相同，作为主键或查询条件时会被当作页面的参数，请修改成员名称!");
    QTest::newRow("page parameters as key and search member") << QStringLiteral("update t_member set memberName='action' where memberName='code' and classId=2;\n"
                                                                           "update t_member set memberName='pageNow' where memberName='name' and classId=2;") << app
        << QStringList{QStringLiteral("Major类的成员\"action\"") + asParameter, QStringLiteral("Major类的成员\"pageNow\"") + asParameter};
    QTest::newRow("page parameter names elsewhere stay allowed") << rename("intro", QStringLiteral("view")) + rename("credit", QStringLiteral("Action")) << app << QStringList{};
    QTest::newRow("same name but case") << rename("credit", QStringLiteral("Name")) << app
                                        << QStringList{QStringLiteral("Major类的成员\"Name\"与成员\"name\"重名(不区分大小写)，请修改成员名称!")};

    // Class names.
    QTest::newRow("class with a blank") << renameClass(3, QStringLiteral("My Tag")) << app
                                        << QStringList{QStringLiteral("类名\"My Tag\"") + notPhp + QStringLiteral("，请修改类名!")};
    QTest::newRow("class with dots") << renameClass(3, QStringLiteral("A..B")) << app
                                     << QStringList{QStringLiteral("类名\"A..B\"") + notPhp + QStringLiteral("，请修改类名!")};
    QTest::newRow("dots alone are unusable, said once") << renameClass(3, QStringLiteral("..")) << app
                                                        << QStringList{QStringLiteral("类名\"..\"不能用作文件名称，请修改类名!")};
    QTest::newRow("reserved List") << renameClass(3, QStringLiteral("List")) << app
                                   << QStringList{QStringLiteral("类名\"List\"是PHP或MySQL的保留字(不区分大小写)，请修改类名!")};
    QTest::newRow("reserved Select") << renameClass(3, QStringLiteral("Select")) << app
                                     << QStringList{QStringLiteral("类名\"Select\"是PHP或MySQL的保留字(不区分大小写)，请修改类名!")};
    QTest::newRow("skeleton class") << renameClass(3, QStringLiteral("SqlHelper")) << app
                                    << QStringList{QStringLiteral("类名\"SqlHelper\"与程序框架自带的类重名，请修改类名!")};
    QTest::newRow("same class name") << renameClass(3, QStringLiteral("Clazz")) << app
                                     << QStringList{QStringLiteral("类名\"Clazz\"与类名\"Clazz\"重名(不区分大小写)，请修改类名!")};
    QTest::newRow("class name but case") << renameClass(3, QStringLiteral("CLAZZ")) << app
                                         << QStringList{QStringLiteral("类名\"CLAZZ\"与类名\"Clazz\"重名(不区分大小写)，请修改类名!")};
    QTest::newRow("table name too long") << renameClass(3, QStringLiteral("T").repeated(61)) << app
                                         << QStringList{QStringLiteral("表名\"app_%1\"超过64个字符，MySQL不能建表，请缩短类名或表名前缀!").arg(QStringLiteral("T").repeated(61))};

    // The prefix.
    for (const char *bad : {"a'b", "a`b", "x*/", "t-"})
        QTest::newRow(bad) << QString() << QString::fromUtf8(bad)
                           << QStringList{QStringLiteral("表名前缀\"%1\"只能包含字母、数字和下划线!").arg(QString::fromUtf8(bad))};

    // Lengths.
    const auto length = [](const char *value) {
        return QStringLiteral("update t_member set memberLength=%1 where memberName='intro';").arg(QString::fromUtf8(value));
    };
    const auto outOfRange = [](const char *value) {
        return QStringLiteral("Major类的成员\"intro\"的长度%1不在1到21844之间(utf8字符串的最大长度)，请修改长度!").arg(QString::fromUtf8(value));
    };
    QTest::newRow("length -1") << length("-1") << app << QStringList{outOfRange("-1")};
    QTest::newRow("length 0") << length("0") << app << QStringList{outOfRange("0")};
    QTest::newRow("length 21845") << length("21845") << app << QStringList{outOfRange("21845")};
    QTest::newRow("length 10^12 held at int") << length("1000000000000") << app << QStringList{outOfRange("2147483647")};
    QTest::newRow("row too wide") << length("21844") << app
                                  << QStringList{QStringLiteral("Major类的成员合计需要65691字节，超过MariaDB一行最多65535字节的限制(utf8字符串每个字符占3字节)，请减小字符串成员的长度!")};
    QTest::newRow("text key too long") << QStringLiteral("update t_member set memberLength=1025 where memberName='code' and classId=2;") << app
                                       << QStringList{QStringLiteral("Major类的成员\"code\"是主键，长度1025超过1024(utf8字符串主键的最大长度)，请修改长度!")};

    // Characters a utf8 table cannot hold.
    QTest::newRow("emoji in a comment") << QStringLiteral("update t_member set memberComment='好😀' where memberName='intro';") << app
                                        << QStringList{QStringLiteral("Major类的成员\"intro\"的注释") + utf8};
    QTest::newRow("control character in a friendly name") << QStringLiteral("update t_class set friendName='a'||char(7) where classId=3;") << app
                                                          << QStringList{QStringLiteral("Tag类的友好名称") + utf8};

    // The later types, nullability, rules and indexes.
    const auto intro = [](const char *set) {
        return QStringLiteral("update t_member set %1 where memberName='intro';\n").arg(QString::fromUtf8(set));
    };
    const QString where = QStringLiteral("Major类的成员\"intro\"");
    QTest::newRow("precision 66") << intro("memberType='定点数', memberLength=66") << app
                                  << QStringList{where + QStringLiteral("的精度66不在1到65之间，请修改精度!")};
    QTest::newRow("scale beyond precision") << intro("memberType='定点数', memberLength=5, memberScale=6") << app
                                            << QStringList{where + QStringLiteral("的小数位6不在0到5之间(不超过精度, 最多30)，请修改小数位!")};
    QTest::newRow("no enumeration values") << intro("memberType='枚举型'") << app
                                           << QStringList{where + QStringLiteral("没有枚举值，请添加枚举值!")};
    QTest::newRow("enumeration values blank, too long, the same") << intro("memberType='枚举型', memberEnumValues='[\"a\",\" \",\"A \",\"' || printf('%.256c', 'x') || '\"]'") << app
        << QStringList{where + QStringLiteral("的第2个枚举值是空的，请修改!"),
                       where + QStringLiteral("的枚举值\"A \"与\"a\"重复(不区分大小写)，请修改!"),
                       where + QStringLiteral("的第4个枚举值超过255个字符，请缩短!")};
    QTest::newRow("nullable key") << QStringLiteral("update t_member set memberIsNullable=1 where classId=3;") << app
                                  << QStringList{QStringLiteral("Tag类的成员\"id\"是主键，不能允许空，请修改!")};
    QTest::newRow("SET NULL needs a nullable reference")
        << QStringLiteral("update t_member set memberOnDelete='SET NULL', memberOnUpdate='CASCADE' where memberName in ('clazz', 'owner');\n"
                          "update t_member set memberIsNullable=1 where memberName='owner';") << app
        << QStringList{QStringLiteral("Student类的成员\"clazz\"的删除时规则是SET NULL，需要允许空，请勾选允许空或换一个规则!")};
    const QString indexes = QStringLiteral(
        "insert into t_index(indexId, projectId, classId, indexName, indexIsUnique) values"
        " (1,1,2,'u_name',1), (2,1,2,'U_NAME',0), (3,1,2,'bad name',0), (4,1,2,'empty',0), (5,1,4,'clazz',0), (6,1,4,'k',0);\n"
        "insert into t_index_member(indexId, memberId, indexMemberSeq) values"
        " (1,5,1), (1,6,2), (2,2,1), (3,5,1), (5,10,1), (6,12,1), (6,13,2);\n");
    QTest::newRow("indexes") << indexes << app
        << QStringList{QStringLiteral("Major类的索引\"U_NAME\"与索引\"u_name\"重名(不区分大小写)，请修改!"),
                       QStringLiteral("Major类的索引\"U_NAME\"的成员\"title\"不是Major类的成员，请修改!"),
                       QStringLiteral("Major类的索引\"bad name\"的名称不合法(只能由字母、数字和下划线组成，最多64个字符，且不能是PRIMARY)，请修改!"),
                       QStringLiteral("Major类的索引\"empty\"没有成员，请添加!"),
                       QStringLiteral("Student类的索引\"clazz\"与引用成员\"clazz\"的外键索引重名，请修改索引名称!"),
                       QStringLiteral("Student类的索引\"k\"的成员\"photo\"是长文本或图片型，不能建索引，请修改!")};
    QTest::newRow("index too long") << QStringLiteral("insert into t_index values (1,1,2,'u_name',1);\n"
                                                      "insert into t_index_member (indexId, memberId, indexMemberSeq) values (1,5,1), (1,6,2);\n")
                                           + intro("memberLength=1000")
                                    << app << QStringList{QStringLiteral("Major类的索引\"u_name\"的成员合计需要3120字节，超过索引最多3072字节的限制(utf8字符串每个字符占3字节)，请减少成员或减小长度!")};
    QTest::newRow("utf8mb4 takes emoji, not as long a text")
        << QStringLiteral("update t_project set tableCharset='utf8mb4';\nupdate t_member set memberComment='好😀' where memberName='intro';\n")
               + length("16384") << app
        << QStringList{QStringLiteral("Major类的成员\"intro\"的长度16384不在1到16383之间(utf8mb4字符串的最大长度)，请修改长度!")};

    // Composite keys: several key members only with the class's mark, of key types, never referred to.
    const QString secondKey = QStringLiteral("update t_member set memberIsPri=1 where classId=6 and memberName='fromClazz';\n");
    const QString markTransfer = QStringLiteral("update t_class set compositeKey=1 where classId=6;\n");
    QTest::newRow("two keys without the mark") << secondKey << app
                                               << QStringList{QStringLiteral("Transfer表主键设置错误，每个类只能设置一个主键!")};
    QTest::newRow("composite key with the mark") << secondKey + markTransfer << app << QStringList{};
    QTest::newRow("mark with one key") << markTransfer << app
                                       << QStringList{QStringLiteral("Transfer表设为复合主键，至少要设置两个主键!")};
    QTest::newRow("date in a composite key")
        << markTransfer + QStringLiteral("update t_member set memberIsPri=1 where classId=6 and memberName='day';\n") << app
        << QStringList{QStringLiteral("Transfer类的成员\"day\"是日期型，不能作为复合主键的一部分，请修改!")};
    QTest::newRow("reference to a composite key")
        << QStringLiteral("update t_class set compositeKey=1 where classId=1;\n"
                          "update t_member set memberIsPri=1 where classId=1 and memberName='title';\n") << app
        << QStringList{QStringLiteral("Student类的成员clazz引用的类Clazz是复合主键，不能被引用!"),
                       QStringLiteral("Transfer类的成员fromClazz引用的类Clazz是复合主键，不能被引用!"),
                       QStringLiteral("Transfer类的成员toClazz引用的类Clazz是复合主键，不能被引用!")};
    // The database's own names: SQL's words bind a name only while it is also the table's or
    // column's; PHP's always do; MySQL's limits bind the own names.
    QTest::newRow("own names free the SQL words")
        << QStringLiteral("update t_member set memberName='order', memberColumnName='intro' where memberName='intro';\n"
                          "update t_class set className='Groups', tableName='transfer-log' where classId=6;\n") << app << QStringList{};
    QTest::newRow("own names leave the PHP words")
        << QStringLiteral("update t_class set className='list', tableName='lists' where classId=6;\n") << app
        << QStringList{QStringLiteral("类名\"list\"是PHP或MySQL的保留字(不区分大小写)，请修改类名!")};
    QTest::newRow("own names MySQL refuses")
        << QStringLiteral("update t_class set tableName='%1' where classId=6;\n"
                          "update t_member set memberColumnName='intro ' where memberName='intro';\n"
                          "update t_member set memberColumnName='ID' where memberName='reason';\n").arg(QString(65, QLatin1Char('x')))
        << app
        << QStringList{QStringLiteral("Major类的成员\"intro\"的列名\"intro \"以空白结尾，MySQL不能建表，请修改列名!"),
                       QStringLiteral("Transfer类的表名\"%1\"超过64个字符，MySQL不能建表，请修改表名!").arg(QString(65, QLatin1Char('x'))),
                       QStringLiteral("Transfer类的成员\"reason\"的列名\"ID\"与成员\"id\"的列名重名(不区分大小写)，请修改列名!")};
    QTest::newRow("tables of one name")
        << QStringLiteral("update t_class set tableName='app_Tag' where classId=6;\n") << app
        << QStringList{QStringLiteral("Transfer类的表名\"app_Tag\"与Tag类的表名重名(不区分大小写)，请修改表名!")};
    QTest::newRow("a read-only class needs no key")
        << QStringLiteral("update t_member set memberIsPri=0 where classId=6;\nupdate t_class set classIsReadOnly=1 where classId=6;\n")
        << app << QStringList{};

    // Several at once, the long-standing checks first.
    QTest::newRow("all at once") << QStringLiteral("update t_member set memberIsPri=0 where classId=3;\n") + rename("intro", QStringLiteral("this"))
                                        + renameClass(6, QStringLiteral("list"))
                                 << QStringLiteral("x'")
                                 << QStringList{QStringLiteral("Tag表主键设置错误，每个类只能设置一个主键!"),
                                                QStringLiteral("表名前缀\"x'\"只能包含字母、数字和下划线!"),
                                                QStringLiteral("Major类的成员\"this\"是保留字(this或MySQL的保留字)，请修改成员名称!"),
                                                QStringLiteral("类名\"list\"是PHP或MySQL的保留字(不区分大小写)，请修改类名!")};
}

void TestChecker::badModelsAreFoundAllAtOnce()
{
    QFETCH(QString, change);
    QFETCH(QString, prefix);
    QFETCH(QStringList, messages);
    LoadModel(database_, FixtureDir(QStringLiteral("branches")) + QStringLiteral("/model.sql"));
    if (!change.isEmpty())
        RunSql(database_, change);
    const TProjectModel model = TProjectModel::Load(1);
    const TModelFindings findings = TModelChecker::Check(model, QStringLiteral("campus"), prefix);
    QCOMPARE(TModelChecker::Messages(findings), messages);
    // Each finding points at the class and member it names, so the window can select them.
    for (const TModelFinding &finding : findings) {
        if (finding.classId == 0)
            continue;
        const auto cls = std::find_if(model.Classes().cbegin(), model.Classes().cend(),
                                      [&](const TClassModel &c) { return c.classId == finding.classId; });
        QVERIFY(cls != model.Classes().cend());
        QCOMPARE(cls->className, finding.className);
        if (finding.memberId != 0) {
            const auto m = std::find_if(cls->members.cbegin(), cls->members.cend(),
                                        [&](const TMember &x) { return x.memberId() == finding.memberId; });
            QVERIFY(m != cls->members.cend());
            QCOMPARE(m->memberName(), finding.memberName);
        }
    }
}

QTEST_GUILESS_MAIN(TestChecker)
#include "tst_checker.moc"
