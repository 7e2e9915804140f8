#include "TestSupport.h"

#include "generator/emit/Controller.h"
#include "generator/emit/DataBaseSql.h"
#include "generator/output/GenerationError.h"
#include "generator/emit/ManagePage.h"
#include "generator/check/ModelChecker.h"
#include "generator/check/Naming.h"
#include "generator/emit/PHPBean.h"
#include "generator/check/ProjectModel.h"
#include "generator/emit/Service.h"
#include "generator/emit/TextTemplate.h"
#include "model/DbHelper.h"
#include "model/ProjectDAO.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

namespace {

class TLines : public TProgressSink {
public:
    void Progress(const QString &line) override { lines.append(line); }
    QStringList lines;
};

// A fixture case loaded into its own database, generated into its own folder.
struct TGeneratedCase {
    QTemporaryDir dir;
    QString projectName;
    QString prefix = QStringLiteral("t_");
    TProjectModel model;
    TLines log;

    explicit TGeneratedCase(const QString &caseName)
    {
        const QString fixture = FixtureDir(caseName);
        const QString database = dir.filePath(QStringLiteral("projects.mdb"));
        LoadModel(database, fixture + QStringLiteral("/model.sql"));
        TDbHelper::SetDefaultDatabaseFile(database);
        if (QFileInfo::exists(fixture + QStringLiteral("/prefix.txt")))
            prefix = QString::fromUtf8(ReadFile(fixture + QStringLiteral("/prefix.txt"))).trimmed();
        const TListEntry project = TProjectDAO().GetProjects().first();
        projectName = project.name;
        model = TProjectModel::Load(project.id);
    }

    QString OutputRoot() const { return dir.filePath(QStringLiteral("out")); }

    void Generate()
    {
        TGenerationTarget target;
        target.projectId = model.ProjectId();
        target.projectName = projectName;
        target.tablePrefix = prefix;
        target.outputRoot = OutputRoot();
        target.sink = &log;
        TPHPBean::Generate(target, model);
        TController::Generate(target, model);
        TService::Generate(target, model);
        TManagePage::Generate(target, model);
    }

    // What the run accepts: one key (two or more when composite, none for a read-only class) and
    // one display member per class, no broken reference.
    bool PassesRunChecks() const
    {
        for (const TClassModel &cls : model.Classes()) {
            const auto count = [&](auto flag) {
                int n = 0;
                for (const TMember &m : cls.members)
                    n += (m.*flag)() == 1;
                return n;
            };
            const int keys = count(&TMember::memberIsPri);
            if ((cls.compositeKey == 1 ? keys < 2 : keys != 1 && !(keys == 0 && cls.isReadOnly))
                || count(&TMember::memberIsDisplay) != 1)
                return false;
        }
        const TModelFindings findings = TModelChecker::Check(model, std::nullopt, QStringLiteral("t_"));
        return std::none_of(findings.begin(), findings.end(), [](const TModelFinding &f) {
            return f.kind == TModelFinding::TKind::BrokenReference;
        });
    }
};

void addCasesWith(const QString &expectedPath)
{
    QTest::addColumn<QString>("caseName");
    for (const QString &caseName : FixtureCases()) {
        if (QFileInfo::exists(FixtureDir(caseName) + QStringLiteral("/expected/") + expectedPath))
            QTest::newRow(caseName.toUtf8()) << caseName;
    }
}

} // namespace

class TestGenerators : public QObject {
    Q_OBJECT

private slots:
    void generatedFilesMatchGoldenFiles_data() { addCasesWith(QStringLiteral("projects")); }
    void generatedFilesMatchGoldenFiles();
    void scriptStatementsMatchGoldenFiles_data() { addCasesWith(QStringLiteral("statements.sql")); }
    void scriptStatementsMatchGoldenFiles();
    void acceptedModelsGiveValidPhp_data() { addCasesWith(QStringLiteral("projects")); }
    void acceptedModelsGiveValidPhp();
    void emptyProjectWritesAndReportsNothing();
    void namingRulesTouchOnlyAsciiLetters();
    void sqlNamesQuotedOnlyWhereNeeded();
    void memberNamesReadAsLabels();
    void pageTextsAreEscapedForTheirPlace_data();
    void pageTextsAreEscapedForTheirPlace();
    void templatesInsertValuesVerbatim();
    void pagesAskTheModelOnce();
};

void TestGenerators::generatedFilesMatchGoldenFiles()
{
    QFETCH(QString, caseName);
    TGeneratedCase generated(caseName);
    generated.Generate();

    if (qEnvironmentVariableIsSet("VELMORA_UPDATE_GOLDEN")) {
        for (const QString &f : FilesBelow(generated.OutputRoot() + QStringLiteral("/projects")))
            WriteFile(FixtureDir(caseName) + QStringLiteral("/expected/projects/") + f, ReadFile(generated.OutputRoot() + QStringLiteral("/projects/") + f));
    }
    const QString diff = CompareTrees(
        FixtureDir(caseName) + QStringLiteral("/expected/projects"),
        generated.OutputRoot() + QStringLiteral("/projects"));
    QVERIFY2(diff.isEmpty(), qPrintable(diff));

    // One line per file: all entities, then all controllers, all services and all pages, in
    // class order (a page's field description has no line of its own).
    QStringList expectedLines;
    const QString base = QStringLiteral("projects/") + generated.projectName;
    for (const auto &[folder, suffix] : {std::pair{"phpbean", ".class.php"},
                                         std::pair{"controller", "Action.php"},
                                         std::pair{"service", "Service.class.php"}}) {
        for (const TClassModel &cls : generated.model.Classes())
            expectedLines << base + QLatin1Char('/') + QLatin1String(folder) + QLatin1Char('/')
                    + cls.className + QLatin1String(suffix) + QStringLiteral("生成完毕!");
    }
    for (const TClassModel &cls : generated.model.Classes())
        expectedLines << base + QLatin1Char('/') + cls.className + QLatin1Char('/')
                + Naming::LowerFirst(cls.className) + QStringLiteral("Manage.php生成完毕!");
    QCOMPARE(generated.log.lines, expectedLines);
}

void TestGenerators::scriptStatementsMatchGoldenFiles()
{
    QFETCH(QString, caseName);
    TGeneratedCase generated(caseName);
    const QByteArray actual = TDataBaseSql::BuildStatements(generated.model, generated.prefix).toUtf8();
    if (qEnvironmentVariableIsSet("VELMORA_UPDATE_GOLDEN"))
        WriteFile(FixtureDir(caseName) + QStringLiteral("/expected/statements.sql"), actual);
    const QByteArray expected = ReadFile(FixtureDir(caseName) + QStringLiteral("/expected/statements.sql"));
    const QString diff = FirstDifference(expected, actual);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestGenerators::acceptedModelsGiveValidPhp()
{
    QFETCH(QString, caseName);
    const QString php = QStandardPaths::findExecutable(QStringLiteral("php"));
    if (php.isEmpty())
        QSKIP("php is not installed");
    TGeneratedCase generated(caseName);
    if (!generated.PassesRunChecks())
        QSKIP("the generation run refuses this model");
    generated.Generate();
    const QString root = generated.OutputRoot();
    const QStringList files = FilesBelow(root);
    QVERIFY(!files.isEmpty());
    for (const QString &file : files) {
        if (file.endsWith(QLatin1String(".json"))) {
            // The field descriptions are read by the application's guard with json_decode.
            QJsonParseError error;
            QJsonDocument::fromJson(ReadFile(root + QLatin1Char('/') + file).mid(3), &error);
            QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(file + QLatin1Char(' ') + error.errorString()));
            continue;
        }
        QProcess lint;
        lint.start(php, {QStringLiteral("-l"), root + QLatin1Char('/') + file});
        QVERIFY(lint.waitForFinished(30000));
        QVERIFY2(lint.exitCode() == 0,
                 qPrintable(file + QLatin1Char('\n') + QString::fromUtf8(lint.readAll())));
    }
}

void TestGenerators::emptyProjectWritesAndReportsNothing()
{
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("projects.mdb"));
    TDbHelper::CreateEmptyDatabase(database);
    TDbHelper::SetDefaultDatabaseFile(database);
    TProjectDAO().AddProject(QStringLiteral("empty"));
    const TProjectModel model = TProjectModel::Load(TProjectDAO().GetProjects().first().id);
    TLines log;
    TGenerationTarget target;
    target.projectName = QStringLiteral("empty");
    target.outputRoot = dir.filePath(QStringLiteral("out"));
    target.sink = &log;
    TPHPBean::Generate(target, model);
    TController::Generate(target, model);
    TService::Generate(target, model);
    TManagePage::Generate(target, model);
    QVERIFY(log.lines.isEmpty());
    QVERIFY(!QFileInfo::exists(target.outputRoot));
    QCOMPARE(TDataBaseSql::BuildStatements(model, QStringLiteral("t_")), QString());
}

void TestGenerators::namingRulesTouchOnlyAsciiLetters()
{
    QCOMPARE(Naming::LowerFirst(QStringLiteral("StudentInfo")), QStringLiteral("studentInfo"));
    QCOMPARE(Naming::UpperFirst(QStringLiteral("userName")), QStringLiteral("UserName"));
    for (const QString &unchanged : {QStringLiteral("1abc"), QStringLiteral("_x"),
                                     QStringLiteral("学生"), QStringLiteral("Élan"),
                                     QStringLiteral("élan"), QString()}) {
        QCOMPARE(Naming::LowerFirst(unchanged), unchanged);
        QCOMPARE(Naming::UpperFirst(unchanged), unchanged);
    }
    QCOMPARE(Naming::LowerFirst(QStringLiteral("student")), QStringLiteral("student"));
    QCOMPARE(Naming::UpperFirst(QStringLiteral("URL")), QStringLiteral("URL"));
}

void TestGenerators::sqlNamesQuotedOnlyWhereNeeded()
{
    const std::pair<const char *, const char *> rows[] = {
        {"user_name2", "user_name2"}, {"system", "`system`"}, {"Groups", "`Groups`"},
        {"reply-to", "`reply-to`"},   {"a`b", "`a``b`"},      {"名字", "`名字`"}};
    for (const auto &[name, sql] : rows)
        QCOMPARE(Naming::SqlName(QString::fromUtf8(name)), QString::fromUtf8(sql));
}

void TestGenerators::memberNamesReadAsLabels()
{
    const QList<QPair<QString, QString>> rows = {
        {QStringLiteral("studentId"), QStringLiteral("Student Id")},
        {QStringLiteral("birthday"), QStringLiteral("Birthday")},
        {QStringLiteral("HTMLCode"), QStringLiteral("HTML Code")},
        {QStringLiteral("userID"), QStringLiteral("User ID")},
        {QStringLiteral("first_name"), QStringLiteral("First Name")},
        {QStringLiteral("_x__y_"), QStringLiteral("X Y")},
        {QStringLiteral("address2Line"), QStringLiteral("Address2 Line")},
        {QStringLiteral("学号"), QStringLiteral("学号")},
        {QString(), QString()},
    };
    for (const auto &[name, readable] : rows)
        QCOMPARE(Naming::ReadableName(name), readable);
}

void TestGenerators::pageTextsAreEscapedForTheirPlace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("php");
    QTest::newRow("plain") << QStringLiteral("学生") << QStringLiteral("学生") << QStringLiteral("学生");
    QTest::newRow("markup and PHP tag") << QStringLiteral("<?php \"a\" & 'b'>")
        << QStringLiteral("&lt;?php &quot;a&quot; &amp; &#039;b&#039;&gt;") << QStringLiteral("<?php \"a\" & \\'b\\'>");
    QTest::newRow("backslash and quote") << QStringLiteral("it's \\") << QStringLiteral("it&#039;s \\")
        << QStringLiteral("it\\'s \\\\");
    QTest::newRow("line break") << QStringLiteral("a\r\nb") << QStringLiteral("a b") << QStringLiteral("a\r\nb");
}

void TestGenerators::pageTextsAreEscapedForTheirPlace()
{
    QFETCH(QString, text);
    QFETCH(QString, html);
    QFETCH(QString, php);
    QCOMPARE(Naming::HtmlText(text), html);
    QCOMPARE(Naming::PhpStringText(text), php);
}

void TestGenerators::templatesInsertValuesVerbatim()
{
    // A value that looks like a placeholder stays as it is; lines end in CR LF.
    QCOMPARE(FillTemplate("\n$a = '{v}';\n\t{w}\n", {{"v", QStringLiteral("{w}")}, {"w", QStringLiteral("x")}}),
             QStringLiteral("$a = '{w}';\r\n\tx\r\n"));
    // Braces that enclose no name are text.
    QCOMPARE(FillTemplate("if(1) {\n} {1} {}\n", {}), QStringLiteral("if(1) {\r\n} {1} {}\r\n"));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, FillTemplate("{missing}\n", {}));
}

void TestGenerators::pagesAskTheModelOnce()
{
    // C0..C119, each referring to the one before; every tenth class links the two before it.
    const int count = 120;
    QList<TClassModel> classes;
    for (int i = 0; i < count; ++i) {
        const auto member = [&](const char *name, const QString &type, bool key, bool display) {
            TMember m;
            m.setProjectId(1);
            m.setClassId(i + 1);
            m.setMemberName(QString::fromLatin1(name));
            m.setMemberType(type);
            m.setMemberLength(20);
            m.setMemberIsPri(key ? 1 : 0);
            m.setMemberIsDisplay(display ? 1 : 0);
            return m;
        };
        const auto name = [](int n) { return QStringLiteral("C%1").arg(n); };
        TClassModel cls{i + 1, name(i), QString(), {}};
        if (i % 10 == 9) {
            cls.compositeKey = 1;
            cls.members = {member("a", name(i - 2), true, false), member("b", name(i - 1), true, false),
                           member("note", MemberType::Text, false, true)};
        } else {
            cls.members = {member("id", MemberType::Integer, true, false),
                           member("title", MemberType::Text, false, true)};
            if (i > 0)
                cls.members << member("prev", name(i - 1), false, false);
        }
        classes << cls;
    }
    const TProjectModel model = TProjectModel::FromClasses(1, classes);

    // A walk of the class list for each class would read it at least once per class; a link
    // class is read through it once per side.
    const qint64 readsBefore = TProjectModel::ClassListReads();
    for (const TClassModel &cls : classes) {
        TManagePage::BuildFile(model, cls);
        TManagePage::BuildFields(model, cls, QStringLiteral("p"), QStringLiteral("t_"));
    }
    TModelChecker::Check(model, std::nullopt, QStringLiteral("t_"));
    QVERIFY(TProjectModel::ClassListReads() - readsBefore < count);
    QCOMPARE(model.FactGatherings(), 1);

    const struct {
        const char *name;
        bool referred, linked;
        qsizetype order;
        QList<std::pair<qsizetype, int>> sides;
    } rows[] = {
        {"C0", true, false, 0, {}},
        {"C7", true, true, 7, {{9, 0}}},
        {"C8", true, true, 8, {{9, 1}}},
        {"C119", false, false, 119, {}},
        {"Missing", false, false, -1, {}},
    };
    for (const auto &row : rows) {
        const QString name = QString::fromLatin1(row.name);
        QCOMPARE(model.IsReferred(name), row.referred);
        QCOMPARE(model.IsLinked(name), row.linked);
        QCOMPARE(model.Order(name), row.order);
        QCOMPARE(model.LinkSides(name), row.sides);
    }
    // The facts reach the pages: the detail view lists referring rows, the description the link.
    QVERIFY(TManagePage::BuildFile(model, classes.at(0)).contains(QStringLiteral("row_children('C0'")));
    QVERIFY(!TManagePage::BuildFile(model, classes.at(119)).contains(QStringLiteral("row_children(")));
    QVERIFY(TManagePage::BuildFields(model, classes.at(7), QStringLiteral("p"), QStringLiteral("t_"))
                .contains(QStringLiteral("{\"class\": \"C9\"")));
}

QTEST_GUILESS_MAIN(TestGenerators)
#include "tst_generators.moc"
