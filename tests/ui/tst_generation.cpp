// The two code-management commands driven from the menu: the generation run on its worker
// thread, and the table-script window.
#include "MainFormProbe.h"

#include "generator/emit/DataBaseSql.h"
#include "generator/emit/DatabaseScripts.h"
#include "generator/output/GenerationTarget.h"
#include "generator/output/FileOperate.h"
#include "generator/check/ProjectModel.h"
#include "model/ProjectDAO.h"
#include "ui/dialogs/CheckModelForm.h"
#include "ui/panels/CodePreview.h"
#include "ui/dialogs/DataBaseSqlForm.h"
#include "ui/dialogs/FormRegenerationPreview.h"

#include <QPlainTextEdit>
#include <QTreeWidget>

#include <QCheckBox>
#include <QComboBox>

#include "TestSupport.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>

#include <iterator>

namespace {

const QStringList bakFolders = {".settings", "controller", "css", "database", "images",
                                "js", "manage", "opennew", "service", "upload", "util"};
const QStringList bakFiles = {".buildpath", ".project", "about.html", "changePassword.php", "desk.php",
                              "error.php", "index.php", "login.php", "logout.php", "ok.php", ".htaccess"};

void writeFile(const QString &path, const QByteArray &content)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}


} // namespace

class TestGeneration : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempProgram> program;
    std::unique_ptr<TScriptedInteraction> user;
    std::unique_ptr<TFormMain> window;
    int school = 0;
    int student = 0;
    int score = 0;

    void giveBak()
    {
        for (const QString &folder : bakFolders)
            writeFile(program->Dir() + QStringLiteral("/bak/") + folder + QStringLiteral("/readme.txt"), folder.toUtf8());
        writeFile(program->Dir() + QStringLiteral("/bak/util/deep/helper.php"), "<?php");
        for (const QString &file : bakFiles)
            writeFile(program->Dir() + QStringLiteral("/bak/") + file, file.toUtf8());
    }
    void giveTemplate()
    {
        QVERIFY(QDir().mkpath(program->Dir() + QStringLiteral("/template/数据库")));
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/template/数据库/mysql_dump.sql"),
                            program->Dir() + QStringLiteral("/template/数据库/mysql_dump.sql")));
    }
    void openWindow()
    {
        window = std::make_unique<TFormMain>(*user, program->Dir());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    // Starts a run from the menu and waits until it has ended.
    bool generate()
    {
        QSignalSpy finished(window.get(), &TFormMain::GenerationFinished);
        Trigger(window.get(), "A1");
        if (!window->Generation().IsGenerating())
            return false;
        return finished.wait(60000);
    }
    QStringList log() const
    {
        return TMainFormProbe{window.get()}.log()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString output() const { return program->Dir() + QStringLiteral("/projects/school"); }

private slots:
    void init()
    {
        program = std::make_unique<TTempProgram>();
        user = std::make_unique<TScriptedInteraction>();
        school = program->AddProject(QStringLiteral("school"));
        student = program->AddClass(school, QStringLiteral("Student"), QStringLiteral("学生"));
        program->AddMember(school, student, QStringLiteral("id"), MemberType::Integer, true, false, QStringLiteral("编号"));
        program->AddMember(school, student, QStringLiteral("name"), MemberType::Text, false, true, QStringLiteral("姓名"));
        score = program->AddClass(school, QStringLiteral("Score"), QStringLiteral("成绩"));
        program->AddMember(school, score, QStringLiteral("id"), MemberType::Integer, true, true);
        program->AddMember(school, score, QStringLiteral("student"), QStringLiteral("Student"), false, false,
                           QStringLiteral("学生"));
    }
    void cleanup()
    {
        window.reset();
        QVERIFY(user->unanswered.isEmpty());
        user.reset();
        program.reset();
    }

    // The preview shows what the run writes, byte for byte, in the members' order; moving
    // a member changes both alike.
    void previewAndRunFollowTheMemberOrder()
    {
        giveBak();
        openWindow();
        TMainFormProbe probe{window.get()};
        Trigger(window.get(), "Preview1");
        auto *preview = Find<TCodePreview>(window.get(), "CodePreview");
        QVERIFY(preview->width() > 0);
        probe.selectMember(1);
        QTest::keyClick(probe.members(), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(probe.memberNames(), QStringList({"name", "id"}));
        QCOMPARE(window->Members().SelectedMemberId(), TMemberDAO().GetMembers(student).first().memberId());
        preview->Flush();
        QVERIFY(generate());
        const char *files[] = {"phpbean/Student.class.php", "controller/StudentAction.php",
                               "service/StudentService.class.php", "Student/studentManage.php"};
        for (int tab = 0; tab < int(std::size(files)); ++tab) {
            const QByteArray written = TestSupport::ReadFile(output() + QLatin1Char('/') + QLatin1String(files[tab]));
            QCOMPARE(written, "\xEF\xBB\xBF" + preview->SourceText(tab).toUtf8());
        }
        const QString entity = preview->SourceText(0);
        QVERIFY(entity.indexOf(QStringLiteral("$name")) < entity.indexOf(QStringLiteral("$id")));
        const QString statements = TDataBaseSql::BuildStatements(TProjectModel::Load(school), QStringLiteral("t_"));
        QVERIFY(statements.contains(preview->SourceText(4)));
        // A class the generators cannot take yet shows why instead of code.
        TMemberDAO().DeleteMember(TMemberDAO().GetKeyMember(student)->memberId());
        window->Members().LoadMembers(student);
        preview->Flush();
        QVERIFY(preview->SourceText(0).isEmpty());
        QVERIFY(Find<QPlainTextEdit>(preview, "Preview_0")->toPlainText().contains(QStringLiteral("主键")));
        user->takeTexts();
    }

    void fullRun()
    {
        giveBak();
        openWindow();
        TMainFormProbe{window.get()}.log()->setPlainText(QStringLiteral("an earlier run"));
        QVERIFY(generate());

        QStringList expected;
        for (const char *folder : {"phpbean/%1.class.php", "controller/%1Action.php", "service/%1Service.class.php"})
            for (const char *cls : {"Student", "Score"})
                expected.append(QStringLiteral("projects/school/") + QString::fromUtf8(folder).arg(QString::fromUtf8(cls))
                                + QStringLiteral("生成完毕!"));
        for (const char *cls : {"Student", "Score"})
            expected.append(QStringLiteral("projects/school/%1/%2Manage.php生成完毕!")
                                .arg(QString::fromUtf8(cls), QString::fromUtf8(cls).toLower()));
        expected << QStringLiteral("正在移动资源文件。。。");
        for (const QString &folder : bakFolders)
            expected << QStringLiteral("移动projects/school/") + folder
                            + (folder == QStringLiteral("css") ? QStringLiteral("文件夹完毕!") : QStringLiteral("文件夹完毕！"));
        for (const QString &file : bakFiles)
            expected << QStringLiteral("移动projects/school/") + file
                            + (file == QStringLiteral("about.html") ? QStringLiteral("完毕") : QStringLiteral("完毕!"));
        expected << QStringLiteral("移动资源文件完毕!")
                 << QStringLiteral("生成结果: 新建8个, 更新0个, 无变化0个, 保留你的修改0个, 合并0个, "
                                   "冲突0个, 另存0个, 孤立0个");
        QCOMPARE(expected.size(), 4 * 2 + 24 + 1);
        QCOMPARE(log(), expected);

        // A new folder: no preview, the run starts at once and ends with its summary.
        QVERIFY(user->previews.isEmpty());
        QCOMPARE(user->shown.size(), 1);
        QCOMPARE(user->shown.at(0).text, QStringLiteral("所有代码生成完毕!\n") + expected.last());
        QCOMPARE(user->shown.at(0).caption, QStringLiteral("任务提示"));
        QCOMPARE(user->shown.at(0).kind, TMessageKind::Information);
        QCOMPARE(user->opened, QList<QUrl>{QUrl::fromLocalFile(output())});

        QStringList files = TestSupport::FilesBelow(output());
        files.removeIf([](const QString &f) { return f.startsWith(QLatin1String(".velmora/")); });
        for (const char *generated : {"phpbean/Student.class.php", "phpbean/Score.class.php",
                                      "controller/StudentAction.php", "controller/ScoreAction.php",
                                      "service/StudentService.class.php", "service/ScoreService.class.php",
                                      "Student/studentManage.php", "Score/score.fields.json",
                                      "Student/index.html", "phpbean/index.html",
                                      "util/deep/helper.php", "css/readme.txt", "about.html", ".buildpath"})
            QVERIFY2(files.contains(QString::fromUtf8(generated)), generated);
        // Per class: a page, its field description and its folder's index; one index in phpbean/.
        QCOMPARE(files.size(), 6 + 2 * 3 + 1 + bakFolders.size() + 1 + bakFiles.size());
        QVERIFY(!window->Generation().IsGenerating());
    }

    void secondStartIsRefused()
    {
        giveBak();
        openWindow();
        QSignalSpy finished(window.get(), &TFormMain::GenerationFinished);
        Trigger(window.get(), "A1");
        QVERIFY(window->Generation().IsGenerating());
        // The run cannot end before this thread has taken its lines, so it is still going.
        Trigger(window.get(), "A1");
        QCOMPARE(user->texts(), QStringList({"代码正在生成中，请等待当前任务完成!"}));
        QVERIFY(finished.wait(60000));
        QCOMPARE(log().size(), 4 * 2 + 24 + 1);
        QVERIFY(user->texts().last().startsWith(QStringLiteral("所有代码生成完毕!\n生成结果: ")));
        QCOMPARE(user->opened.size(), 1);
    }

    void failedCheckWritesNothing_data()
    {
        QTest::addColumn<bool>("keyProblem");
        QTest::newRow("two key members") << true;
        QTest::newRow("no display member") << false;
    }
    void failedCheckWritesNothing()
    {
        QFETCH(bool, keyProblem);
        giveBak();
        if (keyProblem)
            program->AddMember(school, score, QStringLiteral("code"), MemberType::Text, true);
        else
            TMemberDAO().DeleteMember(TMemberDAO().GetDisplayMember(student)->memberId());
        openWindow();
        QVERIFY(generate());
        QCOMPARE(user->takeTexts(),
                 QStringList({keyProblem ? "Score表主键设置错误，每个类只能设置一个主键!"
                                         : "Student表显示成员设置错误，每个类有且只能设置一个显示成员!"}));
        QCOMPARE(window->Generation().ErrorClassId(), keyProblem ? score : student);
        QVERIFY(log().isEmpty());
        QVERIFY(!QFileInfo::exists(output()));
        QVERIFY(user->opened.isEmpty());
    }

    void brokenReferenceWritesNothing()
    {
        giveBak();
        TMember ref = TMemberDAO().GetMembers(score).last();
        ref.setMemberType(QStringLiteral("Ghost"));
        TMemberDAO().UpdateMember(ref);
        openWindow();
        QVERIFY(generate());
        QCOMPARE(user->takeTexts().last(), QStringLiteral("Score类的成员student引用的类Ghost不存在或没有主键!"));
        QVERIFY(!QFileInfo::exists(output()));
        QVERIFY(user->opened.isEmpty());
    }

    // The same bad model, refused by every command of the window with the checker's words.
    void everyCommandRefusesTheSameModel()
    {
        giveBak();
        giveTemplate();
        TMember ref = TMemberDAO().GetMembers(score).last();
        ref.setMemberName(QStringLiteral("this"));
        TMemberDAO().UpdateMember(ref);
        program->AddMember(school, student, QStringLiteral("Name"), MemberType::Text);
        const QString reserved = QStringLiteral("Score类的成员\"this\"是保留字(this或MySQL的保留字)，请修改成员名称!");
        const QString twice = QStringLiteral("Student类的成员\"Name\"与成员\"name\"重名(不区分大小写)，请修改成员名称!");
        openWindow();

        // 检查模型 lists both; Enter (like a double-click) selects the member named.
        QStringList listed;
        QCOMPARE(DriveDialog<TCheckModelForm>([&] { Trigger(window.get(), "Check1"); }, [&](TCheckModelForm &form) {
                     auto *list = Find<QListWidget>(&form, "LB_Findings");
                     for (int i = 0; i < list->count(); ++i)
                         listed.append(list->item(i)->text());
                     list->setCurrentRow(0);
                     QTest::keyClick(list, Qt::Key_Return);
                     QVERIFY(!form.isVisible());
                 }),
                 1);
        QCOMPARE(listed, QStringList({twice, reserved}));
        QCOMPARE(window->Projects().SelectedClassId(), student);
        QCOMPARE(window->Members().SelectedMemberId(), TMemberDAO().GetMembers(student).last().memberId());

        // The run: the first in a box, the rest in the log; nothing written.
        QVERIFY(generate());
        QCOMPARE(user->takeTexts(), QStringList{twice});
        QCOMPARE(log().mid(1), QStringList{reserved});
        QVERIFY(!QFileInfo::exists(output()));

        // The script.
        QCOMPARE(DriveDialog<TDataBaseSqlForm>([&] { Trigger(window.get(), "sql1"); }, [](TDataBaseSqlForm &) {}), 0);
        QCOMPARE(user->takeTexts(), QStringList{twice + QLatin1Char('\n') + reserved});
    }

    void cleanModelStillOpensTheList()
    {
        openWindow();
        QString said;
        int rows = -1;
        QCOMPARE(DriveDialog<TCheckModelForm>([&] { Trigger(window.get(), "Check1"); }, [&](TCheckModelForm &form) {
                     said = Find<QLabel>(&form, "Label1")->text();
                     rows = Find<QListWidget>(&form, "LB_Findings")->count();
                 }),
                 1);
        QCOMPARE(said, QStringLiteral("没有发现问题"));
        QCOMPARE(rows, 0);
        QVERIFY(user->shown.isEmpty());
    }

    void missingSkeletonIsReported()
    {
        openWindow();
        QVERIFY(generate());
        QCOMPARE(user->shown.size(), 1);
        const TScriptedInteraction::TShown failure = user->shown.last();
        QVERIFY2(failure.text.startsWith(QStringLiteral("代码生成失败: ")), qPrintable(failure.text));
        QVERIFY(failure.text.size() > QStringLiteral("代码生成失败: ").size());
        QCOMPARE(failure.kind, TMessageKind::Error);
        // The log names the reason too.
        QCOMPARE(log().last(), failure.text);
        QVERIFY(user->opened.isEmpty());
    }

    void closingDuringARunStopsItThenCloses()
    {
        giveBak();
        openWindow();
        QSignalSpy finished(window.get(), &TFormMain::GenerationFinished);
        Trigger(window.get(), "A1");
        QVERIFY(window->Generation().IsGenerating());
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QVERIFY(finished.wait(60000));
        QTRY_VERIFY(!window->isVisible());
        // Stopped before its next file: fewer lines than a whole run, and no completion.
        QVERIFY(log().size() < 3 * 2 + 22);
        QVERIFY(user->texts().isEmpty());
        QVERIFY(user->opened.isEmpty());
    }

    void destroyingTheWindowDuringARunDoesNotHang()
    {
        giveBak();
        openWindow();
        Trigger(window.get(), "A1");
        QVERIFY(window->Generation().IsGenerating());
        window.reset();
        // A later window on the same folder works as usual.
        user->shown.clear();
        user->previewAnswers = {true}; // the stopped run left the folder
        openWindow();
        QVERIFY(generate());
        QVERIFY(user->texts().last().startsWith(QStringLiteral("所有代码生成完毕!\n")));
    }

    void existingFolderIsPreviewedFirst()
    {
        giveBak();
        openWindow();
        QVERIFY(generate());
        const QString controller = output() + QStringLiteral("/controller/StudentAction.php");
        writeFile(controller, "<?php // mine");
        user->shown.clear();
        TMainFormProbe{window.get()}.log()->setPlainText(QStringLiteral("earlier"));

        // 取消: nothing is written and nothing more is said.
        user->previewAnswers = {false};
        QVERIFY(generate());
        QCOMPARE(user->previews.size(), 1);
        QVERIFY(user->previews.at(0).contains(QStringLiteral("保留你的修改\tcontroller/StudentAction.php")));
        QVERIFY(user->previews.at(0).contains(QStringLiteral("无变化\tphpbean/Score.class.php")));
        QVERIFY(user->shown.isEmpty());
        QCOMPARE(log(), QStringList{QStringLiteral("earlier")});

        // 生成: the run keeps the edit and says so.
        user->previewAnswers = {true};
        QVERIFY(generate());
        QCOMPARE(TestSupport::ReadFile(controller), QByteArray("<?php // mine"));
        QCOMPARE(user->texts().size(), 1);
        QVERIFY2(user->texts().at(0).contains(QStringLiteral("保留你的修改1个")), qPrintable(user->texts().at(0)));
    }

    // A project living on its database asks for the password once, for database/config.php;
    // the file, once there, is kept and nothing more is asked.
    void inPlaceProjectAsksForItsPasswordOnce()
    {
        giveBak();
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/bak/database/config.php"),
                            program->Dir() + QStringLiteral("/bak/database/config.php")));
        TProjectDAO().SetExistingDatabase(school, TExistingDatabase{QStringLiteral("velmora_"), QStringLiteral("shop"),
                                                                    QStringLiteral("db.example"), 3307, QString(),
                                                                    QStringLiteral("web")});
        openWindow();
        user->passwordAnswers = {QStringLiteral("it's\\secret")};
        QVERIFY(generate());
        QCOMPARE(user->prompts.size(), 1);
        const QString config = output() + QStringLiteral("/database/config.php");
        const QByteArray written = TestSupport::ReadFile(config);
        for (const char *line : {"'host'            => 'db.example',", "'port'            => 3307,",
                                 "'password'        => 'it\\'s\\\\secret',", "'table_prefix'    => 'velmora_',"})
            QVERIFY2(written.contains(line), written.constData());
        user->previewAnswers = {true};
        QVERIFY(generate());
        QCOMPARE(user->prompts.size(), 1);
        QCOMPARE(TestSupport::ReadFile(config), written);
        user->takeTexts();

        // Its table script says where its tables go, and asks for no new database.
        giveTemplate();
        const QString script = TDatabaseScripts::TableScript(school, QString(), program->Dir(), output());
        QVERIFY2(script.contains(QStringLiteral("本脚本在已有的数据库 shop (db.example:3307) 中建立程序自己的数据表 (表名前缀 velmora_),\r\n"))
                     && script.contains(QStringLiteral("--   mysql -u web -p shop < 本脚本.sql\r\n"))
                     && !script.contains(QStringLiteral("新建一个数据库")),
                 qPrintable(script.left(600)));
    }

    void previewShowsTheSelectedFilesChanges()
    {
        TPlannedFile merged{QStringLiteral("controller/AAction.php"), TFileAction::Merged, QString(),
                            "one\r\ntwo\r\n", "one\r\ntwo\r\nthree\r\n"};
        TPlannedFile conflict{QStringLiteral("controller/BAction.php"), TFileAction::Conflict,
                              QStringLiteral("controller/BAction.php.merge.txt"), "a\r\n", "<<<<<<< x\r\n"};
        TPlannedFile orphan{QStringLiteral("phpbean/Gone.class.php"), TFileAction::Orphaned};
        TPlannedFile same{QStringLiteral("controller/0Action.php"), TFileAction::Unchanged};
        TRegenerationCounts counts;
        // The files that change come first, and alone when asked.
        TFormRegenerationPreview preview(nullptr, {same, merged, conflict, orphan}, counts);
        QCOMPARE(preview.Files()->topLevelItemCount(), 4);
        QCOMPARE(preview.Files()->topLevelItem(3)->text(1), same.path);
        preview.OnlyChanges()->setChecked(true);
        QVERIFY(preview.Files()->topLevelItem(3)->isHidden() && !preview.Files()->topLevelItem(2)->isHidden());
        QCOMPARE(preview.Files()->topLevelItem(2)->text(0), QStringLiteral("孤立"));
        // The conflict is shown first, with where its merge goes.
        QVERIFY(preview.Diff()->toPlainText().contains(QStringLiteral("BAction.php.merge.txt")));
        preview.Files()->setCurrentItem(preview.Files()->topLevelItem(0));
        QVERIFY(preview.Diff()->toPlainText().contains(QStringLiteral("\n+three\n")));
        preview.Files()->setCurrentItem(preview.Files()->topLevelItem(2));
        QVERIFY(preview.Diff()->toPlainText().contains(QStringLiteral("不会删除")));
    }

    void scriptWindow()
    {
        giveTemplate();
        openWindow();
        user->inputAnswers = {QStringLiteral("app_")};
        Trigger(window.get(), "N4");
        QString shown;
        bool selectsAll = false;
        bool typesWithoutCtrl = false;
        const QString saved = program->Dir() + QStringLiteral("/school.sql");
        // Saved, cancelled, and into a folder that is not there.
        user->fileAnswers = {saved, QString(), program->Dir() + QStringLiteral("/none/x.sql")};
        QCOMPARE(DriveDialog<TDataBaseSqlForm>([&] { Trigger(window.get(), "sql1"); }, [&](TDataBaseSqlForm &form) {
                     auto *memo = Find<QPlainTextEdit>(&form, "Memo_Sql");
                     shown = memo->toPlainText();
                     QApplication::clipboard()->clear();
                     Find<QPushButton>(&form, "Btn_Copy")->click();
                     QCOMPARE(QApplication::clipboard()->text(), shown);
                     for (int i = 0; i < 3; ++i)
                         Find<QPushButton>(&form, "Btn_Save")->click();
                     QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
                     selectsAll = memo->textCursor().selectedText().size() == shown.size();
                     // Without Ctrl the key types over the selection.
                     QTest::keyClicks(memo, QStringLiteral("a"));
                     typesWithoutCtrl = memo->toPlainText() == QStringLiteral("a");
                 }),
                 1);
        QCOMPARE(user->fileCaptions, QStringList(3, QStringLiteral("保存为")));
        QCOMPARE(user->shown.size(), 2);
        QCOMPARE(user->shown.at(0).text, QStringLiteral("已保存到 ") + QDir::toNativeSeparators(saved));
        QCOMPARE(user->shown.at(1).kind, TMessageKind::Error);
        QVERIFY(!QFileInfo::exists(program->Dir() + QStringLiteral("/none")));
        QVERIFY(selectsAll);
        QVERIFY(typesWithoutCtrl);
        // The file holds the script as generated: byte-order mark, CR LF.
        TGenerationTarget target;
        target.outputRoot = program->Dir();
        target.projectName = window->Projects().SelectedProjectName();
        QString built = TDatabaseScripts::TableScript(school, QStringLiteral("app_"), program->Dir(), target.OutputDir());
        QCOMPARE(TestSupport::ReadFile(saved), TFileOperate::Utf8WithBom(built));
        built.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QCOMPARE(shown, built);
        QVERIFY(shown.contains(QStringLiteral("CREATE TABLE IF NOT EXISTS `app_Score` (")));
        QVERIFY(shown.contains(
            QStringLiteral("\nALTER TABLE app_Score ADD CONSTRAINT FOREIGN KEY (student) REFERENCES app_Student(id);\n")));
        QVERIFY(!shown.contains(QStringLiteral("$dbprefix")));
        // Nothing generated yet: the first generation will record this model as version 1.
        QVERIFY(shown.contains(QStringLiteral("VALUES (1, 1, UTC_TIMESTAMP());\n")));
    }

    void scriptWindowRefusals()
    {
        openWindow();
        // No template in the program folder.
        QCOMPARE(DriveDialog<TDataBaseSqlForm>([&] { Trigger(window.get(), "sql1"); }, [](TDataBaseSqlForm &) {}), 0);
        QCOMPARE(user->shown.size(), 1);
        QCOMPARE(user->shown.first().kind, TMessageKind::Error);
        QVERIFY(user->shown.first().text.contains(QStringLiteral("mysql_dump.sql")));
        user->shown.clear();

        giveTemplate();
        TMember ref = TMemberDAO().GetMembers(score).last();
        ref.setMemberType(QStringLiteral("Ghost"));
        TMemberDAO().UpdateMember(ref);
        QCOMPARE(DriveDialog<TDataBaseSqlForm>([&] { Trigger(window.get(), "sql1"); }, [](TDataBaseSqlForm &) {}), 0);
        QCOMPARE(user->texts(), QStringList{"Score类的成员student引用的类Ghost不存在或没有主键!"});
    }

    void upgradeWindow()
    {
        giveBak();
        giveTemplate();
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/template/数据库/mysql_upgrade.sql"),
                            program->Dir() + QStringLiteral("/template/数据库/mysql_upgrade.sql")));
        openWindow();
        // Nothing generated yet: the table script is the way.
        QCOMPARE(DriveDialog<TDataBaseSqlForm>([&] { Trigger(window.get(), "upgrade1"); }, [](TDataBaseSqlForm &) {}), 0);
        QCOMPARE(user->texts(), QStringList{"该项目还没有生成记录，请使用建表脚本"});
        program->AddMember(school, student, QStringLiteral("nick"), MemberType::Text, false, false, QStringLiteral("昵称"));
        QVERIFY(generate());
        program->AddMember(school, student, QStringLiteral("age"), MemberType::Integer, false, false, QStringLiteral("年龄"));
        user->previewAnswers << true;
        QVERIFY(generate());
        TMemberDAO().DeleteMember(TMemberDAO().GetMembers(student).at(2).memberId());
        user->shown.clear();

        QStringList versions;
        QString fromNewest, fromFirst, destructive;
        QStringList clipped;
        int chosenAfterFailure = -1;
        QCOMPARE(DriveDialog<TDataBaseSqlForm>([&] { Trigger(window.get(), "upgrade1"); }, [&](TDataBaseSqlForm &form) {
                     auto *memo = Find<QPlainTextEdit>(&form, "Memo_Sql");
                     auto *version = Find<QComboBox>(&form, "CB_Version");
                     for (const QWidget *w : form.findChildren<QWidget *>()) {
                         if (!qobject_cast<const QPlainTextEdit *>(w) && w->isVisible()
                             && w->width() < w->sizeHint().width())
                             clipped << QString::fromLatin1(w->metaObject()->className()) + w->objectName();
                     }
                     for (int i = 0; i < version->count(); ++i)
                         versions << version->itemText(i).section(QLatin1Char(' '), 0, 2);
                     fromNewest = memo->toPlainText();
                     version->setCurrentIndex(1);
                     fromFirst = memo->toPlainText();
                     Find<QCheckBox>(&form, "CK_Destructive")->setChecked(true);
                     destructive = memo->toPlainText();
                     // 按数据库中的版本: a cancelled password connects nowhere; a server that is not
                     // there is reported, and the version chosen stays.
                     Find<QLineEdit>(&form, "Edit_DbName")->setText(QStringLiteral("school"));
                     Find<QLineEdit>(&form, "Edit_DbUser")->setText(QStringLiteral("root"));
                     Find<QLineEdit>(&form, "Edit_DbHost")->setText(QStringLiteral("127.0.0.1"));
                     Find<QLineEdit>(&form, "Edit_DbPort")->setText(QStringLiteral("1"));
                     user->passwordAnswers = {std::nullopt, QStringLiteral("secret")};
                     for (int click = 0; click < 2; ++click)
                         Find<QPushButton>(&form, "Btn_FromDb")->click();
                     chosenAfterFailure = version->currentIndex();
                 }),
                 1);
        QCOMPARE(user->prompts.size(), 2);
        QCOMPARE(chosenAfterFailure, 1);
        QCOMPARE(user->shown.size(), 1);
        QCOMPARE(user->shown.first().kind, TMessageKind::Error);
        QVERIFY2(user->shown.first().text.startsWith(QStringLiteral("读取数据库的模型版本失败: 连接不上数据库服务器 127.0.0.1:1")),
                 qPrintable(user->shown.first().text));
        user->shown.clear();
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char(' '))));
        QCOMPARE(versions, (QStringList{"第 2 版", "第 1 版"}));
        QVERIFY2(fromNewest.contains(QStringLiteral("\n-- ALTER TABLE `t_Student` DROP COLUMN `nick`;\n")), qPrintable(fromNewest));
        QVERIFY(!fromNewest.contains(QStringLiteral("ADD COLUMN")));
        QVERIFY(fromFirst.contains(QStringLiteral("ADD COLUMN `age` int(11) NOT NULL COMMENT '年龄' AFTER `name`")));
        QVERIFY(destructive.contains(QStringLiteral("\n  DROP COLUMN `nick`,\n")));

        // A project over an existing database offers its stored connection.
        TExistingDatabase stored;
        stored.appPrefix = QStringLiteral("velmora_");
        stored.database = QStringLiteral("shop");
        stored.host = QStringLiteral("db.example");
        stored.port = 3307;
        stored.user = QStringLiteral("shopweb");
        TProjectDAO().SetExistingDatabase(school, stored);
        QStringList offered;
        QCOMPARE(DriveDialog<TDataBaseSqlForm>([&] { Trigger(window.get(), "upgrade1"); }, [&](TDataBaseSqlForm &form) {
                     for (const char *name : {"Edit_DbName", "Edit_DbUser", "Edit_DbHost", "Edit_DbPort"})
                         offered << Find<QLineEdit>(&form, name)->text();
                 }),
                 1);
        QCOMPARE(offered, (QStringList{"shop", "shopweb", "db.example", "3307"}));
    }
};

QTEST_MAIN(TestGeneration)
#include "tst_generation.moc"
