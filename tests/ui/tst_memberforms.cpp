// The add-member dialog: type choices, the rules in order, and the member it stores.
#include "MemberFormFixture.h"

#include <QPlainTextEdit>

class TestMemberForms : public QObject, private TMemberFormFixture {
    Q_OBJECT

private slots:
    void init() { TMemberFormFixture::init(); }
    void cleanup() { TMemberFormFixture::cleanup(); }

    void addDialogStartsEmpty()
    {
        QStringList types;
        QString caption, name, length, type, lengthHint;
        bool queryDisplay = false, anyOtherTicked = true;
        DriveDialog<TAddMemberForm>([&] { Trigger(window.get(), "M1"); }, [&](TAddMemberForm &d) {
            caption = d.windowTitle();
            QComboBox *box = Find<QComboBox>(&d, "CB_MemberType");
            for (int i = 0; i < box->count(); ++i)
                types.append(box->itemText(i));
            type = box->currentText();
            name = Find<QLineEdit>(&d, "Edt_MemberName")->text();
            length = Find<QLineEdit>(&d, "Edt_MemberLength")->text();
            lengthHint = Find<QLineEdit>(&d, "Edt_MemberLength")->toolTip();
            queryDisplay = Find<QCheckBox>(&d, "CB_MemberQueryDisplay")->isChecked();
            anyOtherTicked = false;
            for (const char *box : {"CB_MemberIsMust", "CB_QueryFlag", "CB_MemberIsPri", "CB_MemberIsDisplay"})
                anyOtherTicked |= Find<QCheckBox>(&d, box)->isChecked();
        });
        QCOMPARE(caption, QStringLiteral("添加成员属性"));
        // The built-in types, then the other classes of the project, never the class itself.
        QCOMPARE(types, QStringList({"字符串", "整型", "浮点型", "日期型", "图片型", "长整型", "定点数", "日期时间型", "时间型", "长文本", "是否型", "枚举型", "二进制型", "文件型", "Student", "Teacher"}));
        QCOMPARE(type, QStringLiteral("字符串"));
        QCOMPARE(name, QString());
        QCOMPARE(length, QStringLiteral("50"));
        QVERIFY2(lengthHint.contains(QStringLiteral("21844")), qPrintable(lengthHint));
        QVERIFY(queryDisplay);
        QVERIFY(!anyOtherTicked);
        QVERIFY(user->shown.isEmpty());
    }

    void rules_data()
    {
        QTest::addColumn<bool>("update");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("must");
        QTest::addColumn<bool>("key");
        QTest::addColumn<bool>("query");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("message"); // empty: accepted
        for (const bool update : {false, true}) {
            const auto row = [&](const char *tag) -> QTestData & {
                return QTest::addRow("%s %s", update ? "update" : "add", tag) << update;
            };
            const QString saved = update ? QStringLiteral("类成员属性更新成功!") : QStringLiteral("类成员属性添加成功!");
            row("empty name") << "" << "整型" << false << true << true << "x" << "成员名称输入不能为空!";
            row("digit") << "1a" << "字符串" << true << false << false << "20" << "成员属性首个字母必须小写";
            row("underscore") << "_a" << "字符串" << true << false << false << "20" << "成员属性首个字母必须小写";
            row("capital") << "Name" << "字符串" << true << false << false << "20" << "成员属性首个字母必须小写";
            row("blank") << " a" << "字符串" << true << false << false << "20" << "成员属性首个字母必须小写";
            row("chinese") << "名字" << "字符串" << true << false << false << "20" << "成员属性首个字母必须小写";
            row("blank after first letter") << "a b" << "字符串" << true << false << false << "20" << "成员名称只能由字母、数字和下划线组成!";
            row("quote") << "it's" << "字符串" << true << false << false << "20" << "成员名称只能由字母、数字和下划线组成!";
            row("this") << "this" << "字符串" << true << false << false << "20" << "成员名称不能是this或MySQL的保留字!";
            row("MySQL word") << "order" << "字符串" << true << false << false << "20" << "成员名称不能是this或MySQL的保留字!";
            row("PHP word") << "class" << "字符串" << true << false << false << "20" << saved;
            // Adding "mark" again is refused; the update changes "mark" itself and keeps its name.
            row("name of a member, another case") << "mArk" << "字符串" << true << false << false << "20"
                                                   << (update ? saved : QStringLiteral("该成员名称已经存在!"));
            row("length above utf8 varchar") << "a" << "字符串" << true << false << false << "21845" << "长度不能超过21844!";
            row("longest text") << "a" << "字符串" << true << false << false << "21844" << saved;
            row("text key too long") << "a" << "字符串" << true << true << false << "1025" << "主键字段的长度不能超过1024!";
            row("date not required") << "a" << "日期型" << false << false << false << "20" << "日期型必须勾选是否必填标志!";
            row("integer not required") << "a" << "整型" << false << false << false << "20" << "整型必须勾选是否必填标志!";
            row("reference not required") << "a" << "Student" << false << false << false << "20" << "Student必须勾选是否必填标志!";
            row("text not required") << "a" << "字符串" << false << false << false << "20" << saved;
            row("picture not required") << "a" << "图片型" << false << false << false << "20" << saved;
            for (const char *type : {"浮点型", "日期型", "图片型", "Student"}) {
                row(qPrintable(QStringLiteral("key of type ") + QString::fromUtf8(type)))
                    << "a" << type << true << true << false << "20"
                    << (update ? saved : QStringLiteral("主键字段必须是整型或字符串型!"));
            }
            row("integer key") << "a" << "整型" << true << true << false << "x" << saved;
            for (const char *type : {"整型", "浮点型", "图片型"}) {
                row(qPrintable(QStringLiteral("search on ") + QString::fromUtf8(type)))
                    << "a" << type << true << false << true << "20"
                    << QStringLiteral("参与查询的字段不能是") + QString::fromUtf8(type);
            }
            for (const char *type : {"字符串", "日期型", "Student"})
                row(qPrintable(QStringLiteral("search on ") + QString::fromUtf8(type)))
                    << "a" << type << true << false << true << "20" << saved;
            row("required before search") << "a" << "浮点型" << false << false << true << "20" << "浮点型必须勾选是否必填标志!";
            row("key type before search") << "a" << "浮点型" << true << true << true << "20"
                                          << (update ? "参与查询的字段不能是浮点型" : "主键字段必须是整型或字符串型!");
            for (const char *length : {"", "abc", "0", "-5", "1.5", "99999999999"})
                row(qPrintable(QStringLiteral("text length '%1'").arg(QString::fromUtf8(length))))
                    << "a" << "字符串" << true << false << false << length << "长度必须是大于0的整数!";
            row("search before length") << "a" << "图片型" << true << false << true << "abc" << "参与查询的字段不能是图片型";
            row("length of an integer is not read") << "a" << "整型" << true << false << false << "abc" << saved;
        }
    }
    // In a class marked as keyed by several members, a reference may be one of the keys.
    void referenceKeyInCompositeKey()
    {
        TClassDAO().SetCompositeKey(score, true);
        const TOutcome outcome = press(false, {QStringLiteral("a"), QStringLiteral("Student"), true, true, false, QStringLiteral("20")});
        QCOMPARE(outcome.messages, QStringList{QStringLiteral("类成员属性添加成功!")});
        QCOMPARE(TMemberDAO().GetMembers(score).last().memberIsPri(), 1);
    }

    void rules()
    {
        QFETCH(bool, update);
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(bool, must);
        QFETCH(bool, key);
        QFETCH(bool, query);
        QFETCH(QString, length);
        QFETCH(QString, message);
        const QStringList before = membersOfScore();
        const TOutcome outcome = press(update, {name, type, must, key, query, length});
        QCOMPARE(outcome.messages, QStringList{message});
        const bool accepted = message.startsWith(QStringLiteral("类成员属性"));
        QCOMPARE(outcome.stayedOpen, !accepted);
        if (!accepted) {
            QCOMPARE(membersOfScore(), before);
            if (message == QStringLiteral("成员名称输入不能为空!"))
                QCOMPARE(outcome.focusName, QStringLiteral("Edt_MemberName"));
            return;
        }
        const QList<TMember> members = TMemberDAO().GetMembers(score);
        QCOMPARE(members.size(), update ? 1 : 2);
        const TMember &saved = members.last();
        QCOMPARE(saved.memberName(), name);
        QCOMPARE(saved.memberType(), type);
        QCOMPARE(saved.memberIsMust(), must ? 1 : 0);
        QCOMPARE(saved.memberIsPri(), key ? 1 : 0);
        QCOMPARE(saved.queryFlag(), query ? 1 : 0);
        QCOMPARE(saved.memberLength(), type == MemberType::Text ? length.toInt() : 0);
        QCOMPARE(saved.memberIsInteger(), type == MemberType::Integer ? 1 : 0);
        QCOMPARE(saved.memberIsFloat(), type == MemberType::Float ? 1 : 0);
        QCOMPARE(saved.projectId(), school);
        QCOMPARE(saved.classId(), score);
        // The member table shows the class as saved, a new member selected.
        QCOMPARE(TMainFormProbe{window.get()}.memberNames().size(), members.size());
        if (!update)
            QCOMPARE(window->Members().SelectedMemberId(), saved.memberId());
    }

    // What a type allows shows in the dialog; a box a type held gets the user's tick back when
    // another type sets it free; and 确定 then saves with no rule left to break.
    void typeDecidesTheFields_data()
    {
        QTest::addColumn<bool>("update");
        QTest::addColumn<QString>("type");
        // Length, then 必填, 主键, 查询: L/- the length box on or off; x/o a free box ticked or
        // not; F/- a box held ticked or held clear.
        QTest::addColumn<QString>("fields");
        QTest::newRow("add text") << false << "字符串" << "L o x x";
        QTest::newRow("add integer") << false << "整型" << "- F x -";
        QTest::newRow("add float") << false << "浮点型" << "- F - -";
        QTest::newRow("add date") << false << "日期型" << "- F - x";
        QTest::newRow("add picture") << false << "图片型" << "- o - -";
        QTest::newRow("add reference") << false << "Student" << "- F - x";
        // The update dialog keeps a key of any type.
        QTest::newRow("update float") << true << "浮点型" << "- F x -";
        QTest::newRow("update reference") << true << "Student" << "- F x x";
    }
    void typeDecidesTheFields()
    {
        QFETCH(bool, update);
        QFETCH(QString, type);
        QFETCH(QString, fields);
        const auto box = [](QDialog &d, const char *name) {
            const QCheckBox *b = Find<QCheckBox>(&d, name);
            if (!b->isEnabled())
                return QString(b->isChecked() ? "F" : "-");
            return QString(b->isChecked() ? "x" : "o");
        };
        const auto shown = [&](QDialog &d) {
            return QStringList({Find<QLineEdit>(&d, "Edt_MemberLength")->isEnabled() ? "L" : "-",
                                box(d, "CB_MemberIsMust"), box(d, "CB_MemberIsPri"), box(d, "CB_QueryFlag")})
                .join(QLatin1Char(' '));
        };
        QString asTyped, backToText, textLength;
        const auto drive = [&](QDialog &d) {
            QComboBox *types = Find<QComboBox>(&d, "CB_MemberType");
            const auto choose = [&](const QString &t) { types->setCurrentIndex(types->findText(t)); };
            Find<QLineEdit>(&d, "Edt_MemberName")->setText(QStringLiteral("a"));
            choose(MemberType::Text);
            Find<QCheckBox>(&d, "CB_MemberIsMust")->setChecked(false);
            Find<QCheckBox>(&d, "CB_MemberIsPri")->setChecked(true);
            Find<QCheckBox>(&d, "CB_QueryFlag")->setChecked(true);
            choose(type);
            asTyped = shown(d);
            choose(MemberType::Text);
            backToText = shown(d);
            textLength = Find<QLineEdit>(&d, "Edt_MemberLength")->text();
            choose(type);
            Find<QPushButton>(&d, "Button1")->click();
        };
        if (update) {
            TMainFormProbe{window.get()}.selectMember(0);
            QCOMPARE(DriveDialog<TUpdateMemberForm>([&] { Trigger(window.get(), "N3"); }, drive), 1);
        } else {
            QCOMPARE(DriveDialog<TAddMemberForm>([&] { Trigger(window.get(), "M1"); }, drive), 1);
        }
        QCOMPARE(asTyped, fields);
        QCOMPARE(backToText, QStringLiteral("L o x x"));
        QCOMPARE(textLength, QStringLiteral("50"));
        QCOMPARE(user->takeTexts().size(), 1); // the success, no refusal
        const TMember saved = TMemberDAO().GetMembers(score).last();
        const QStringList flags = fields.split(QLatin1Char(' '));
        QCOMPARE(saved.memberType(), type);
        QCOMPARE(saved.memberLength(), type == MemberType::Text ? 50 : 0);
        QCOMPARE(saved.memberIsMust(), flags.at(1) == QLatin1String("F") ? 1 : 0);
        QCOMPARE(saved.memberIsPri(), flags.at(2) == QLatin1String("x") ? 1 : 0);
        QCOMPARE(saved.queryFlag(), flags.at(3) == QLatin1String("x") ? 1 : 0);
    }

    void addStoresEveryField()
    {
        const auto add = [&](const std::function<void(QDialog &)> &setUp) {
            DriveDialog<TAddMemberForm>([&] { Trigger(window.get(), "M1"); }, [&](TAddMemberForm &d) {
                setUp(d);
                Find<QPushButton>(&d, "Button1")->click();
            });
        };
        add([](QDialog &d) {
            apply(d, {QStringLiteral("id"), QStringLiteral("整型"), true, true, false, QStringLiteral("7")});
            Find<QCheckBox>(&d, "CB_MemberIsDisplay")->setChecked(true);
            Find<QLineEdit>(&d, "Edt_MemberComment")->setText(QStringLiteral("编号 'x'"));
        });
        add([](QDialog &d) {
            apply(d, {QStringLiteral("price"), QStringLiteral("浮点型"), true});
            Find<QCheckBox>(&d, "CB_MemberQueryDisplay")->setChecked(false);
        });
        add([](QDialog &d) { apply(d, {QStringLiteral("title"), QStringLiteral("字符串"), false, false, true, QStringLiteral(" 50 ")}); });
        QCOMPARE(user->takeTexts(), QStringList(3, QStringLiteral("类成员属性添加成功!")));
        QCOMPARE(membersOfScore(), QStringList({
            "mark 浮点型 len=0 pri=0 must=1 int=0 float=1 query=0 display=0 qd=1 []",
            "id 整型 len=0 pri=1 must=1 int=1 float=0 query=0 display=1 qd=1 [编号 'x']",
            "price 浮点型 len=0 pri=0 must=1 int=0 float=1 query=0 display=0 qd=0 []",
            "title 字符串 len=50 pri=0 must=0 int=0 float=0 query=1 display=0 qd=1 []",
        }));
        QCOMPARE(TMainFormProbe{window.get()}.memberRows(), QStringList({
            "mark|浮点型|0|否|是|否|否|是|",
            "id|整型|0|是|是|否|是|是|编号 'x'",
            "price|浮点型|0|否|是|否|否|否|",
            "title|字符串|50|否|否|是|否|是|",
        }));
    }

    // Which of the type's own fields each type enables: length, 小数位, 无符号, values, rules.
    void typeFieldsFollowTheType()
    {
        QStringList seen;
        DriveDialog<TAddMemberForm>([&] { Trigger(window.get(), "M1"); }, [&](TAddMemberForm &d) {
            QComboBox *types = Find<QComboBox>(&d, "CB_MemberType");
            for (const char *type : {"字符串", "整型", "长整型", "定点数", "长文本", "枚举型", "是否型", "Student"}) {
                types->setCurrentText(QString::fromUtf8(type));
                QString flags;
                for (const char *field : {"Edt_MemberLength", "Edt_MemberScale", "CB_MemberIsUnsigned",
                                          "Edt_EnumValues", "CB_OnDelete"})
                    flags += Find<QWidget>(&d, field)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
                seen << QString::fromUtf8(type) + QLatin1Char(' ') + flags;
            }
            // SET NULL only with 允许空; the key is never nullable.
            const auto rules = [&] {
                QStringList all;
                QComboBox *box = Find<QComboBox>(&d, "CB_OnDelete");
                for (int i = 0; i < box->count(); ++i)
                    all << box->itemText(i);
                return all.join(QLatin1Char('/'));
            };
            seen << rules();
            Find<QCheckBox>(&d, "CB_MemberIsNullable")->setChecked(true);
            seen << rules();
            Find<QCheckBox>(&d, "CB_MemberIsPri")->setChecked(true);
            seen << rules() + QStringLiteral(" nullable ") + QString::number(Find<QWidget>(&d, "CB_MemberIsNullable")->isEnabled());
            Find<QPushButton>(&d, "Button2")->click();
        });
        QCOMPARE(seen, QStringList({"字符串 10000", "整型 00100", "长整型 00100", "定点数 11000", "长文本 10000",
                                    "枚举型 00010", "是否型 00000", "Student 00001", "RESTRICT/CASCADE/NO ACTION",
                                    "RESTRICT/CASCADE/SET NULL/NO ACTION", "RESTRICT/CASCADE/NO ACTION nullable 0"}));
    }

    void typeFieldsAreCheckedAndSaved_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("must");
        QTest::addColumn<bool>("key");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("scale");
        QTest::addColumn<bool>("unsignedTicked");
        QTest::addColumn<bool>("nullable");
        QTest::addColumn<QString>("values");
        QTest::addColumn<QString>("onDelete");
        QTest::addColumn<QString>("outcome"); // the message, or the member's type fields as saved
        const auto row = [](const char *tag) -> QTestData & { return QTest::newRow(tag); };
        row("decimal") << "定点数" << true << false << "10" << "2" << false << false << "" << "" << "len=10 scale=2 unsigned=0 null=0 [] RESTRICT";
        row("scale above precision") << "定点数" << true << false << "5" << "6" << false << false << "" << "" << "小数位必须是0到长度(5)之间的整数!";
        row("precision above 65") << "定点数" << true << false << "66" << "0" << false << false << "" << "" << "定点数的长度(总位数)必须是1到65之间的整数!";
        row("nullable unsigned bigint, not required") << "长整型" << false << false << "" << "" << true << true << "" << "" << "len=0 scale=0 unsigned=1 null=1 [] RESTRICT";
        row("not nullable, not required") << "日期时间型" << false << false << "" << "" << false << false << "" << "" << "日期时间型必须勾选是否必填标志!";
        row("unsigned not read for a float") << "浮点型" << true << false << "" << "" << true << false << "" << "" << "len=0 scale=0 unsigned=0 null=0 [] RESTRICT";
        row("key never nullable") << "整型" << true << true << "" << "" << false << true << "" << "" << "len=0 scale=0 unsigned=0 null=0 [] RESTRICT";
        row("long text without limit") << "长文本" << false << false << "0" << "" << false << false << "" << "" << "len=0 scale=0 unsigned=0 null=0 [] RESTRICT";
        row("long text, negative") << "长文本" << false << false << "-1" << "" << false << false << "" << "" << "长文本的长度必须是不小于0的整数(0为不限)!";
        row("yes/no, not required") << "是否型" << false << false << "" << "" << false << false << "" << "" << "len=0 scale=0 unsigned=0 null=0 [] RESTRICT";
        row("enum values") << "枚举型" << true << false << "" << "" << false << false << "new\n\nsold it" << "" << "len=0 scale=0 unsigned=0 null=0 [new|sold it] RESTRICT";
        row("enum without values") << "枚举型" << true << false << "" << "" << false << false << " \n" << "" << "枚举型至少需要一个值!";
        row("enum values alike but for case") << "枚举型" << true << false << "" << "" << false << false << "a\nA" << "" << "枚举值“A”重复了!";
        row("nullable reference set null") << "Student" << false << false << "" << "" << false << true << "" << "SET NULL" << "len=0 scale=0 unsigned=0 null=1 [] SET NULL";
        row("reference cascade") << "Student" << true << false << "" << "" << false << false << "" << "CASCADE" << "len=0 scale=0 unsigned=0 null=0 [] CASCADE";
    }
    void typeFieldsAreCheckedAndSaved()
    {
        QFETCH(QString, type);
        QFETCH(bool, must);
        QFETCH(bool, key);
        QFETCH(QString, length);
        QFETCH(QString, scale);
        QFETCH(bool, unsignedTicked);
        QFETCH(bool, nullable);
        QFETCH(QString, values);
        QFETCH(QString, onDelete);
        QFETCH(QString, outcome);
        QString after;
        DriveDialog<TAddMemberForm>([&] { Trigger(window.get(), "M1"); }, [&](TAddMemberForm &d) {
            apply(d, {QStringLiteral("a"), type, must, key, false, length});
            Find<QLineEdit>(&d, "Edt_MemberScale")->setText(scale);
            Find<QCheckBox>(&d, "CB_MemberIsUnsigned")->setChecked(unsignedTicked);
            Find<QCheckBox>(&d, "CB_MemberIsNullable")->setChecked(nullable);
            Find<QPlainTextEdit>(&d, "Edt_EnumValues")->setPlainText(values);
            if (!onDelete.isEmpty())
                Find<QComboBox>(&d, "CB_OnDelete")->setCurrentText(onDelete);
            Find<QPushButton>(&d, "Button1")->click();
            if (d.isVisible())
                d.reject();
        });
        const QStringList messages = user->takeTexts();
        if (messages != QStringList{QStringLiteral("类成员属性添加成功!")}) {
            QCOMPARE(messages, QStringList{outcome});
            QCOMPARE(TMemberDAO().GetMembers(score).size(), 1);
            return;
        }
        const TMember m = TMemberDAO().GetMembers(score).last();
        QCOMPARE(QStringLiteral("len=%1 scale=%2 unsigned=%3 null=%4 [%5] %6")
                     .arg(m.memberLength()).arg(m.memberScale()).arg(m.memberIsUnsigned())
                     .arg(m.memberIsNullable()).arg(m.memberEnumValues().join(QLatin1Char('|')), m.memberOnDelete()),
                 outcome);
    }
};

QTEST_MAIN(TestMemberForms)
#include "tst_memberforms.moc"
