#include "TestSupport.h"

#include "import/ImportError.h"
#include "import/ImportNames.h"
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
    void richerFieldsComeBackWholeAndOlderFilesReadAsBefore();
    void databaseNamesBecomeUsableNames_data();
    void databaseNamesBecomeUsableNames();

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
    row("unknown rule", "classes/2/members/6/memberOnDelete", QStringLiteral("DELETE"),
        "classes[2].members[6].memberOnDelete: 应为RESTRICT、CASCADE、SET NULL、NO ACTION之一");
    row("enumeration values not texts", "classes/0/members/1/memberEnumValues", QJsonArray{1},
        "classes[0].members[1].memberEnumValues: 应为字符串的数组");
    row("unknown charset", "tableCharset", QStringLiteral("latin1"), "tableCharset: 应为utf8mb4、utf8之一");
    row("connection not an object", "existingDatabase", QStringLiteral("shop"), "existingDatabase: 应为对象");
    row("application prefix with a dash", "existingDatabase",
        QJsonObject{{"appPrefix", "velmora-"}, {"database", "shop"}},
        "existingDatabase: appPrefix: 应为1到20个字母、数字或下划线");
    row("connection without a database", "existingDatabase", QJsonObject{{"appPrefix", "velmora_"}},
        "existingDatabase: database: 缺少这个字段");
    row("index flag beyond 1", "classes/0/indexes",
        QJsonArray{QJsonObject{{"indexName", "u"}, {"indexMembers", QJsonArray{"gradeName"}}, {"indexIsUnique", 2}}},
        "classes[0].indexes[0].indexIsUnique: 应为0或1");
    row("index without members", "classes/0/indexes", QJsonArray{QJsonObject{{"indexName", "u"}}},
        "classes[0].indexes[0].indexMembers: 缺少这个字段");
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

// Every later field goes out to the file, into the model database and back unchanged; a file
// written before those fields existed reads as if it held their defaults.
void TestModelFile::richerFieldsComeBackWholeAndOlderFilesReadAsBefore()
{
    TDbHelper::CreateEmptyDatabase(database_);
    const auto member = [](const char *name, const QString &type, int length = 0) {
        TMember m;
        m.setMemberName(QString::fromLatin1(name));
        m.setMemberType(type);
        m.setMemberLength(length);
        m.setMemberIsMust(1);
        return m;
    };
    TMember id = member("id", MemberType::BigInt, 20);
    id.setMemberIsPri(1);
    id.setMemberIsUnsigned(1);
    id.setMemberSqlType(QStringLiteral("bigint"));
    id.setMemberIsZerofill(1);
    id.setMemberAutoIncrement(1);
    TMember title = member("title", MemberType::Text, 40);
    title.setMemberIsDisplay(1);
    title.setMemberIsNullable(1);
    title.setMemberCharset(QStringLiteral("latin1"));
    title.setMemberCollation(QStringLiteral("latin1_bin"));
    title.setMemberDefault(QStringLiteral("'it''s'"));
    TMember changed = member("changed", MemberType::DateTime, 3);
    changed.setMemberSqlType(QStringLiteral("timestamp"));
    changed.setMemberDefault(QStringLiteral("current_timestamp(3)"));
    changed.setMemberOnUpdateNow(1);
    TMember price = member("price", MemberType::Decimal, 10);
    price.setMemberScale(2);
    TMember kind = member("kind", MemberType::Enum);
    kind.setMemberEnumValues({QStringLiteral("新"), QStringLiteral("it's")});
    TMember parent = member("parent", QStringLiteral("Item"));
    parent.setMemberIsNullable(1);
    parent.setMemberOnDelete(QStringLiteral("SET NULL"));
    parent.setMemberOnUpdate(QStringLiteral("CASCADE"));
    TModelDocument document;
    document.projectName = QStringLiteral("rich");
    document.tableCharset = QStringLiteral("utf8mb4");
    document.classes = {{QStringLiteral("Item"), QStringLiteral("商品"),
                         {id, title, price, kind, parent, member("at", MemberType::DateTime), changed},
                         {{QStringLiteral("u_title"), {QStringLiteral("title")}, 1, {12}},
                          {QStringLiteral("k_kind_at"), {QStringLiteral("kind"), QStringLiteral("at")}, 0}}}};
    document.existingDatabase = TExistingDatabase{QStringLiteral("velmora_"), QStringLiteral("shop"), QString(), 3306,
                                                  QStringLiteral("/run/mysqld/mysqld.sock"), QStringLiteral("web")};

    const QByteArray json = TModelFile::ToJson(document);
    QCOMPARE(TModelFile::ToJson(TModelFile::FromJson(json)), json);
    TModelImport::Store(TModelFile::FromJson(json), document.projectName, QStringLiteral("t_"), true);
    QCOMPARE(TModelImport::ProjectJson(document.projectName), json);

    // Without the later keys: utf8 tables, no indexes, members with the defaults.
    QJsonObject older = QJsonDocument::fromJson(json).object();
    older.remove(QStringLiteral("tableCharset"));
    older.remove(QStringLiteral("existingDatabase"));
    QJsonObject cls = older.value(QStringLiteral("classes")).toArray().first().toObject();
    cls.remove(QStringLiteral("indexes"));
    QJsonArray members;
    for (const QJsonValue &value : cls.value(QStringLiteral("members")).toArray()) {
        QJsonObject m = value.toObject();
        for (const char *key : {"memberScale", "memberIsUnsigned", "memberIsNullable", "memberOnDelete",
                                "memberOnUpdate", "memberEnumValues"})
            m.remove(QLatin1String(key));
        members.append(m);
    }
    cls.insert(QStringLiteral("members"), members);
    older.insert(QStringLiteral("classes"), QJsonArray{cls});
    TModelDocument defaults = document;
    defaults.tableCharset = QStringLiteral("utf8");
    defaults.existingDatabase.reset();
    defaults.classes.first().indexes.clear();
    for (TMember &m : defaults.classes.first().members) {
        const TMember plain = member("", m.memberType(), m.memberLength());
        m.setMemberScale(plain.memberScale());
        m.setMemberIsUnsigned(plain.memberIsUnsigned());
        m.setMemberIsNullable(plain.memberIsNullable());
        m.setMemberOnDelete(plain.memberOnDelete());
        m.setMemberOnUpdate(plain.memberOnUpdate());
        m.setMemberEnumValues(plain.memberEnumValues());
    }
    QCOMPARE(TModelFile::ToJson(TModelFile::FromJson(QJsonDocument(older).toJson())), TModelFile::ToJson(defaults));
}

// Names taken in order within one class or project; a clash is told apart by a number.
void TestModelFile::databaseNamesBecomeUsableNames_data()
{
    QTest::addColumn<bool>("classes");
    QTest::addColumn<QStringList>("real");
    QTest::addColumn<QStringList>("taken");
    QTest::newRow("usable names stay") << false << QStringList{"id", "full_name", "价格"} << QStringList{"id", "full_name", "价格"};
    QTest::newRow("dashes and blanks") << false << QStringList{"reply-to", "first name", "-x-"} << QStringList{"replyTo", "firstName", "x"};
    QTest::newRow("reserved and digits") << false << QStringList{"function", "order", "this", "2nd"} << QStringList{"function_", "order_", "this_", "_2nd"};
    QTest::newRow("clashes") << false << QStringList{"a-b", "aB", "AB", "order", "order_"} << QStringList{"aB", "aB2", "AB3", "order_", "order_2"};
    QTest::newRow("page parameters") << false << QStringList{"action", "view", "Action"} << QStringList{"action_", "view_", "Action"};
    QTest::newRow("class names") << true << QStringList{"system", "Groups", "sqlhelper", "sys-log", "list"} << QStringList{"System_", "Groups_", "Sqlhelper_", "sysLog", "List_"};
}

void TestModelFile::databaseNamesBecomeUsableNames()
{
    QFETCH(bool, classes);
    QFETCH(QStringList, real);
    QFETCH(QStringList, taken);
    TImportNames names(classes ? TImportNames::TKind::Class : TImportNames::TKind::Member);
    QStringList actual;
    for (const QString &name : real)
        actual << names.Take(name).name;
    QCOMPARE(actual, taken);
}

QTEST_GUILESS_MAIN(TestModelFile)
#include "tst_modelfile.moc"
