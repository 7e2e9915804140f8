// The main window's lists: what they show, how the selection moves, and their keys.
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
#include <QStatusBar>

#include "ui/dialogs/FormAddClass.h"
#include "ui/dialogs/FormAddMember.h"
#include "ui/dialogs/FormUpdateClass.h"
#include "ui/dialogs/FormUpdateMember.h"

class TestMainFormLists : public QObject, private TMainFormFixture {
    Q_OBJECT

private slots:
    void init() { TMainFormFixture::init(); }
    void cleanup() { TMainFormFixture::cleanup(); }

    void renameKeepsTheSelectedPosition()
    {
        program->AddProject(QStringLiteral("one"));
        program->AddProject(QStringLiteral("two"));
        program->AddProject(QStringLiteral("three"));
        auto window = openWindow();
        TMainFormProbe probe{window.get()};
        probe.selectProject(1);

        user->inputAnswers = {QString(), QStringLiteral("deux")};
        Trigger(window.get(), "N1");
        QCOMPARE(user->takeTexts(), QStringList{"工程项目名称不能为空!"});
        Trigger(window.get(), "N1");
        QCOMPARE(user->takeTexts(), QStringList{"工程名称修改成功！"});
        QCOMPARE(user->prompts.last().caption, QStringLiteral("请输入项目名称"));
        QCOMPARE(user->prompts.last().defaultText, QString());
        QCOMPARE(probe.projectNames(), QStringList({"one", "deux", "three"}));
        QCOMPARE(probe.selectedProject(), QStringLiteral("deux"));

        // A new project afterwards keeps the position of the last rename.
        user->inputAnswers = {QStringLiteral("four")};
        Trigger(window.get(), "F2");
        QCOMPARE(probe.selectedProject(), QStringLiteral("deux"));

        // Renaming to the name of another project is not refused.
        user->inputAnswers = {QStringLiteral("one")};
        Trigger(window.get(), "N1");
        QCOMPARE(user->takeTexts(), QStringList({"工程名称添加成功！", "工程名称修改成功！"}));
    }

    void deleteProjectSelectsTheFirst()
    {
        buildSchool();
        program->AddProject(QStringLiteral("third"));
        auto window = openWindow();
        TMainFormProbe probe{window.get()};
        probe.selectProject(2);

        user->confirmAnswers = {false};
        Trigger(window.get(), "D1");
        QCOMPARE(user->questions, QStringList{"删除提示|确认删除当前项目吗?"});
        QVERIFY(user->shown.isEmpty());
        QCOMPARE(TProjectDAO().GetProjects().size(), 3);

        user->confirmAnswers = {true};
        Trigger(window.get(), "D1");
        QCOMPARE(user->takeTexts(), QStringList{"删除成功!"});
        QCOMPARE(probe.projectNames(), QStringList({"school", "shop"}));
        QCOMPARE(probe.selectedProject(), QStringLiteral("school"));
        QCOMPARE(probe.classNames(), QStringList({"Student", "Score"}));
        QCOMPARE(probe.memberNames(), QStringList({"id", "name"}));

        // Deleting the project with classes removes its classes too, and leaves the next one.
        user->confirmAnswers = {true};
        Trigger(window.get(), "D1");
        QCOMPARE(probe.projectNames(), QStringList{"shop"});
        QVERIFY(probe.classNames().isEmpty());
        QVERIFY(probe.memberNames().isEmpty());
        user->confirmAnswers = {true};
        Trigger(window.get(), "D1");
        QVERIFY(probe.projectNames().isEmpty());
        QCOMPARE(window->Projects().SelectedProjectId(), -1);
    }

    // The lists are in place before the window is first painted.
    void listsAreFilledBeforeTheFirstPaint()
    {
        buildSchool();
        TFormMain window(*user, program->Dir());
        TMainFormProbe probe{&window};
        QCOMPARE(probe.projectNames(), QStringList({"school", "shop"}));
        QCOMPARE(probe.classNames(), QStringList({"Student", "Score"}));
        QCOMPARE(probe.memberNames(), QStringList({"id", "name"}));
        QVERIFY(user->shown.isEmpty());
    }

    void listsFollowTheSelection()
    {
        buildSchool();
        auto window = openWindow();
        TMainFormProbe probe{window.get()};
        QCOMPARE(probe.projectNames(), QStringList({"school", "shop"}));
        QCOMPARE(probe.selectedProject(), QStringLiteral("school"));
        QCOMPARE(probe.classNames(), QStringList({"Student", "Score"}));
        QCOMPARE(probe.selectedClass(), QStringLiteral("Student"));
        QCOMPARE(probe.memberRows(), QStringList({
            QStringLiteral("id|整型|0|是|是|否|否|是|"),
            QStringLiteral("name|字符串|20|否|是|否|是|是|姓名"),
        }));
        // Names and comments, which columns cut short, show whole as tips; no other cell has one.
        QStringList tips;
        for (int c = 0; c < probe.members()->model()->columnCount(); ++c)
            tips << probe.memberCell(1, c, Qt::ToolTipRole);
        QCOMPARE(tips.join(QLatin1Char('|')), QStringLiteral("|name||||||||姓名"));

        probe.selectClass(1);
        QCOMPARE(probe.memberNames(), QStringList{"student"});

        // A project without classes leaves neither classes nor members on screen.
        probe.selectProject(1);
        QVERIFY(probe.classNames().isEmpty());
        QVERIFY(probe.memberNames().isEmpty());
        QCOMPARE(window->Projects().SelectedClassId(), -1);
        probe.selectProject(0);
        QCOMPARE(probe.selectedClass(), QStringLiteral("Student"));
        QCOMPARE(probe.memberNames(), QStringList({"id", "name"}));

        // The hidden first column carries the member id.
        probe.selectMember(1);
        QCOMPARE(window->Members().SelectedMemberId(), TMemberDAO().GetMembers(window->Projects().SelectedClassId()).at(1).memberId());
    }

    void deleteClassEmptiesTheMemberTable()
    {
        buildSchool();
        auto window = openWindow();
        TMainFormProbe probe{window.get()};
        const int studentId = window->Projects().SelectedClassId();

        user->confirmAnswers = {false, true};
        Trigger(window.get(), "S1");
        QCOMPARE(TClassDAO().GetClassName(studentId), QStringLiteral("Student"));
        QVERIFY(user->shown.isEmpty());
        Trigger(window.get(), "S1");
        // Score refers to Student: the question names that member first.
        const QString question = QStringLiteral("提示|以下成员引用了该类: Score.student\n确认删除此类对象！");
        QCOMPARE(user->questions, QStringList({question, question}));
        QCOMPARE(user->takeTexts(), QStringList{"类对象删除成功!"});
        QCOMPARE(probe.classNames(), QStringList{"Score"});
        QVERIFY(probe.memberNames().isEmpty());
        QCOMPARE(window->Projects().SelectedClassId(), -1);
        QVERIFY(TMemberDAO().GetMembers(studentId).isEmpty());
        QCOMPARE(TClassDAO().GetClassName(studentId), QString());

        // With nothing selected, the member commands refuse.
        Trigger(window.get(), "C1");
        Trigger(window.get(), "N3");
        QCOMPARE(user->takeTexts(), QStringList({"请先选择一个成员", "请先选择一个成员"}));
    }

    void listKeys_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("opens"); // the dialog's class, or the question asked
        QTest::newRow("Delete on a member") << "LV_Member" << int(Qt::Key_Delete) << "删除提示|确定删除当前成员属性?";
        QTest::newRow("F2 on a member") << "LV_Member" << int(Qt::Key_F2) << "TUpdateMemberForm";
        QTest::newRow("Enter on a member") << "LV_Member" << int(Qt::Key_Return) << "TUpdateMemberForm";
        QTest::newRow("Insert in the members") << "LV_Member" << int(Qt::Key_Insert) << "TAddMemberForm";
        QTest::newRow("Delete on a class") << "LB_Object" << int(Qt::Key_Delete) << "提示|以下成员引用了该类: Score.student\n确认删除此类对象！";
        QTest::newRow("F2 on a class") << "LB_Object" << int(Qt::Key_F2) << "TUpdateClassForm";
        QTest::newRow("Insert in the classes") << "LB_Object" << int(Qt::Key_Insert) << "TAddClassForm";
    }

    void listKeys()
    {
        QFETCH(QString, list);
        QFETCH(int, key);
        QFETCH(QString, opens);
        buildSchool();
        auto window = openWindow();
        TMainFormProbe probe{window.get()};
        probe.selectMember(0);
        QString shown;
        user->confirmAnswers = {false};
        DriveDialog<QDialog>([&] { QTest::keyClick(Find<QWidget>(window.get(), list.toLatin1().constData()), Qt::Key(key)); },
                             [&](QDialog &d) { shown = QLatin1String(d.metaObject()->className()); });
        QCOMPARE(shown.isEmpty() ? user->questions.value(0) : shown, opens);
        // The confirmation was declined, or the dialog closed: nothing is gone.
        QCOMPARE(probe.memberNames(), QStringList({"id", "name"}));
        QCOMPARE(probe.classNames(), QStringList({"Student", "Score"}));
        QVERIFY(user->shown.isEmpty());
    }

    // The status bar names the list that has the focus, which is the list Insert adds to.
    void focusedListIsNamed_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("insertOpens"); // empty: Insert does nothing there
        QTest::newRow("classes") << "LB_Object" << "类列表: Insert 添加类" << "TAddClassForm";
        QTest::newRow("members") << "LV_Member" << "成员列表: Insert 添加成员" << "TAddMemberForm";
        QTest::newRow("project selector") << "CB_Project" << "" << "";
    }

    void focusedListIsNamed()
    {
        QFETCH(QString, control);
        QFETCH(QString, named);
        QFETCH(QString, insertOpens);
        buildSchool();
        auto window = openWindow();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto *hint = Find<QLabel>(window.get(), "Label_FocusedList");
        // From the other list, so that the name is seen to change.
        Find<QWidget>(window.get(), control == "LB_Object" ? "LV_Member" : "LB_Object")->setFocus();
        QTRY_VERIFY(!hint->text().isEmpty());
        Find<QWidget>(window.get(), qPrintable(control))->setFocus();
        QTRY_COMPARE(hint->text(), named);
        QString opened;
        DriveDialog<QDialog>([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert); },
                             [&](QDialog &d) { opened = QLatin1String(d.metaObject()->className()); });
        QCOMPARE(opened, insertOpens);
        // A dialog over the window leaves the name as it was.
        QCOMPARE(hint->text(), named);
    }

    void deleteMember()
    {
        buildSchool();
        auto window = openWindow();
        TMainFormProbe probe{window.get()};
        probe.selectMember(0);

        user->confirmAnswers = {false};
        Trigger(window.get(), "C1");
        QCOMPARE(probe.memberNames(), QStringList({"id", "name"}));
        QVERIFY(user->shown.isEmpty());

        user->confirmAnswers = {true};
        Trigger(window.get(), "C1");
        QCOMPARE(user->questions.last(), QStringLiteral("删除提示|确定删除当前成员属性?"));
        QCOMPARE(user->takeTexts(), QStringList{"成员属性删除成功"});
        QCOMPARE(probe.memberNames(), QStringList{"name"});
        QCOMPARE(TMemberDAO().GetMembers(window->Projects().SelectedClassId()).size(), 1);
    }

    void doubleClicks()
    {
        buildSchool();
        auto window = openWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        TMainFormProbe probe{window.get()};

        // On the class list: the update-class dialog of the selected class.
        QWidget *classView = probe.classes()->viewport();
        const QPoint studentAt = probe.classes()->visualItemRect(probe.classes()->item(0)).center();
        QString shownName;
        QCOMPARE(DriveDialog<TUpdateClassForm>(
                     [&] { DoubleClick(classView, studentAt); },
                     [&](TUpdateClassForm &d) { shownName = Find<QLineEdit>(&d, "Edt_ClassName")->text(); }),
                 1);
        QCOMPARE(shownName, QStringLiteral("Student"));

        // On a member row: that member's update dialog.
        QWidget *memberView = probe.members()->viewport();
        const QPoint nameRow = probe.members()->visualRect(probe.members()->model()->index(1, 1)).center();
        QCOMPARE(DriveDialog<TUpdateMemberForm>(
                     [&] { DoubleClick(memberView, nameRow); },
                     [&](TUpdateMemberForm &d) { shownName = Find<QLineEdit>(&d, "Edt_MemberName")->text(); }),
                 1);
        QCOMPARE(shownName, QStringLiteral("name"));

        // Below the rows: nothing selected, so a new member for the selected class.
        const QPoint empty(20, memberView->height() - 5);
        QCOMPARE(DriveDialog<TAddMemberForm>(
                     [&] { DoubleClick(memberView, empty); },
                     [&](TAddMemberForm &) {}),
                 1);
        QCOMPARE(window->Members().SelectedMemberId(), -1);

        // No class and no member: the edit-member command refuses.
        probe.selectProject(1);
        DoubleClick(memberView, empty);
        QCOMPARE(user->takeTexts(), QStringList{"请先选择一个成员"});
        QVERIFY(user->shown.isEmpty());
    }
};

QTEST_MAIN(TestMainFormLists)
#include "tst_mainform_lists.moc"
