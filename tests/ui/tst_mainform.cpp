// The main window's menus and commands, their refusals, and what the window remembers.
#include "MainFormFixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>

#include "ui/dialogs/FormAddClass.h"
#include "ui/dialogs/FormAddMember.h"
#include "ui/dialogs/FormUpdateClass.h"
#include "ui/dialogs/FormUpdateMember.h"

class TestMainForm : public QObject, private TMainFormFixture {
    Q_OBJECT

private slots:
    void init() { TMainFormFixture::init(); }
    void cleanup() { TMainFormFixture::cleanup(); }

    void windowHasItsMenusAndCaption()
    {
        auto window = openWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("VelmoraPHP基于MVC三层模式代码生成器2.0版"));
        QStringList layout;
        const auto accessKey = [](const QString &text) {
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            return at < 0 ? QString() : text.mid(at + 1, 1).toUpper();
        };
        QStringList barKeys;
        for (QAction *entry : window->menuBar()->actions()) {
            QMenu *menu = entry->menu();
            QStringList items;
            QStringList keys;
            for (QAction *a : menu->actions()) {
                items.append(a->objectName() + QLatin1Char('=') + a->text());
                // Each access key once within its menu, so a key press means one command.
                QVERIFY2(!keys.contains(accessKey(a->text())), qPrintable(a->text()));
                keys.append(accessKey(a->text()));
            }
            QVERIFY2(!barKeys.contains(accessKey(menu->title())), qPrintable(menu->title()));
            barKeys.append(accessKey(menu->title()));
            layout.append(menu->objectName() + QLatin1Char('=') + menu->title() + QLatin1Char(':')
                          + items.join(QLatin1Char(',')));
        }
        QCOMPARE(layout, QStringList({
            QStringLiteral("F1=项目操作(&P):F2=新建项目(&F),N1=修改项目名称(&X),D1=删除当前项目(&D),"
                           "A2=添加类(&A),N2=修改类名(&B),S1=删除类(&S),Copy1=复制类(&Y),Index1=编辑索引(&K),M1=添加成员(&M),"
                           "N3=修改成员属性(&E),C1=删除成员(&C),Up1=上移成员(&U),Down1=下移成员(&N),=,"
                           "ExportModel=导出模型(&O)…,ImportModel=导入模型(&I)…,ImportDatabase=从数据库导入(&R)…"),
            QStringLiteral("P1=代码管理(&A):N4=设置表名前缀(&P),sql1=生成建表sql语句(&Q),"
                           "upgrade1=生成数据库升级脚本(&U),A1=生成项目代码(&M),Check1=检查模型(&C),Diagram1=模型图(&D),"
                           "Success1=显示操作成功提示(&S),Preview1=显示代码预览(&V)"),
        }));
        QStringList columns;
        const TMainFormProbe probe{window.get()};
        QTableView *table = probe.members();
        for (int c = 0; c < table->model()->columnCount(); ++c)
            columns.append(probe.memberCaption(c));
        QCOMPARE(columns, QStringList({"编号", "成员名称", "成员类型", "长度", "主键", "必填", "查询",
                                       "下拉框显示", "界面显示", "注释"}));
        QVERIFY(table->isColumnHidden(0));
        QCOMPARE(Find<QGroupBox>(window.get(), "GroupBox1")->title(), QStringLiteral("项目操作区"));
        QCOMPARE(Find<QGroupBox>(window.get(), "GroupBox2")->title(), QStringLiteral("生成进度"));
        QCOMPARE(window->Projects().TablePrefix(), QStringLiteral("t_"));
        QCOMPARE(window->Generation().ErrorClassId(), 0);
    }

    void missingDatabaseShowsErrorAndEmptyLists_data()
    {
        QTest::addColumn<QString>("damage"); // SQL run past the program's checks; none: no file
        QTest::addColumn<QString>("says");
        QTest::newRow("no file") << QString() << "找不到模型数据库文件";
        // Only columns later versions added are added; the file is left as it is.
        QTest::newRow("a first column dropped") << "alter table t_member drop column memberLength"
                                                << "缺少 表 t_member 的列 memberLength";
    }

    void missingDatabaseShowsErrorAndEmptyLists()
    {
        QFETCH(QString, damage);
        QFETCH(QString, says);
        const auto raw = [this](const QString &sql) {
            QString result;
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
                db.setDatabaseName(program->DatabaseFile());
                QSqlQuery query(db);
                if (db.open() && query.exec(sql) && query.next())
                    result = query.value(0).toString();
                query = QSqlQuery();
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("raw"));
            return result;
        };
        const QString tables = QStringLiteral("select group_concat(sql, ';') from sqlite_master");
        if (damage.isEmpty())
            QFile::remove(program->DatabaseFile());
        else
            raw(damage);
        const QString before = damage.isEmpty() ? QString() : raw(tables);
        auto window = openWindow();
        TMainFormProbe probe{window.get()};
        QCOMPARE(user->shown.size(), 1);
        QCOMPARE(user->shown.first().kind, TMessageKind::Error);
        QVERIFY(user->shown.first().text.contains(QStringLiteral("projects.mdb")));
        QVERIFY2(user->shown.first().text.contains(says), qPrintable(user->shown.first().text));
        QVERIFY(probe.projectNames().isEmpty());
        QVERIFY(probe.classNames().isEmpty());
        // A command that reaches the database shows the error and stops there.
        user->takeTexts();
        user->inputAnswers = {QStringLiteral("demo")};
        Trigger(window.get(), "F2");
        QCOMPARE(user->shown.size(), 1);
        QCOMPARE(user->shown.first().kind, TMessageKind::Error);
        if (!damage.isEmpty())
            QCOMPARE(raw(tables), before);
    }

    void commandsWithoutSelectionAreRefused_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("message");
        QTest::newRow("rename project") << "N1" << "当前未有任何项目被选中!";
        QTest::newRow("delete project") << "D1" << "未有任何项目被选中!";
        QTest::newRow("add class") << "A2" << "当前未有任何项目被选中!";
        QTest::newRow("edit class") << "N2" << "没有类被选中!";
        QTest::newRow("delete class") << "S1" << "没有类被选中!";
        QTest::newRow("add member") << "M1" << "请先选择类对象";
        QTest::newRow("edit member") << "N3" << "请先选择一个成员";
        QTest::newRow("delete member") << "C1" << "请先选择一个成员";
        QTest::newRow("table script") << "sql1" << "当前未有任何项目被选中!";
        QTest::newRow("upgrade script") << "upgrade1" << "当前未有任何项目被选中!";
        QTest::newRow("generate") << "A1" << "没有一个工程被选中！";
    }

    void commandsWithoutSelectionAreRefused()
    {
        QFETCH(QString, action);
        QFETCH(QString, message);
        auto window = openWindow();
        QVERIFY(user->shown.isEmpty());
        Trigger(window.get(), qPrintable(action));
        QCOMPARE(user->texts(), QStringList{message});
        QVERIFY(user->prompts.isEmpty());
        QVERIFY(user->questions.isEmpty());
    }

    void newProject()
    {
        program->AddProject(QStringLiteral("alpha"));
        auto window = openWindow();
        TMainFormProbe probe{window.get()};

        user->inputAnswers = {std::nullopt, QString(), QStringLiteral("alpha"), QStringLiteral("学生 管理")};
        Trigger(window.get(), "F2");
        Trigger(window.get(), "F2");
        Trigger(window.get(), "F2");
        QCOMPARE(user->takeTexts(), QStringList({"工程名称不能为空!", "工程名称不能为空!", "该工程名称已经存在!"}));
        QCOMPARE(user->prompts.first().caption, QStringLiteral("请输入工程名称"));
        QCOMPARE(user->prompts.first().prompt, QString());
        QCOMPARE(user->prompts.first().defaultText, QString());
        QCOMPARE(TProjectDAO().GetProjects().size(), 1);

        Trigger(window.get(), "F2");
        QCOMPARE(user->takeTexts(), QStringList{"工程名称添加成功！"});
        QCOMPARE(probe.projectNames(), QStringList({"alpha", "学生 管理"}));
        // The list is reloaded with the first project selected, not the new one.
        QCOMPARE(probe.selectedProject(), QStringLiteral("alpha"));
    }

    void unsafeNamesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        // A class name must be a PHP identifier as well: its own refusal, empty when accepted.
        QTest::addColumn<QString>("classRefusal");
        QTest::newRow("parent folder") << "../x" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("sub folder") << "a/b" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("backslash") << "a\\b" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("drive") << "c:x" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("star") << "a*" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("question") << "a?" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("quote") << "a\"b" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("less") << "a<b" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("greater") << "a>b" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("bar") << "a|b" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("tab") << "a\tb" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("newline") << "a\nb" << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("dot") << "." << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("dot dot") << ".." << false << QStringLiteral("类名称不能包含路径或特殊字符!");
        QTest::newRow("blank inside") << "A b" << true << QStringLiteral("类名称只能由字母、数字和下划线组成!");
        QTest::newRow("three dots") << "A..." << true << QStringLiteral("类名称只能由字母、数字和下划线组成!");
        QTest::newRow("chinese") << "A学生" << true << QString();
        QTest::newRow("digits underscore") << "A_1" << true << QString();
    }

    void unsafeNamesAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QFETCH(QString, classRefusal);
        const int other = program->AddProject(QStringLiteral("other"));
        auto window = openWindow();
        TMainFormProbe probe{window.get()};

        // New project.
        user->inputAnswers = {name};
        Trigger(window.get(), "F2");
        QCOMPARE(user->takeTexts(), QStringList{accepted ? QStringLiteral("工程名称添加成功！")
                                                         : QStringLiteral("工程名称不能包含路径或特殊字符!")});
        QCOMPARE(TProjectDAO().CountByName(name), accepted ? 1 : 0);

        // Rename project.
        probe.selectProject(0);
        user->inputAnswers = {name};
        Trigger(window.get(), "N1");
        QCOMPARE(user->takeTexts(), QStringList{accepted ? QStringLiteral("工程名称修改成功！")
                                                         : QStringLiteral("工程名称不能包含路径或特殊字符!")});
        QCOMPARE(TProjectDAO().GetProjects().first().name,
                 accepted ? name : QStringLiteral("other"));

        // Add class and update class.
        const auto fill = [&](auto &dialog, const QString &className) {
            Find<QLineEdit>(&dialog, "Edt_ClassName")->setText(className);
            Find<QLineEdit>(&dialog, "Edt_FriendName")->setText(QStringLiteral("学生"));
            Find<QPushButton>(&dialog, "Button1")->click();
        };
        QCOMPARE(DriveDialog<TAddClassForm>([&] { Trigger(window.get(), "A2"); },
                                            [&](TAddClassForm &d) { fill(d, name); }),
                 1);
        QCOMPARE(user->takeTexts(), QStringList{classRefusal.isEmpty() ? QStringLiteral("类名称添加成功！") : classRefusal});
        QCOMPARE(TClassDAO().CountByName(other, name), classRefusal.isEmpty() ? 1 : 0);
        // The name is free again for the rename below.
        if (classRefusal.isEmpty())
            TClassDAO().DeleteClass(TClassDAO().GetClassId(other, name));

        program->AddClass(other, QStringLiteral("Plain"));
        window->Projects().LoadClasses(other);
        probe.selectClass(probe.classNames().indexOf(QStringLiteral("Plain")));
        QCOMPARE(DriveDialog<TUpdateClassForm>([&] { Trigger(window.get(), "N2"); },
                                               [&](TUpdateClassForm &d) { fill(d, name); }),
                 1);
        QCOMPARE(user->takeTexts(), QStringList{classRefusal.isEmpty() ? QStringLiteral("类名称更新成功") : classRefusal});
        QCOMPARE(TClassDAO().CountByName(other, QStringLiteral("Plain")), classRefusal.isEmpty() ? 0 : 1);
    }

    void successesCanGoToTheStatusBar()
    {
        buildSchool();
        auto window = openWindow();
        QVERIFY(Find<QAction>(window.get(), "Success1")->isChecked());
        Trigger(window.get(), "Success1");
        TMainFormProbe probe{window.get()};
        probe.selectMember(0);
        user->confirmAnswers = {true};
        Trigger(window.get(), "C1");
        QVERIFY(user->shown.isEmpty());
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("成员属性删除成功"));
        // Errors keep their box; the choice is kept for the next start.
        probe.members()->clearSelection();
        Trigger(window.get(), "C1");
        QCOMPARE(user->takeTexts(), QStringList{"请先选择一个成员"});
        window.reset();
        QVERIFY(!Find<QAction>(openWindow().get(), "Success1")->isChecked());
    }

    void sizeAndDividersAreRemembered()
    {
        buildSchool();
        auto window = openWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->resize(900, 700);
        auto *log = Find<QSplitter>(window.get(), "SP_Main");
        log->setSizes({300, 250});
        const QList<int> sizes = log->sizes();
        window->close();
        window = openWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->size(), QSize(900, 700));
        QCOMPARE(Find<QSplitter>(window.get(), "SP_Main")->sizes(), sizes);
    }

    void tablePrefix()
    {
        auto window = openWindow();
        user->inputAnswers = {std::nullopt, QString(), QStringLiteral("app_")};
        Trigger(window.get(), "N4");
        QVERIFY(user->shown.isEmpty());
        QCOMPARE(window->Projects().TablePrefix(), QStringLiteral("t_"));
        Trigger(window.get(), "N4");
        QCOMPARE(user->takeTexts(), QStringList{"前缀输入不能为空!"});
        QCOMPARE(window->Projects().TablePrefix(), QStringLiteral("t_"));
        Trigger(window.get(), "N4");
        QVERIFY(user->shown.isEmpty());
        QCOMPARE(window->Projects().TablePrefix(), QStringLiteral("app_"));
        QCOMPARE(user->prompts.first().caption, QStringLiteral("表前缀输入框"));
        QCOMPARE(user->prompts.first().prompt, QStringLiteral("请输入一个表名前缀如:           "));
        QCOMPARE(user->prompts.first().defaultText, QStringLiteral("t_"));
        QCOMPARE(user->prompts.last().defaultText, QStringLiteral("t_"));
    }

    void tablePrefixIsCheckedAndKeptPerProject()
    {
        const int one = program->AddProject(QStringLiteral("one"));
        program->AddProject(QStringLiteral("two"));
        auto window = openWindow();
        TMainFormProbe probe{window.get()};
        user->inputAnswers = {QStringLiteral("a'b"), QStringLiteral("x*/"), QStringLiteral("one_")};
        for (int i = 0; i < 3; ++i)
            Trigger(window.get(), "N4");
        QCOMPARE(user->takeTexts(), QStringList({"表名前缀\"a'b\"只能包含字母、数字和下划线!",
                                                 "表名前缀\"x*/\"只能包含字母、数字和下划线!"}));
        QCOMPARE(window->Projects().TablePrefix(), QStringLiteral("one_"));
        probe.selectProject(1);
        QCOMPARE(window->Projects().TablePrefix(), QStringLiteral("t_"));

        // A restart finds each project's prefix again.
        window.reset();
        window = openWindow();
        QCOMPARE(window->Projects().SelectedProjectId(), one);
        QCOMPARE(window->Projects().TablePrefix(), QStringLiteral("one_"));
    }

    void homePage()
    {
        auto window = openWindow();
        auto *timer = Find<QTimer>(window.get(), "Timer1");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 5000);
        auto *banner = Find<QLabel>(window.get(), "Image1");
        QCOMPARE(banner->height(), 89);

        // Without the help page a click says so; the timer stays quiet.
        QTest::mouseClick(banner, Qt::LeftButton);
        QCOMPARE(user->takeTexts().size(), 1);
        QVERIFY(user->opened.isEmpty());

        QVERIFY(QDir(program->Dir()).mkpath(QStringLiteral("doc")));
        QFile page(program->Dir() + QStringLiteral("/doc/index.html"));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        QTest::mouseClick(banner, Qt::LeftButton);
        const QUrl expected = QUrl::fromLocalFile(QDir(program->Dir()).absoluteFilePath(QStringLiteral("doc/index.html")));
        QCOMPARE(user->opened, QList<QUrl>{expected});
        // Five seconds after start, once.
        QTRY_COMPARE_WITH_TIMEOUT(user->opened.size(), 2, 8000);
        QCOMPARE(user->opened.last(), expected);
        QVERIFY(!timer->isActive());
        QVERIFY(user->shown.isEmpty());

        user->openSucceeds = false;
        QTest::mouseClick(banner, Qt::LeftButton);
        QCOMPARE(user->shown.size(), 1);
        QCOMPARE(user->shown.first().kind, TMessageKind::Error);
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
