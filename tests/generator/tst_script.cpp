#include "TestSupport.h"

#include "generator/emit/DataBaseSql.h"
#include "generator/output/GenerationError.h"
#include "model/DbHelper.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

// The script as the window and velmora-cli show it: statements placed into the template.
class TestScript : public QObject {
    Q_OBJECT

private slots:
    void init();

    void scoreReferencesStudentByTheCreatedTableName();
    void prefixReplacesEveryPlaceholderAfterTheStatements();
    void damagedTemplateIsRefusedNamingTheFile_data();
    void damagedTemplateIsRefusedNamingTheFile();
    void templateWithoutMarkKeepsItsFirstCharacters();
    void modelsWithoutScriptAreRefusedByName_data();
    void modelsWithoutScriptAreRefusedByName();
    void missingTemplateIsNotAModelError();

private:
    void writeTemplate(const QByteArray &text);
    int loadCase(const QString &caseName);

    QScopedPointer<QTemporaryDir> dir_;
    QString database_;
};

void TestScript::init()
{
    dir_.reset(new QTemporaryDir);
    database_ = dir_->filePath(QStringLiteral("projects.mdb"));
    TDbHelper::SetDefaultDatabaseFile(database_);
}

void TestScript::writeTemplate(const QByteArray &text)
{
    WriteFile(dir_->filePath(TDataBaseSql::TemplatePath()), "\xEF\xBB\xBF" + text);
}

int TestScript::loadCase(const QString &caseName)
{
    LoadModel(database_, FixtureDir(caseName) + QStringLiteral("/model.sql"));
    return 1;
}

void TestScript::scoreReferencesStudentByTheCreatedTableName()
{
    const int project = loadCase(QStringLiteral("score"));
    writeTemplate("-- dump\r\n$sqlString-- end\r\n");
    const QString script = TDataBaseSql::Build(project, QStringLiteral("t_"), dir_->path());
    const QByteArray statements = ReadFile(FixtureDir(QStringLiteral("score")) + QStringLiteral("/expected/statements.sql"));
    const QString diff = FirstDifference("-- dump\r\n" + statements + "-- end\r\n", script.toUtf8());
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QVERIFY(script.contains(QStringLiteral("CREATE TABLE IF NOT EXISTS `t_Score` (")));
    QVERIFY(script.endsWith(QStringLiteral(
        "\r\nALTER TABLE t_Score ADD CONSTRAINT FOREIGN KEY (student) REFERENCES t_Student(id);\r\n-- end\r\n")));
}

void TestScript::prefixReplacesEveryPlaceholderAfterTheStatements()
{
    const int project = loadCase(QStringLiteral("score"));
    RunSql(database_, QStringLiteral(
        "update t_member set memberComment='来自 $dbprefix 的''$sqlString''' where memberName='course';"));
    writeTemplate("/* $dbprefix */\r\n$sqlString$dbprefix$sqlString");
    const QString script = TDataBaseSql::Build(project, QStringLiteral("x_"), dir_->path());
    // The statements go in twice; a placeholder inside a comment is filled with the prefix only.
    QVERIFY(script.startsWith(QStringLiteral("/* x_ */\r\nCREATE TABLE IF NOT EXISTS `x_Student`")));
    QCOMPARE(script.count(QStringLiteral("CREATE TABLE")), 4);
    QCOMPARE(script.count(QStringLiteral("COMMENT '来自 x_ 的''$sqlString'''")), 2);
    QVERIFY(!script.contains(QStringLiteral("$dbprefix")));
}

void TestScript::damagedTemplateIsRefusedNamingTheFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("says");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("是空的");
    QTest::newRow("only the mark") << QByteArray("\xEF\xBB\xBF") << QStringLiteral("是空的");
    QTest::newRow("blank") << QByteArray("\xEF\xBB\xBF \r\n") << QStringLiteral("是空的");
    QTest::newRow("not UTF-8") << QByteArray("\xEF\xBB\xBF-- \xD6\xD0\xCE\xC4\r\n$sqlString") << QStringLiteral("不是UTF-8");
    QTest::newRow("no placeholder") << QByteArray("\xEF\xBB\xBFno placeholders\r\n") << QStringLiteral("$sqlString");
}

void TestScript::damagedTemplateIsRefusedNamingTheFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, says);
    const int project = loadCase(QStringLiteral("score"));
    WriteFile(dir_->filePath(TDataBaseSql::TemplatePath()), bytes);
    try {
        TDataBaseSql::Build(project, QStringLiteral("t_"), dir_->path());
        QFAIL("a damaged template gave a script");
    } catch (const TModelCheckError &) {
        QFAIL("a damaged template reported as a model error");
    } catch (const TGenerationError &error) {
        QVERIFY2(error.message().contains(says), qPrintable(error.message()));
        QVERIFY2(error.message().contains(QStringLiteral("mysql_dump.sql")), qPrintable(error.message()));
    }
}

void TestScript::templateWithoutMarkKeepsItsFirstCharacters()
{
    const int project = loadCase(QStringLiteral("score"));
    WriteFile(dir_->filePath(TDataBaseSql::TemplatePath()), "-- x\r\n$sqlString");
    QVERIFY(TDataBaseSql::Build(project, QStringLiteral("t_"), dir_->path()).startsWith(QStringLiteral("-- x\r\nCREATE")));
}

void TestScript::modelsWithoutScriptAreRefusedByName_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::newRow("reference to a missing class")
        << QStringLiteral("update t_member set memberType='Teacher' where memberName='student';")
        << QStringLiteral("Score类的成员student引用的类Teacher不存在或没有主键!");
    // The broken reference leads; the class without a key follows it.
    QTest::newRow("reference to a class without key")
        << QStringLiteral("update t_member set memberIsPri=0 where classId=1;")
        << QStringLiteral("Score类的成员student引用的类Student不存在或没有主键!\n"
                          "Student表主键设置错误，每个类只能设置一个主键!");
    QTest::newRow("class without key")
        << QStringLiteral("update t_member set memberIsPri=0 where classId=2;")
        << QStringLiteral("Score表主键设置错误，每个类只能设置一个主键!");
    QTest::newRow("exact column of another type")
        << QStringLiteral("update t_member set memberSqlType='blob' where memberName='course';")
        << QStringLiteral("Score类的成员\"course\"的列类型blob与类型字符串不符(应为文件型)，请修改!");
    QTest::newRow("NOT NULL bytes the pages do not fill in")
        << QStringLiteral("update t_member set memberType='文件型', memberLength=0 where memberName='course';")
        << QStringLiteral("Score类的成员\"course\"(列 course)不能为空又没有默认值，添加行的表单却没有它的输入，请把类设为只读或给它默认值!");
    QTest::newRow("reference to a class of another project")
        << QStringLiteral("update t_class set projectId=2 where classId=1;")
        << QStringLiteral("Score类的成员student引用的类Student不存在或没有主键!");
}

void TestScript::modelsWithoutScriptAreRefusedByName()
{
    QFETCH(QString, change);
    QFETCH(QString, message);
    const int project = loadCase(QStringLiteral("score"));
    RunSql(database_, change);
    writeTemplate("$sqlString");
    try {
        TDataBaseSql::Build(project, QStringLiteral("t_"), dir_->path());
        QFAIL("a broken model gave a script");
    } catch (const TModelCheckError &error) {
        QCOMPARE(error.message(), message);
    }
}

void TestScript::missingTemplateIsNotAModelError()
{
    const int project = loadCase(QStringLiteral("score"));
    try {
        TDataBaseSql::Build(project, QStringLiteral("t_"), dir_->path());
        QFAIL("no error without a template");
    } catch (const TModelCheckError &) {
        QFAIL("a missing template reported as a model error");
    } catch (const TGenerationError &error) {
        QVERIFY2(error.message().contains(QStringLiteral("mysql_dump.sql")), qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(TestScript)
#include "tst_script.moc"
