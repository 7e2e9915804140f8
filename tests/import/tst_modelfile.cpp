#include "TestSupport.h"

#include "import/ImportError.h"
#include "import/ModelImport.h"
#include "model/ClassDAO.h"
#include "model/DbHelper.h"
#include "model/ModelFile.h"
#include "model/ProjectDAO.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

namespace {

// Sets the value at a path such as "classes/2/members/0/memberType" (an absent key is
// added; the value undefined removes it).
QJsonValue setAt(QJsonValue node, QStringList path, const QJsonValue &value)
{
    const QString step = path.takeFirst();
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        const int i = step.toInt();
        array[i] = path.isEmpty() ? value : setAt(array.at(i), path, value);
        return array;
    }
    QJsonObject object = node.toObject();
    if (path.isEmpty() && value.isUndefined())
        object.remove(step);
    else
        object[step] = path.isEmpty() ? value : setAt(object.value(step), path, value);
    return object;
}

int projectCount()
{
    return int(TProjectDAO().GetProjects().size());
}

} // namespace

// Model files: what goes out comes back the same, and a bad file stores nothing.
class TestModelFile : public QObject {
    Q_OBJECT

private slots:
    void init();

    void exportImportRoundTrips_data();
    void exportImportRoundTrips();
    void badFilesAreRefusedByPlace_data();
    void badFilesAreRefusedByPlace();

private:
    QScopedPointer<QTemporaryDir> dir_;
    QString database_;
};

void TestModelFile::init()
{
    dir_.reset(new QTemporaryDir);
    database_ = dir_->filePath(QStringLiteral("projects.mdb"));
    TDbHelper::SetDefaultDatabaseFile(database_);
}

void TestModelFile::exportImportRoundTrips_data()
{
    QTest::addColumn<QString>("caseName");
    for (const QString &name : FixtureCases()) {
        if (name != QLatin1String("unusual")) // a model the checker refuses on purpose
            QTest::newRow(qPrintable(name)) << name;
    }
}

// Every golden model: export, import under a new name, export again. Ids differ, nothing else.
void TestModelFile::exportImportRoundTrips()
{
    QFETCH(QString, caseName);
    LoadModel(database_, FixtureDir(caseName) + QStringLiteral("/model.sql"));
    const QString name = TProjectDAO().GetProjects().first().name;
    const QString file = dir_->filePath(QStringLiteral("model.json"));
    TModelImport::ExportProject(name, file);
    const QByteArray exported = ReadFile(file);
    QCOMPARE(TModelImport::ProjectJson(name), exported); // stable bytes
    // Dragged diagram boxes are in the file, and only they.
    QCOMPARE(exported.count("\"diagram\""), TClassDAO().GetDiagramPositions(TProjectDAO().GetProjects().first().id).size());

    // CR LF line ends and a byte-order mark, as an editor on Windows may leave them.
    QByteArray edited = "\xEF\xBB\xBF" + exported;
    edited.replace("\n", "\r\n");
    WriteFile(file, edited);
    const TModelDocument document = TModelImport::ReadModelFile(file, QStringLiteral("copy"));
    const int copyId = TModelImport::Store(document, document.projectName, QStringLiteral("t_"), true);

    const TModelDocument original = TModelImport::ReadProject(TProjectDAO().GetProjects().first().id, name);
    const TModelDocument copy = TModelImport::ReadProject(copyId, QStringLiteral("copy"));
    QCOMPARE(copy.classes.size(), original.classes.size());
    for (qsizetype c = 0; c < copy.classes.size(); ++c) {
        QCOMPARE(copy.classes.at(c).members.first().projectId(), copyId);
        QCOMPARE(copy.classes.at(c).members.first().classId(),
                 copy.classes.at(c).members.last().classId());
    }
    TModelDocument back = copy;
    back.projectName = name;
    QCOMPARE(TModelFile::ToJson(back), exported);
}

void TestModelFile::badFilesAreRefusedByPlace_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("asName");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<bool>("refused");
    const auto row = [](const char *name, const char *path, const QJsonValue &value, const char *problem) {
        QTest::newRow(name) << QString::fromLatin1(path) << value << QByteArray() << QStringLiteral("copy")
                            << QString::fromUtf8(problem) << true;
    };
    const auto raw = [](const char *name, const QByteArray &text, const char *problem) {
        QTest::newRow(name) << QString() << QJsonValue() << text << QStringLiteral("copy")
                            << QString::fromUtf8(problem) << true;
    };
    raw("malformed JSON", "{\n  \"format\": \"VelmoraPHP-model\",\n  \"version\": 1,,\n}",
        "模型文件不是合法的JSON, 第3行第17列: 对象没有正确结束(缺少\"}\"或多了逗号)");
    raw("not an object", "[1, 2]", "模型文件的最外层应为JSON对象");
    raw("another format", "{\"format\": \"other\"}", "这不是VelmoraPHP的模型文件(format应为\"VelmoraPHP-model\")");
    row("newer version", "version", 2, "模型文件的格式版本为2，本程序只能读取版本1，请使用更新版本的程序");
    row("text for a number", "classes/0/members/1/memberLength", QStringLiteral("20"),
        "classes[0].members[1].memberLength: 应为整数");
    row("fraction", "classes/0/members/1/memberLength", 20.5, "classes[0].members[1].memberLength: 应为整数");
    row("flag beyond 1", "classes/2/members/0/memberIsPri", 2, "classes[2].members[0].memberIsPri: 应为0或1");
    row("flag below 0", "classes/2/members/1/queryFlag", -1, "classes[2].members[1].queryFlag: 应为0或1");
    row("misspelt key", "classes/1/members/0/memberIsMandatory", 1,
        "classes[1].members[0].memberIsMandatory: 未知的字段");
    row("missing name", "classes/1/members/1/memberName", QJsonValue(QJsonValue::Undefined),
        "classes[1].members[1].memberName: 缺少这个字段");
    row("members not a list", "classes/1/members", QStringLiteral("x"), "classes[1].members: 应为数组");
    row("diagram place not an object", "classes/0/diagram", 3, "classes[0].diagram: 应为对象");
    row("diagram place without y", "classes/0/diagram", QJsonObject{{QStringLiteral("x"), 1}},
        "classes[0].diagram.y: 缺少这个字段");
    row("broken reference", "classes/2/members/6/memberType", QStringLiteral("Gradx"),
        "classes[2].members[6].memberType: Student类的成员grade引用的类Gradx不存在或没有主键!");
    row("second key member", "classes/0/members/1/memberIsPri", 1,
        "classes[0].members: Grade表主键设置错误，每个类只能设置一个主键!");
    row("length out of range", "classes/1/members/1/memberLength", 0,
        "classes[1].members[1].memberLength: Department类的成员\"deptName\"的长度0不在1到21844之间(utf8字符串的最大长度)，请修改长度!");
    row("reserved member name", "classes/0/members/1/memberName", QStringLiteral("this"),
        "classes[0].members[1].memberName: Grade类的成员\"this\"是保留字(this或MySQL的保留字)，请修改成员名称!");
    QTest::newRow("name in use") << QString() << QJsonValue() << QByteArray() << QStringLiteral("school")
                                 << QStringLiteral("已经有名为\"school\"的项目，请另取一个名称导入") << false;
}

// Each fault alone in the exported school model: the one problem, by its place, and no project added.
void TestModelFile::badFilesAreRefusedByPlace()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QFETCH(QByteArray, raw);
    QFETCH(QString, asName);
    QFETCH(QString, problem);
    QFETCH(bool, refused);
    TDbHelper::CreateEmptyDatabase(database_);
    RunSql(database_, QString::fromUtf8(ReadFile(QStringLiteral(VELMORA_SOURCE_DIR "/tests/e2e/school_model.sql"))));
    QJsonValue model = QJsonDocument::fromJson(TModelImport::ProjectJson(QStringLiteral("school"))).object();
    if (!path.isEmpty())
        model = setAt(model, path.split(QLatin1Char('/')), value);
    const QString file = dir_->filePath(QStringLiteral("bad.json"));
    WriteFile(file, raw.isEmpty() ? QJsonDocument(model.toObject()).toJson() : raw);

    try {
        const TModelDocument document = TModelImport::ReadModelFile(file, asName);
        TModelImport::Store(document, document.projectName, QStringLiteral("t_"), true);
        QFAIL("the file was imported");
    } catch (const TImportError &error) {
        QCOMPARE(error.messages(), QStringList{problem});
        QCOMPARE(error.refused(), refused);
    }
    QCOMPARE(projectCount(), 1);
}

QTEST_GUILESS_MAIN(TestModelFile)
#include "tst_modelfile.moc"
