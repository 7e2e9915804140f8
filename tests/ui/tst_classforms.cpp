// The add-class and update-class dialogs: their rules in order, and what a save changes.
#include "MainFormProbe.h"

#include "ui/dialogs/FormAddClass.h"
#include "ui/dialogs/FormUpdateClass.h"
#include "ui/dialogs/IndexListForm.h"
#include "model/IndexDAO.h"

#include <QCheckBox>
#include <QTableWidget>

class TestClassForms : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempProgram> program;
    std::unique_ptr<TScriptedInteraction> user;
    std::unique_ptr<TFormMain> window;
    int school = 0;
    int other = 0;
    int student = 0;
    int score = 0;

    struct TOutcome {
        QStringList messages;
        bool stayedOpen = false;
        QString classNameAfter; // the fields as they were after OK
        QString friendNameAfter;
    };

    template <typename Dialog>
    TOutcome press(const char *command, const QString &className, const QString &friendName)
    {
        TOutcome outcome;
        const int shown = DriveDialog<Dialog>([&] { Trigger(window.get(), command); }, [&](Dialog &d) {
            Find<QLineEdit>(&d, "Edt_ClassName")->setText(className);
            Find<QLineEdit>(&d, "Edt_FriendName")->setText(friendName);
            Find<QPushButton>(&d, "Button1")->click();
            outcome.stayedOpen = d.isVisible();
            outcome.classNameAfter = Find<QLineEdit>(&d, "Edt_ClassName")->text();
            outcome.friendNameAfter = Find<QLineEdit>(&d, "Edt_FriendName")->text();
        });
        if (shown != 1)
            qWarning("dialog shown %d times", shown);
        outcome.messages = user->takeTexts();
        return outcome;
    }

    QStringList classesInDatabase(int projectId) const
    {
        QStringList names;
        for (const TListEntry &e : TClassDAO().GetClasses(projectId))
            names.append(e.name + QLatin1Char('/') + TClassDAO().GetFriendName(e.id));
        return names;
    }

private slots:
    void init()
    {
        program = std::make_unique<TTempProgram>();
        user = std::make_unique<TScriptedInteraction>();
        school = program->AddProject(QStringLiteral("school"));
        other = program->AddProject(QStringLiteral("other"));
        student = program->AddClass(school, QStringLiteral("Student"), QStringLiteral("学生"));
        program->AddMember(school, student, QStringLiteral("id"), MemberType::Integer, true, true);
        score = program->AddClass(school, QStringLiteral("Score"), QStringLiteral("成绩"));
        program->AddMember(school, score, QStringLiteral("student"), QStringLiteral("Student"));
        program->AddMember(school, score, QStringLiteral("mark"), MemberType::Float);
        window = std::make_unique<TFormMain>(*user, program->Dir());
    }
    void cleanup()
    {
        window.reset();
        QVERIFY(user->unanswered.isEmpty());
        user.reset();
        program.reset();
    }

    void addRefusals_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("friendName");
        QTest::addColumn<QString>("message");
        QTest::newRow("both empty") << "" << "" << "类名称不能为空!";
        QTest::newRow("path before friendly name") << "../X" << "" << "类名称不能包含路径或特殊字符!";
        QTest::newRow("friendly name before capital") << "teacher" << "" << "友好名称不能为空";
        QTest::newRow("small letter") << "teacher" << "老师" << "类名首个字母必须大写";
        QTest::newRow("digit") << "1Teacher" << "老师" << "类名首个字母必须大写";
        QTest::newRow("underscore") << "_Teacher" << "老师" << "类名首个字母必须大写";
        QTest::newRow("blank") << " Teacher" << "老师" << "类名首个字母必须大写";
        QTest::newRow("chinese") << "老师" << "老师" << "类名首个字母必须大写";
        QTest::newRow("duplicate") << "Student" << "又一个" << "该类名称已经存在!";
        QTest::newRow("blank after the capital") << "My Class" << "类" << "类名称只能由字母、数字和下划线组成!";
        QTest::newRow("reserved word") << "List" << "列表" << "类名称不能是PHP或MySQL的保留字!";
        QTest::newRow("skeleton class") << "FenyePage" << "分页" << "类名称不能与程序框架自带的类重名!";
        QTest::newRow("duplicate but case") << "STUDENT" << "又一个" << "该类名称已经存在(不区分大小写)!";
        QTest::newRow("emoji in the friendly name") << "Teacher" << "老师😀" << "友好名称不能含有控制字符或表情符号等字符(建表脚本的表是utf8字符集，不能保存)!";
    }
    void addRefusals()
    {
        QFETCH(QString, className);
        QFETCH(QString, friendName);
        QFETCH(QString, message);
        const QStringList before = classesInDatabase(school);
        const TOutcome outcome = press<TAddClassForm>("A2", className, friendName);
        QCOMPARE(outcome.messages, QStringList{message});
        QVERIFY(outcome.stayedOpen);
        QCOMPARE(outcome.classNameAfter, className);
        QCOMPARE(outcome.friendNameAfter, friendName);
        QCOMPARE(classesInDatabase(school), before);
    }

    void addAccepts_data()
    {
        QTest::addColumn<QString>("className");
        QTest::newRow("single capital") << "T";
        QTest::newRow("letters, digits and _ after the capital") << "T1_老师";
        QTest::newRow("name of a class of another project") << "Teacher";
    }
    void addAccepts()
    {
        QFETCH(QString, className);
        program->AddClass(other, QStringLiteral("Teacher"));
        TMainFormProbe probe{window.get()};
        probe.selectClass(1);
        const TOutcome outcome = press<TAddClassForm>("A2", className, QStringLiteral("老师"));
        QCOMPARE(outcome.messages, QStringList{"类名称添加成功！"});
        QVERIFY(!outcome.stayedOpen);
        QCOMPARE(classesInDatabase(school),
                 QStringList({"Student/学生", "Score/成绩", className + QStringLiteral("/老师")}));
        // The list is rebuilt with the new class selected and its (no) members shown.
        QCOMPARE(probe.classNames(), QStringList({"Student", "Score", className}));
        QCOMPARE(probe.selectedClass(), className);
        QVERIFY(probe.memberNames().isEmpty());
    }

    void updateShowsTheSelectedClass()
    {
        TMainFormProbe probe{window.get()};
        probe.selectClass(1);
        // The list entry is what the dialog offers, the friendly name comes from the database.
        probe.classes()->item(1)->setData(Qt::UserRole + 1, QStringLiteral("ScoreAsListed"));
        QString shownClass, shownFriend, caption;
        DriveDialog<TUpdateClassForm>([&] { Trigger(window.get(), "N2"); }, [&](TUpdateClassForm &d) {
            shownClass = Find<QLineEdit>(&d, "Edt_ClassName")->text();
            shownFriend = Find<QLineEdit>(&d, "Edt_FriendName")->text();
            caption = d.windowTitle();
        });
        QCOMPARE(shownClass, QStringLiteral("ScoreAsListed"));
        QCOMPARE(shownFriend, QStringLiteral("成绩"));
        QCOMPARE(caption, QStringLiteral("类更新"));
        QVERIFY(user->shown.isEmpty());
    }

    // The composite-key mark is shown as stored and stored as ticked, with the names.
    void updateSetsTheCompositeKeyMark()
    {
        TMainFormProbe probe{window.get()};
        probe.selectClass(1);
        for (const bool mark : {true, false}) {
            bool shown = !mark;
            DriveDialog<TUpdateClassForm>([&] { Trigger(window.get(), "N2"); }, [&](TUpdateClassForm &d) {
                shown = Find<QCheckBox>(&d, "Chk_CompositeKey")->isChecked();
                Find<QCheckBox>(&d, "Chk_CompositeKey")->setChecked(mark);
                Find<QPushButton>(&d, "Button1")->click();
            });
            QCOMPARE(shown, !mark);
            QCOMPARE(TClassDAO().GetCompositeKey(score), mark);
        }
        QCOMPARE(user->takeTexts(), QStringList({"类名称更新成功", "类名称更新成功"}));
    }

    void updateRefusals_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("friendName");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "" << "" << "类名称不能为空";
        QTest::newRow("path") << "A/B" << "" << "类名称不能包含路径或特殊字符!";
        QTest::newRow("capital before friendly name") << "score" << "" << "类名首个字母必须大写";
        QTest::newRow("friendly name") << "Score" << "" << "友好名称不能为空";
        QTest::newRow("reserved word") << "Select" << "选" << "类名称不能是PHP或MySQL的保留字!";
        QTest::newRow("name of the other class") << "STUDENT" << "学生" << "该类名称已经存在(不区分大小写)!";
    }
    void updateRefusals()
    {
        QFETCH(QString, className);
        QFETCH(QString, friendName);
        QFETCH(QString, message);
        TMainFormProbe probe{window.get()};
        probe.selectClass(1);
        const TOutcome outcome = press<TUpdateClassForm>("N2", className, friendName);
        QCOMPARE(outcome.messages, QStringList{message});
        QVERIFY(outcome.stayedOpen);
        QCOMPARE(outcome.classNameAfter, className);
        QCOMPARE(classesInDatabase(school), QStringList({"Student/学生", "Score/成绩"}));
        QCOMPARE(probe.classNames(), QStringList({"Student", "Score"}));
    }

    void updateRenamesInPlaceAndRewritesReferences()
    {
        TMainFormProbe probe{window.get()};
        QCOMPARE(probe.selectedClass(), QStringLiteral("Student"));
        const QStringList rowsBefore = probe.memberRows();
        const TOutcome outcome = press<TUpdateClassForm>("N2", QStringLiteral("Pupil"), QStringLiteral("小学生"));
        QCOMPARE(outcome.messages, QStringList{"类名称更新成功"});
        QVERIFY(!outcome.stayedOpen);
        QCOMPARE(classesInDatabase(school), QStringList({"Pupil/小学生", "Score/成绩"}));
        QCOMPARE(probe.classNames(), QStringList({"Pupil", "Score"}));
        QCOMPARE(probe.selectedClass(), QStringLiteral("Pupil"));
        QCOMPARE(probe.memberRows(), rowsBefore);
        // The member of Score that referred to Student now refers to Pupil.
        QCOMPARE(TMemberDAO().GetMembers(score).first().memberType(), QStringLiteral("Pupil"));

        // A rename to the name of another class of the project, in any case, is refused.
        for (const char *taken : {"Score", "SCORE"}) {
            const TOutcome again = press<TUpdateClassForm>("N2", QString::fromUtf8(taken), QStringLiteral("重名"));
            QCOMPARE(again.messages, QStringList{qstrcmp(taken, "Score") == 0 ? "该类名称已经存在!" : "该类名称已经存在(不区分大小写)!"});
            QCOMPARE(classesInDatabase(school), QStringList({"Pupil/小学生", "Score/成绩"}));
        }
    }

    void leavingSavesNothing()
    {
        // The close box, Escape, and 取消.
        const std::function<void(QDialog &)> leave[] = {
            [](QDialog &) {},
            [](QDialog &d) { QTest::keyClick(Find<QLineEdit>(&d, "Edt_FriendName"), Qt::Key_Escape); },
            [](QDialog &d) { Find<QPushButton>(&d, "Button2")->click(); },
        };
        for (const char *command : {"A2", "N2", "Copy1"}) {
            for (const auto &how : leave) {
                const int shown = DriveDialog<QDialog>([&] { Trigger(window.get(), command); }, [&](QDialog &d) {
                    Find<QLineEdit>(&d, "Edt_ClassName")->setText(QStringLiteral("Teacher"));
                    Find<QLineEdit>(&d, "Edt_FriendName")->setText(QStringLiteral("老师"));
                    how(d);
                });
                QCOMPARE(shown, 1);
            }
        }
        QVERIFY(user->shown.isEmpty());
        QCOMPARE(classesInDatabase(school), QStringList({"Student/学生", "Score/成绩"}));
        QCOMPARE(TMainFormProbe{window.get()}.classNames(), QStringList({"Student", "Score"}));
    }

    // The index list of Score (members student, mark): one row entered, then 确定.
    void indexesAreEditedPerClass_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("members");
        QTest::addColumn<bool>("unique");
        QTest::addColumn<QString>("message"); // the refusal; empty: saved
        QTest::newRow("unique, two members in order") << "uq_mark" << "mark, student" << true << "";
        QTest::newRow("plain, full-width comma") << "ix_student" << "student，mark" << false << "";
        QTest::newRow("name not a SQL name") << "1x" << "mark" << false
            << "索引名称“1x”不合法：只能由字母、数字和下划线组成，以字母开头，不超过64个字符!";
        QTest::newRow("name of an existing index, another case") << "UQ_OLD" << "mark" << false << "索引名称“UQ_OLD”重复了!";
        QTest::newRow("not a member") << "ix" << "mark, grade" << false << "索引“ix”中的“grade”不是本类的成员!";
        QTest::newRow("member twice") << "ix" << "mark mark" << false << "索引“ix”中的成员“mark”重复了!";
        QTest::newRow("no members") << "ix" << " , " << false << "索引“ix”至少需要一个成员!";
    }
    void indexesAreEditedPerClass()
    {
        QFETCH(QString, name);
        QFETCH(QString, members);
        QFETCH(bool, unique);
        QFETCH(QString, message);
        const TClassIndexes before{{QStringLiteral("uq_old"), {QStringLiteral("student")}, 1}};
        TIndexDAO().SetIndexes(school, score, before);
        TMainFormProbe{window.get()}.selectClass(1);
        QCOMPARE(DriveDialog<QDialog>([&] { Trigger(window.get(), "Index1"); }, [&](QDialog &d) {
                     Find<QPushButton>(&d, "Btn_AddIndex")->click();
                     QTableWidget *grid = Find<QTableWidget>(&d, "Grid_Indexes");
                     QCOMPARE(grid->rowCount(), 2);
                     grid->item(1, 0)->setText(name);
                     grid->item(1, 1)->setText(members);
                     grid->item(1, 2)->setCheckState(unique ? Qt::Checked : Qt::Unchecked);
                     Find<QPushButton>(&d, "Button1")->click();
                     QCOMPARE(d.isVisible(), !message.isEmpty());
                     if (d.isVisible())
                         d.reject();
                 }),
                 1);
        if (!message.isEmpty()) {
            QCOMPARE(user->takeTexts(), QStringList{message});
            QCOMPARE(TIndexDAO().GetIndexes(score), before);
            return;
        }
        QCOMPARE(user->takeTexts(), QStringList{"索引保存成功!"});
        TClassIndexes after = before;
        after.append({name, members.split(QRegularExpression(QStringLiteral("[,，\\s]+")), Qt::SkipEmptyParts), unique ? 1 : 0});
        QCOMPARE(TIndexDAO().GetIndexes(score), after);
    }

    void enterSavesAndCopyTakesEveryMember()
    {
        // Enter in a field presses 确定; a copy gets the source's members, in their order, and its
        // composite-key mark.
        TClassDAO().SetCompositeKey(score, true);
        TMainFormProbe probe{window.get()};
        probe.selectClass(1);
        const QStringList source = probe.memberNames();
        QCOMPARE(source, QStringList({"student", "mark"}));
        QCOMPARE(DriveDialog<QDialog>([&] { Trigger(window.get(), "Copy1"); }, [&](QDialog &d) {
                     QCOMPARE(d.windowTitle(), QStringLiteral("复制类"));
                     Find<QLineEdit>(&d, "Edt_ClassName")->setText(QStringLiteral("Pupil"));
                     Find<QLineEdit>(&d, "Edt_FriendName")->setText(QStringLiteral("小学生"));
                     QTest::keyClick(Find<QLineEdit>(&d, "Edt_FriendName"), Qt::Key_Return);
                     QVERIFY(!d.isVisible());
                 }),
                 1);
        QCOMPARE(user->takeTexts(), QStringList{"类复制成功!"});
        QCOMPARE(probe.selectedClass(), QStringLiteral("Pupil"));
        QCOMPARE(probe.memberNames(), source);
        QVERIFY(TClassDAO().GetCompositeKey(TClassDAO().GetClassId(school, QStringLiteral("Pupil"))));
        TClassDAO().SetCompositeKey(score, false);
        QCOMPARE(classesInDatabase(school), QStringList({"Student/学生", "Score/成绩", "Pupil/小学生"}));
        // The same rules as adding: a taken name is refused and nothing is copied.
        probe.selectClass(1);
        QCOMPARE(DriveDialog<QDialog>([&] { Trigger(window.get(), "Copy1"); }, [&](QDialog &d) {
                     Find<QLineEdit>(&d, "Edt_ClassName")->setText(QStringLiteral("Score"));
                     Find<QPushButton>(&d, "Button1")->click();
                     QVERIFY(d.isVisible());
                 }),
                 1);
        QCOMPARE(user->takeTexts(), QStringList{"该类名称已经存在!"});
        QCOMPARE(TMemberDAO().GetProjectMembers(school).size(), 5);
    }
};

QTEST_MAIN(TestClassForms)
#include "tst_classforms.moc"
