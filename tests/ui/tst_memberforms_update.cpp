// The update-member dialog: what it shows, what it changes, and the keys and tab order of both
// member dialogs.
#include "MemberFormFixture.h"

class TestMemberFormsUpdate : public QObject, private TMemberFormFixture {
    Q_OBJECT

private slots:
    void init() { TMemberFormFixture::init(); }
    void cleanup() { TMemberFormFixture::cleanup(); }

    void updateDialogShowsTheMember()
    {
        TMember m;
        m.setProjectId(school);
        m.setClassId(score);
        m.setMemberName(QStringLiteral("title"));
        m.setMemberType(QStringLiteral("Teacher"));
        m.setMemberIsMust(1);
        m.setQueryFlag(1);
        m.setMemberIsDisplay(1);
        m.setMemberQueryDisplay(0);
        m.setMemberComment(QStringLiteral("说明"));
        TMemberDAO().AddMember(m);
        window->Members().LoadMembers(score);
        TMainFormProbe{window.get()}.selectMember(1);

        QStringList state;
        DriveDialog<TUpdateMemberForm>([&] { Trigger(window.get(), "N3"); }, [&](TUpdateMemberForm &d) {
            state << d.windowTitle() << Find<QLineEdit>(&d, "Edt_MemberName")->text()
                  << Find<QComboBox>(&d, "CB_MemberType")->currentText()
                  << Find<QLineEdit>(&d, "Edt_MemberLength")->text()
                  << Find<QLineEdit>(&d, "Edt_MemberComment")->text();
            for (const char *box : {"CB_MemberIsMust", "CB_QueryFlag", "CB_MemberIsPri", "CB_MemberIsDisplay",
                                    "CB_MemberQueryDisplay"})
                state << QString::number(Find<QCheckBox>(&d, box)->isChecked());
        });
        QCOMPARE(state, QStringList({"更新成员属性", "title", "Teacher", "0", "说明", "1", "1", "0", "1", "0"}));
    }

    void updateFromTextToInteger()
    {
        const int title = program->AddMember(school, score, QStringLiteral("title"), MemberType::Text);
        TMember m = *TMemberDAO().GetMember(title);
        m.setMemberLength(50);
        TMemberDAO().UpdateMember(m);
        window->Members().LoadMembers(score);
        TMainFormProbe{window.get()}.selectMember(1);
        DriveDialog<TUpdateMemberForm>([&] { Trigger(window.get(), "N3"); }, [&](TUpdateMemberForm &d) {
            QCOMPARE(Find<QLineEdit>(&d, "Edt_MemberLength")->text(), QStringLiteral("50"));
            QComboBox *types = Find<QComboBox>(&d, "CB_MemberType");
            types->setCurrentIndex(types->findText(QStringLiteral("整型")));
            Find<QPushButton>(&d, "Button1")->click();
        });
        QCOMPARE(user->takeTexts(), QStringList{"类成员属性更新成功!"});
        QCOMPARE(describe(*TMemberDAO().GetMember(title)),
                 QStringLiteral("title 整型 len=0 pri=0 must=1 int=1 float=0 query=0 display=0 qd=1 []"));
        QCOMPARE(TMainFormProbe{window.get()}.memberRows().at(1), QStringLiteral("title|整型|0|否|是|否|否|是|"));
    }

    void updateOfAMemberOfADeletedClassType()
    {
        TMember m = *TMemberDAO().GetMember(markId);
        m.setMemberType(QStringLiteral("Ghost"));
        TMemberDAO().UpdateMember(m);
        window->Members().LoadMembers(score);
        TMainFormProbe{window.get()}.selectMember(0);
        QStringList types;
        DriveDialog<TUpdateMemberForm>([&] { Trigger(window.get(), "N3"); }, [&](TUpdateMemberForm &d) {
            QComboBox *box = Find<QComboBox>(&d, "CB_MemberType");
            for (int i = 0; i < box->count(); ++i)
                types.append(box->itemText(i));
            QCOMPARE(box->currentText(), QStringLiteral("Ghost"));
            Find<QLineEdit>(&d, "Edt_MemberComment")->setText(QStringLiteral("kept"));
            Find<QPushButton>(&d, "Button1")->click();
        });
        QCOMPARE(types, QStringList({"字符串", "整型", "浮点型", "日期型", "图片型", "长整型", "定点数", "日期时间型", "时间型", "长文本", "是否型", "枚举型", "二进制型", "文件型", "Student", "Teacher", "Ghost"}));
        QCOMPARE(user->takeTexts(), QStringList{"类成员属性更新成功!"});
        QCOMPARE(TMemberDAO().GetMember(markId)->memberType(), QStringLiteral("Ghost"));
        QCOMPARE(TMemberDAO().GetMember(markId)->memberComment(), QStringLiteral("kept"));
    }

    void updateOfAMemberThatIsGone()
    {
        TMainFormProbe{window.get()}.selectMember(0);
        TMemberDAO().DeleteMember(markId);
        QCOMPARE(DriveDialog<TUpdateMemberForm>([&] { Trigger(window.get(), "N3"); }, [](TUpdateMemberForm &) {}),
                 0);
        QCOMPARE(user->takeTexts(), QStringList{"该成员不存在!"});
        QVERIFY(TMemberDAO().GetMembers(score).isEmpty());
    }

    void tabFollowsTheLayout_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("add") << "M1";
        QTest::newRow("update a float made text") << "N3";
    }
    void tabFollowsTheLayout()
    {
        QFETCH(QString, command);
        TMainFormProbe{window.get()}.selectMember(0);
        QStringList visited;
        QCOMPARE(DriveDialog<QDialog>([&] { Trigger(window.get(), command.toLatin1().constData()); }, [&](QDialog &d) {
                     // A text member uses every field.
                     QComboBox *types = Find<QComboBox>(&d, "CB_MemberType");
                     types->setCurrentIndex(types->findText(MemberType::Text));
                     // The chain Tab walks: every visible control that takes focus by Tab.
                     QWidget *w = Find<QWidget>(&d, "Edt_MemberName");
                     do {
                         if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&d) && w->isEnabled())
                             visited.append(w->objectName());
                         w = w->nextInFocusChain();
                     } while (w != Find<QWidget>(&d, "Edt_MemberName"));
                 }),
                 1);
        // Top to bottom, left to right; the fields the type does not read are passed over.
        QStringList expected({"Edt_MemberName", "CB_MemberType", "Edt_MemberLength", "CB_MemberIsPri",
                              "CB_MemberIsMust", "CB_QueryFlag", "CB_MemberIsDisplay", "CB_MemberQueryDisplay",
                              "Edt_MemberComment", "CB_MemberIsNullable", "Edt_ColumnName", "Button1", "Button2"});
        QCOMPARE(visited, expected);
        user->takeTexts();
    }

    void enterSaves()
    {
        QCOMPARE(DriveDialog<QDialog>([&] { Trigger(window.get(), "M1"); }, [&](QDialog &d) {
                     apply(d, {QStringLiteral("remark"), QStringLiteral("字符串"), false, false});
                     QTest::keyClick(Find<QLineEdit>(&d, "Edt_MemberComment"), Qt::Key_Return);
                     QVERIFY(!d.isVisible());
                 }),
                 1);
        QCOMPARE(user->takeTexts(), QStringList{"类成员属性添加成功!"});
        QVERIFY(membersOfScore().last().startsWith(QStringLiteral("remark")));
    }

    void leavingSavesNothing()
    {
        const QStringList before = membersOfScore();
        const auto fill = [](QDialog &d) { apply(d, {QStringLiteral("b"), QStringLiteral("整型"), true, true}); };
        for (const char *command : {"M1", "N3"}) {
            TMainFormProbe{window.get()}.selectMember(0);
            // The cancel button, Escape, and the close box.
            QCOMPARE(DriveDialog<QDialog>([&] { Trigger(window.get(), command); }, [&](QDialog &d) {
                         fill(d);
                         Find<QPushButton>(&d, "Button2")->click();
                         QVERIFY(!d.isVisible());
                     }),
                     1);
            QCOMPARE(DriveDialog<QDialog>([&] { Trigger(window.get(), command); }, [&](QDialog &d) {
                         fill(d);
                         QTest::keyClick(Find<QLineEdit>(&d, "Edt_MemberComment"), Qt::Key_Escape);
                         QVERIFY(!d.isVisible());
                     }),
                     1);
            QCOMPARE(DriveDialog<QDialog>([&] { Trigger(window.get(), command); }, fill), 1);
        }
        QVERIFY(user->shown.isEmpty());
        QCOMPARE(membersOfScore(), before);
    }
};

QTEST_MAIN(TestMemberFormsUpdate)
#include "tst_memberforms_update.moc"
