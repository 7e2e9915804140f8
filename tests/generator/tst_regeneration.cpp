#include "TestSupport.h"

#include "generator/record/GenerationRecord.h"
#include "generator/run/GenerationRun.h"
#include "model/DbHelper.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace TestSupport;

namespace {

class TRecorder : public TRunListener {
public:
    QStringList lines;
    QString failure;
    TRegenerationCounts counts;
    QList<TPlannedFile> plan;
    std::function<void()> onFirstLine; // called with the first progress line, if set
    void Progress(const QString &line) override
    {
        lines << line;
        if (onFirstLine)
            std::exchange(onFirstLine, nullptr)();
    }
    void KeyMemberError(int) override { failure = QStringLiteral("key"); }
    void DisplayMemberError(int) override { failure = QStringLiteral("display"); }
    void ModelError(const QString &m) override { failure = m; }
    void GenerationFailed(const QString &r) override { failure = r; }
    void GenerationDone() override {}
    void FilesPlaced(const TRegenerationCounts &c, const QList<TPlannedFile> &p) override
    {
        counts = c;
        plan = p;
    }
};

const QString file = QStringLiteral("phpbean/Clazz.class.php");
const QByteArray header = "class Clazz {\r\n";
const QByteArray footer = "\r\n}\r\n?>";
const char addMember[] =
    "INSERT INTO t_member(projectId, classId, memberName, memberType, memberLength, memberIsPri,"
    " memberComment, memberIsMust, memberIsInteger, memberIsFloat, queryFlag, memberIsDisplay,"
    " memberQueryDisplay) VALUES (1, 1, 'room', '字符串', 10, 0, '教室', 0, 0, 0, 0, 0, 1);";

} // namespace

// Regeneration into a folder that already holds the project: each file is written, kept,
// merged or set beside according to what is on the disk and in the generation record.
class TestRegeneration : public QObject {
    Q_OBJECT

private slots:
    void init();
    void eachFileMeetsTheNewOutput_data();
    void eachFileMeetsTheNewOutput();
    void recordKeepsEveryVersionOutsideWhatPhpRuns();
    void snapshotFileIsTheSnapshotAsCompactJson_data();
    void snapshotFileIsTheSnapshotAsCompactJson();
    void newFolderAppearsWholeAfterAKilledRun();
    void damagedBaseIsNoBase_data();
    void damagedBaseIsNoBase();
    void runCutShortByAFullDiskLeavesOnlyWholeFiles_data();
    void runCutShortByAFullDiskLeavesOnlyWholeFiles();
    void secondRunOfAFolderWaitsThenRefuses();
    void failedFirstRunLeavesNoRecord_data();
    void failedFirstRunLeavesNoRecord();
    void unfinishedRecordFolderIsPassedOverAndRemoved();
    void unreadableOutputIsAnError_data();
    void unreadableOutputIsAnError();

private:
    TRecorder generate(const QString &programDir, bool dryRun = false) const;
    // A run of the project in the test's folder that may fail.
    TRecorder attempt(std::function<void()> onFirstLine = {}) const;
    // The hash of file in the record, as stored.
    QString recordedBase(const QString &path) const;
    // Edits the first line of the class in file by hand; the file as edited.
    QByteArray editByHand() const;
    QString output(const QString &relative) const
    {
        return dir_->filePath(QStringLiteral("projects/campus/") + relative);
    }

    QScopedPointer<QTemporaryDir> dir_;
    QString database_;
};

void TestRegeneration::init()
{
    dir_.reset(new QTemporaryDir);
    database_ = dir_->filePath(QStringLiteral("projects.mdb"));
    LoadModel(database_, FixtureDir(QStringLiteral("branches")) + QStringLiteral("/model.sql"));
    TDbHelper::SetDefaultDatabaseFile(database_);
    MakeSkeleton(dir_->path());
}

TRecorder TestRegeneration::generate(const QString &programDir, bool dryRun) const
{
    TRecorder recorder;
    TGenerationRun run(1, QStringLiteral("campus"), QStringLiteral("app_"), programDir);
    run.SetDryRun(dryRun);
    run.Execute(recorder);
    if (!recorder.failure.isEmpty())
        qFatal("generation failed: %s", qPrintable(recorder.failure));
    return recorder;
}

TRecorder TestRegeneration::attempt(std::function<void()> onFirstLine) const
{
    TRecorder recorder;
    recorder.onFirstLine = std::move(onFirstLine);
    TGenerationRun(1, QStringLiteral("campus"), QStringLiteral("app_"), dir_->path()).Execute(recorder);
    return recorder;
}

QString TestRegeneration::recordedBase(const QString &path) const
{
    const QJsonObject record = QJsonDocument::fromJson(
        ReadFile(output(RecordFolder(output(QString())) + QStringLiteral("record.json")))).object();
    return record.value(QStringLiteral("files")).toObject().value(path).toObject()
        .value(QStringLiteral("base")).toString();
}

QByteArray TestRegeneration::editByHand() const
{
    QByteArray mine = ReadFile(output(file));
    WriteFile(output(file), mine.replace(header, "class Clazz { // 手工修改\r\n"));
    return mine;
}

void TestRegeneration::eachFileMeetsTheNewOutput_data()
{
    QTest::addColumn<QString>("edit");     // what the user does to the file after generating
    QTest::addColumn<QString>("change");   // then to the model
    QTest::addColumn<bool>("dropRecord");  // as if generated before records were kept
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("inPlace");  // new output, the user's file, or both merged
    QTest::addColumn<QString>("beside");   // suffix of a file written beside it
    QTest::addColumn<QString>("logEnd");

    const QString done = QStringLiteral("生成完毕!");
    const QString mine = QStringLiteral("mine"), fresh = QStringLiteral("new");
    QTest::newRow("missing") << "delete" << "" << false << "新建" << fresh << "" << done;
    QTest::newRow("as written, nothing new") << "" << "" << false << "无变化" << fresh << "" << done;
    QTest::newRow("as written, new output") << "" << addMember << false << "更新" << fresh << "" << done;
    QTest::newRow("edited, nothing new")
        << "top" << "" << false << "保留你的修改" << mine << "" << "保留你的修改!";
    QTest::newRow("edited, new output: merged")
        << "top" << addMember << false << "已合并" << "both" << "" << "合并到你的修改中!";
    QTest::newRow("edited where the output changes: conflict")
        << "bottom" << addMember << false << "冲突" << mine << ".merge.txt" << "请手工解决!";
    QTest::newRow("no record, equal") << "" << "" << true << "无变化" << fresh << "" << done;
    QTest::newRow("no record, differs")
        << "top" << "" << true << "另存" << mine << ".new.txt" << ".new.txt!";
}

void TestRegeneration::eachFileMeetsTheNewOutput()
{
    QFETCH(QString, edit);
    QFETCH(QString, change);
    QFETCH(bool, dropRecord);
    QFETCH(QString, action);
    QFETCH(QString, inPlace);
    QFETCH(QString, beside);
    QFETCH(QString, logEnd);

    generate(dir_->path());
    QByteArray mine = ReadFile(output(file));
    if (edit == QLatin1String("delete"))
        QVERIFY(QFile::remove(output(file)));
    if (edit == QLatin1String("top"))
        mine.replace(header, "class Clazz { // 手工修改\r\n");
    if (edit == QLatin1String("bottom"))
        mine.replace(footer, "\r\n\tpublic function extra() {}\r\n}\r\n?>");
    if (edit == QLatin1String("top") || edit == QLatin1String("bottom"))
        WriteFile(output(file), mine);
    if (dropRecord)
        QVERIFY(QDir(output(QStringLiteral(".velmora"))).removeRecursively());
    // A temporary file a killed run left behind.
    WriteFile(output(QStringLiteral("controller/TagAction.php.0123abcd.tmp")), "half");
    if (!change.isEmpty())
        RunSql(database_, change);

    // The new output, generated fresh elsewhere.
    QTemporaryDir elsewhere;
    MakeSkeleton(elsewhere.path());
    generate(elsewhere.path());
    const QByteArray fresh = ReadFile(elsewhere.filePath(QStringLiteral("projects/campus/") + file));

    const QStringList before = FilesBelow(output(QString()));
    const QByteArray beforeBytes = QFile::exists(output(file)) ? ReadFile(output(file)) : QByteArray();
    const TRecorder preview = generate(dir_->path(), true);
    QCOMPARE(FilesBelow(output(QString())), before);
    QCOMPARE(QFile::exists(output(file)) ? ReadFile(output(file)) : QByteArray(), beforeBytes);
    QVERIFY(preview.lines.isEmpty());
    const auto planned = std::find_if(preview.plan.begin(), preview.plan.end(),
                                      [](const TPlannedFile &p) { return p.path == file; });
    QVERIFY(planned != preview.plan.end());
    QCOMPARE(FileActionLabel(planned->action), action);

    const TRecorder run = generate(dir_->path());
    const QString logLine = run.lines.filter(QStringLiteral("projects/campus/") + file).value(0);
    QVERIFY2(logLine.endsWith(logEnd), qPrintable(logLine));
    QVERIFY(run.lines.constLast().startsWith(QStringLiteral("生成结果: ")));
    QVERIFY(!QFile::exists(output(QStringLiteral("controller/TagAction.php.0123abcd.tmp"))));

    const QByteArray now = ReadFile(output(file));
    if (inPlace == QLatin1String("new"))
        QCOMPARE(now, fresh);
    else if (inPlace == QLatin1String("mine"))
        QCOMPARE(now, mine);
    else
        QVERIFY(now.contains("// 手工修改") && now.contains("$room"));
    QCOMPARE(QFile::exists(output(file + QStringLiteral(".merge.txt"))), beside == QLatin1String(".merge.txt"));
    QCOMPARE(QFile::exists(output(file + QStringLiteral(".new.txt"))), beside == QLatin1String(".new.txt"));
    if (beside == QLatin1String(".new.txt"))
        QCOMPARE(ReadFile(output(file + beside)), fresh);
    if (beside == QLatin1String(".merge.txt")) {
        const QByteArray merge = ReadFile(output(file + beside));
        QVERIFY(merge.contains("<<<<<<< 你的修改") && merge.contains(">>>>>>> 新生成的代码"));
        QVERIFY(merge.contains("extra()") && merge.contains("$room"));
    }

    // A third run with nothing changed leaves everything as the second left it, adding only
    // the model of its version to the record.
    QStringList after = FilesBelow(output(QString()));
    const TRecorder again = generate(dir_->path());
    QCOMPARE(ReadFile(output(file)), now);
    after << RecordFolder(output(QString())) + QStringLiteral("models/%1.json").arg(dropRecord ? 2 : 3);
    after.sort();
    QCOMPARE(FilesBelow(output(QString())), after);
    QCOMPARE(again.counts.conflicts, beside == QLatin1String(".merge.txt") ? 1 : 0);
}

void TestRegeneration::recordKeepsEveryVersionOutsideWhatPhpRuns()
{
    generate(dir_->path());
    RunSql(database_, QStringLiteral("DELETE FROM t_member WHERE classId=3;\nDELETE FROM t_class WHERE classId=3;"));
    const TRecorder second = generate(dir_->path());

    // Tag's four files are listed, not deleted.
    QCOMPARE(second.counts.orphaned, 4);
    QVERIFY(second.lines.contains(QStringLiteral("projects/campus/phpbean/Tag.class.php所属的类已不在模型中，文件保留，未删除!")));
    QVERIFY(QFile::exists(output(QStringLiteral("phpbean/Tag.class.php"))));

    // The record's names cannot be guessed: its folder has a random name of 32 hex digits.
    QVERIFY(QRegularExpression(QStringLiteral("^\\.velmora/[0-9a-f]{32}/$")).match(RecordFolder(output(QString()))).hasMatch());
    const QString record = output(RecordFolder(output(QString())));
    QCOMPARE(QJsonDocument::fromJson(ReadFile(record + QStringLiteral("record.json"))).object()
                 .value(QStringLiteral("version")).toInt(), 2);
    for (int version : {1, 2}) {
        const QJsonObject snapshot = QJsonDocument::fromJson(
            ReadFile(record + QStringLiteral("models/%1.json").arg(version))).object();
        QCOMPARE(snapshot.value(QStringLiteral("tablePrefix")).toString(), QStringLiteral("app_"));
        QCOMPARE(snapshot.value(QStringLiteral("classes")).toArray().size(), version == 1 ? 6 : 5);
    }
    const QJsonObject student = QJsonDocument::fromJson(ReadFile(record + QStringLiteral("models/2.json")))
                                    .object().value(QStringLiteral("classes")).toArray().at(2).toObject();
    QCOMPARE(student.value(QStringLiteral("className")).toString(), QStringLiteral("Student"));
    const QJsonObject name = student.value(QStringLiteral("members")).toArray().at(1).toObject();
    QCOMPARE(name.value(QStringLiteral("memberName")).toString(), QStringLiteral("name"));
    QCOMPARE(name.value(QStringLiteral("memberLength")).toInt(), 20);
    QCOMPARE(name.value(QStringLiteral("memberIsDisplay")).toInt(), 1);
    QVERIFY(name.value(QStringLiteral("memberId")).toInt() > 0);

    // No stored name a web server could hand to PHP.
    for (const QString &stored : FilesBelow(record))
        QVERIFY2(!stored.contains(QStringLiteral(".php")) && !stored.contains(QStringLiteral(".ph")), qPrintable(stored));
}

void TestRegeneration::snapshotFileIsTheSnapshotAsCompactJson_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("name");
    QTest::newRow("quotes and backslashes") << QStringLiteral("say \"a\\b\" /");
    QTest::newRow("control characters") << QStringLiteral("a\tb\r\nc\bd\fe") + QChar(0x01) + QChar(0x1f);
    QTest::newRow("chinese and beyond the BMP") << QStringLiteral("学号😀");
    QTest::newRow("empty") << QString();
}

namespace {

// The snapshot as Qt's JSON classes build it, the reference for the file written by hand.
QJsonObject referenceMember(const TMember &m)
{
    return QJsonObject{
        {QStringLiteral("memberId"), m.memberId()},
        {QStringLiteral("memberName"), m.memberName()},
        {QStringLiteral("memberType"), m.memberType()},
        {QStringLiteral("memberLength"), m.memberLength()},
        {QStringLiteral("memberIsPri"), m.memberIsPri()},
        {QStringLiteral("memberComment"), m.memberComment()},
        {QStringLiteral("memberIsMust"), m.memberIsMust()},
        {QStringLiteral("memberIsInteger"), m.memberIsInteger()},
        {QStringLiteral("memberIsFloat"), m.memberIsFloat()},
        {QStringLiteral("queryFlag"), m.queryFlag()},
        {QStringLiteral("memberIsDisplay"), m.memberIsDisplay()},
        {QStringLiteral("memberQueryDisplay"), m.memberQueryDisplay()},
        {QStringLiteral("memberScale"), m.memberScale()},
        {QStringLiteral("memberIsUnsigned"), m.memberIsUnsigned()},
        {QStringLiteral("memberIsNullable"), m.memberIsNullable()},
        {QStringLiteral("memberOnDelete"), m.memberOnDelete()},
        {QStringLiteral("memberOnUpdate"), m.memberOnUpdate()},
        {QStringLiteral("memberEnumValues"), QJsonArray::fromStringList(m.memberEnumValues())},
    };
}

QJsonObject referenceSnapshot(const TProjectModel &model, const QString &projectName,
                              const QString &tablePrefix)
{
    QJsonArray classes;
    for (const TClassModel &cls : model.Classes()) {
        QJsonArray members;
        for (const TMember &member : cls.members)
            members.append(referenceMember(member));
        QJsonArray indexes;
        for (const TClassIndex &index : cls.indexes)
            indexes.append(QJsonObject{{QStringLiteral("indexName"), index.indexName},
                                       {QStringLiteral("indexMembers"), QJsonArray::fromStringList(index.indexMembers)},
                                       {QStringLiteral("indexIsUnique"), index.indexIsUnique}});
        QJsonObject object{{QStringLiteral("classId"), cls.classId},
                           {QStringLiteral("className"), cls.className},
                           {QStringLiteral("friendName"), cls.friendName},
                           {QStringLiteral("indexes"), indexes},
                           {QStringLiteral("members"), members}};
        if (cls.compositeKey == 1)
            object.insert(QStringLiteral("compositeKey"), 1);
        classes.append(object);
    }
    return QJsonObject{{QStringLiteral("projectId"), model.ProjectId()},
                       {QStringLiteral("projectName"), projectName},
                       {QStringLiteral("tableCharset"), model.Charset()},
                       {QStringLiteral("tablePrefix"), tablePrefix},
                       {QStringLiteral("classes"), classes}};
}

} // namespace

// The snapshot file is written by hand for speed; Qt's JSON writer is the reference.
void TestRegeneration::snapshotFileIsTheSnapshotAsCompactJson()
{
    QFETCH(QString, text);
    TMember member;
    member.setMemberId(7);
    member.setMemberName(text);
    member.setMemberComment(text);
    member.setMemberType(QStringLiteral("字符串"));
    member.setMemberLength(-3);
    member.setMemberQueryDisplay(1);
    TMember other = member;
    other.setMemberScale(2);
    other.setMemberIsUnsigned(1);
    other.setMemberIsNullable(1);
    other.setMemberOnDelete(QStringLiteral("SET NULL"));
    other.setMemberEnumValues({text, QStringLiteral("b")});
    TClassModel cls;
    cls.classId = 2;
    cls.className = QStringLiteral("Clazz");
    cls.friendName = text;
    cls.members = {member, other};
    cls.indexes = {{text, {text, QStringLiteral("b")}, 1}, {QStringLiteral("i"), {}, 0}};
    cls.compositeKey = 1;
    const TProjectModel model = TProjectModel::FromClasses(1, {cls, TClassModel()}, QStringLiteral("utf8mb4"));
    const QString time = QStringLiteral("2024-01-02T03:04:05.678Z");

    QJsonObject reference = referenceSnapshot(model, text, QStringLiteral("app_"));
    reference.insert(QStringLiteral("version"), 12);
    reference.insert(QStringLiteral("time"), time);
    const QByteArray json = TGenerationRecord::SnapshotJson(model, text, QStringLiteral("app_"), 12, time);
    QCOMPARE(json, QJsonDocument(reference).toJson(QJsonDocument::Compact));
    // Read back, every field comes back.
    const TProjectModel back = TGenerationRecord::SnapshotModel(QJsonDocument::fromJson(json).object());
    QCOMPARE(back.Charset(), QStringLiteral("utf8mb4"));
    QCOMPARE(back.Classes().first().indexes, cls.indexes);
    QCOMPARE(back.Classes().first().compositeKey, 1);
    QCOMPARE(referenceMember(back.Classes().first().members.last()), referenceMember(other));
    // One written before the later fields: utf8 tables, no indexes, the members' defaults.
    QJsonObject older = QJsonDocument(referenceSnapshot(TProjectModel::FromClasses(1, {cls}), text, QString())).object();
    older.remove(QStringLiteral("tableCharset"));
    QJsonObject olderClass = older.value(QStringLiteral("classes")).toArray().first().toObject();
    olderClass.remove(QStringLiteral("indexes"));
    olderClass.remove(QStringLiteral("compositeKey"));
    QJsonObject olderMember = olderClass.value(QStringLiteral("members")).toArray().last().toObject();
    for (const char *key : {"memberScale", "memberIsUnsigned", "memberIsNullable", "memberOnDelete", "memberEnumValues"})
        olderMember.remove(QLatin1String(key));
    olderClass.insert(QStringLiteral("members"), QJsonArray{olderMember});
    older.insert(QStringLiteral("classes"), QJsonArray{olderClass});
    const TProjectModel before = TGenerationRecord::SnapshotModel(older);
    QCOMPARE(before.Charset(), QStringLiteral("utf8"));
    QCOMPARE(before.Classes().first().compositeKey, 0);
    QVERIFY(before.Classes().first().indexes.isEmpty());
    QCOMPARE(referenceMember(before.Classes().first().members.first()), referenceMember(member));
}

// A new output folder is built under a hidden name and moved in at the end; what a killed run
// left under that name is cleared and never reaches the output.
void TestRegeneration::newFolderAppearsWholeAfterAKilledRun()
{
    QTemporaryDir uninterrupted;
    MakeSkeleton(uninterrupted.path());
    generate(uninterrupted.path());
    const QString hidden = dir_->filePath(QStringLiteral("projects/.velmora-new-campus"));
    WriteFile(hidden + QStringLiteral("/phpbean/Clazz.class.php"), "<?php half");

    generate(dir_->path());
    QVERIFY(!QFileInfo::exists(hidden));
    QCOMPARE(QDir(dir_->filePath(QStringLiteral("projects"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("campus")});
    const QString made = uninterrupted.filePath(QStringLiteral("projects/campus/"));
    // The record's folder has a random name of its own in each output folder.
    const auto keyless = [](QStringList names) {
        return names.replaceInStrings(QRegularExpression(QStringLiteral("^\\.velmora/[0-9a-f]{32}/")),
                                      QStringLiteral(".velmora/key/"));
    };
    const QStringList files = FilesBelow(made);
    QCOMPARE(keyless(FilesBelow(output(QString()))), keyless(files));
    for (const QString &name : files) {
        if (!name.startsWith(QStringLiteral(".velmora/")))
            QCOMPARE(ReadFile(output(name)), ReadFile(made + name));
    }
    // One left beside a folder that exists by now (its rename failed) goes as well.
    WriteFile(hidden + QStringLiteral("/phpbean/Clazz.class.php"), "<?php half");
    generate(dir_->path());
    QVERIFY(!QFileInfo::exists(hidden));
}

void TestRegeneration::damagedBaseIsNoBase_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("model unchanged") << QString();
    QTest::newRow("model changed") << QString::fromUtf8(addMember);
}

// A stored base cut short (a write killed part-way) is no base to merge from: the edited file
// is treated as one without a record, the log says why, and the base is stored whole again.
void TestRegeneration::damagedBaseIsNoBase()
{
    QFETCH(QString, change);
    generate(dir_->path());
    const QByteArray mine = editByHand();
    const QString bases = output(RecordFolder(output(QString())) + QStringLiteral("bases/"));
    const QString base = bases + recordedBase(file);
    WriteFile(base, ReadFile(base).left(100));
    if (!change.isEmpty())
        RunSql(database_, change);

    const TRecorder run = generate(dir_->path());
    const QString shown = QStringLiteral("projects/campus/") + file;
    const qsizetype note = run.lines.indexOf(shown + QStringLiteral("在生成记录中保存的上次生成的内容已损坏，按没有生成记录的文件处理!"));
    QVERIFY(note >= 0);
    QVERIFY(run.lines.value(note + 1).startsWith(shown + QStringLiteral("不是上次生成的内容")));
    QCOMPARE(run.counts.beside, 1);
    QCOMPARE(ReadFile(output(file)), mine);
    QVERIFY(QFile::exists(output(file + QStringLiteral(".new.txt"))));
    for (const QString &name : QDir(bases).entryList(QDir::Files)) {
        if (name != QLatin1String("index.html"))
            QCOMPARE(TGenerationRecord::Hash(ReadFile(bases + name)), name.toLatin1());
    }
}

void TestRegeneration::runCutShortByAFullDiskLeavesOnlyWholeFiles_data()
{
    QTest::addColumn<bool>("existing"); // generated before records were kept
    QTest::addColumn<QString>("failing");
    QTest::newRow("new folder") << false << QStringLiteral("controller/ClazzAction.php");
    QTest::newRow("first record of a folder") << true << QStringLiteral(".velmora/");
}

// The disk fills up once the model is read. The files completed before stay, whole; the one
// whose write failed is not there; a run that did not end leaves no record folder.
void TestRegeneration::runCutShortByAFullDiskLeavesOnlyWholeFiles()
{
    QFETCH(bool, existing);
    QFETCH(QString, failing);
    if (existing) {
        generate(dir_->path());
        QVERIFY(QDir(output(QStringLiteral(".velmora"))).removeRecursively());
    }
    std::optional<TFileSizeLimit> full;
    const TRecorder failed = attempt([&full] { full.emplace(1500); });
    full.reset();
    QVERIFY2(failed.failure.startsWith(QStringLiteral("无法写入文件 \"%1").arg(QDir::toNativeSeparators(output(failing)))),
             qPrintable(failed.failure));
    const QString golden = FixtureDir(QStringLiteral("branches")) + QStringLiteral("/expected/projects/campus/");
    const QStringList files = FilesBelow(output(QString()));
    QVERIFY(files.contains(QStringLiteral("phpbean/Student.class.php")));
    for (const QString &name : files) {
        // Each file as the golden case or the skeleton has it.
        const QString whole = QFile::exists(golden + name) ? golden + name : dir_->filePath(QStringLiteral("bak/") + name);
        QVERIFY2(QFile::exists(whole) && ReadFile(output(name)) == ReadFile(whole), qPrintable(name));
    }
    QCOMPARE(QDir(dir_->filePath(QStringLiteral("projects"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("campus")});
}

// A second run of the same project while the first is under way (here: in its first progress
// line) waits, then refuses; the first run's half-built folder is left alone.
void TestRegeneration::secondRunOfAFolderWaitsThenRefuses()
{
    TRecorder second;
    QByteArray staged;
    const QString staging = dir_->filePath(QStringLiteral("projects/.velmora-new-campus/") + file);
    const TRecorder first = attempt([&] {
        TGenerationRun other(1, QStringLiteral("campus"), QStringLiteral("app_"), dir_->path());
        other.SetLockWait(300);
        QCOMPARE(other.Execute(second), TGenerationRun::TOutcome::Failed);
        staged = ReadFile(staging);
    });

    const QString busy = QStringLiteral("输出文件夹 \"%1\" 正在被另一个生成使用(进程%2)，")
                             .arg(QDir::toNativeSeparators(dir_->filePath(QStringLiteral("projects/campus"))))
                             .arg(QCoreApplication::applicationPid());
    QCOMPARE(second.lines, (QStringList{busy + QStringLiteral("等待它结束。。。"),
                                        QStringLiteral("代码生成失败: ") + busy + QStringLiteral("请等它结束后再生成")}));
    QVERIFY(first.failure.isEmpty());
    const QString golden = FixtureDir(QStringLiteral("branches")) + QStringLiteral("/expected/projects/campus/");
    QCOMPARE(staged, ReadFile(golden + file));
    for (const QString &name : FilesBelow(golden))
        QCOMPARE(ReadFile(output(name)), ReadFile(golden + name));
}

void TestRegeneration::failedFirstRunLeavesNoRecord_data()
{
    QTest::addColumn<QString>("folder"); // made below the output folder: before the run, or
    QTest::addColumn<bool>("during");    // with its first line, taking the new folder's name
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder at a generated file") << QStringLiteral("Transfer/transferManage.php") << false
                                                << QStringLiteral("无法读取文件");
    QTest::newRow("folder at a skeleton file") << QStringLiteral("ok.php") << false << QStringLiteral("无法写入文件");
    QTest::newRow("output folder made during the run") << QStringLiteral("Transfer/transferManage.php") << true
                                                       << QStringLiteral("无法把文件夹");
    QTest::newRow("another run holds the lock") << QString() << false << QStringLiteral("输出文件夹");
}

// A first run that fails leaves no record of its own anywhere below projects/, not even under
// the hidden name a new folder is built under.
void TestRegeneration::failedFirstRunLeavesNoRecord()
{
    QFETCH(QString, folder);
    QFETCH(bool, during);
    QFETCH(QString, reason);
    const auto makeFolder = [&] { QVERIFY(QDir().mkpath(output(folder))); };
    if (!folder.isEmpty() && !during)
        makeFolder();
    QDir().mkpath(dir_->filePath(QStringLiteral("projects")));
    QLockFile other(dir_->filePath(QStringLiteral("projects/.velmora-lock-campus")));
    TRecorder run;
    if (during)
        run.onFirstLine = makeFolder;
    TGenerationRun generation(1, QStringLiteral("campus"), QStringLiteral("app_"), dir_->path());
    if (folder.isEmpty()) {
        // A lock file an hour old naming this live process (as one on a file system without
        // native locks looks): its age alone never makes it stale.
        const QString lockFile = dir_->filePath(QStringLiteral("projects/.velmora-lock-campus"));
        QVERIFY(other.tryLock(0));
        const QByteArray holder = ReadFile(lockFile);
        other.unlock();
        WriteFile(lockFile, holder);
        QFile lock(lockFile);
        QVERIFY(lock.open(QIODevice::ReadWrite)
                && lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        generation.SetLockWait(0);
    }
    QCOMPARE(generation.Execute(run), TGenerationRun::TOutcome::Failed);
    QVERIFY2(run.failure.startsWith(reason), qPrintable(run.failure));
    const QStringList left = FilesBelow(dir_->filePath(QStringLiteral("projects")));
    QVERIFY2(left.filter(QStringLiteral(".velmora/")).isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
}

// A record folder a killed run began beside the complete one is passed over, then removed.
void TestRegeneration::unfinishedRecordFolderIsPassedOverAndRemoved()
{
    generate(dir_->path());
    const QString record = RecordFolder(output(QString()));
    const QString unfinished = output(QStringLiteral(".velmora/") + QString(32, QLatin1Char('0')));
    for (const char *guard : {"/index.html", "/bases/index.html", "/models/index.html"})
        WriteFile(unfinished + QLatin1String(guard), QByteArray());
    editByHand();

    const TRecorder run = generate(dir_->path());
    QCOMPARE(run.counts.kept, 1);
    QVERIFY(!QFileInfo::exists(unfinished));
    QCOMPARE(RecordFolder(output(QString())), record);
}

void TestRegeneration::unreadableOutputIsAnError_data()
{
    QTest::addColumn<QString>("path"); // below the output folder; {record} its record folder
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder at a generated file") << QStringLiteral("phpbean/Tag.class.php") << "folder";
    QTest::newRow("pipe at a generated file") << QStringLiteral("phpbean/Tag.class.php") << "pipe";
    QTest::newRow("record.json a folder") << QStringLiteral("{record}record.json") << "folder";
}

// An existing file that cannot be read is an error naming it, never a missing file to write
// over: it stays as it is, the user's edit stays and nothing goes beside any file.
void TestRegeneration::unreadableOutputIsAnError()
{
    QFETCH(QString, path);
    QFETCH(QString, kind);
    generate(dir_->path());
    const QString full = output(path.replace(QStringLiteral("{record}"), RecordFolder(output(QString()))));
    QVERIFY(QFile::remove(full));
    if (kind == QLatin1String("folder"))
        WriteFile(full + QStringLiteral("/inner.txt"), "inner");
    else
        QCOMPARE(mkfifo(QFile::encodeName(full).constData(), 0600), 0);
    editByHand();
    RunSql(database_, QString::fromUtf8(addMember));
    const QStringList before = FilesBelow(output(QString()));

    const TRecorder run = attempt();
    QVERIFY2(run.failure.startsWith(QStringLiteral("无法读取文件 \"%1\"").arg(QDir::toNativeSeparators(full))),
             qPrintable(run.failure));
    QCOMPARE(FilesBelow(output(QString())), before);
    QVERIFY(ReadFile(output(file)).contains("// 手工修改"));
    QCOMPARE(QFileInfo(full).isDir(), kind == QLatin1String("folder"));
}

QTEST_MAIN(TestRegeneration)
#include "tst_regeneration.moc"
