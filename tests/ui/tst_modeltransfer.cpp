// 导出模型…, 导入模型… and 从数据库导入… in the project menu.
#include "MainFormProbe.h"

#include "ui/dialogs/FormImportDatabase.h"

#include <QCheckBox>
#include <QRadioButton>

class TestModelTransfer : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempProgram> program;
    std::unique_ptr<TScriptedInteraction> user;
    std::unique_ptr<TFormMain> window;

private slots:
    void init()
    {
        program = std::make_unique<TTempProgram>();
        user = std::make_unique<TScriptedInteraction>();
        const int school = program->AddProject(QStringLiteral("school"));
        const int grade = program->AddClass(school, QStringLiteral("Grade"), QStringLiteral("年级"));
        program->AddMember(school, grade, QStringLiteral("gradeId"), MemberType::Integer, true);
        program->AddMember(school, grade, QStringLiteral("gradeName"), MemberType::Text, false, true);
        window = std::make_unique<TFormMain>(*user, program->Dir());
    }
    void cleanup()
    {
        window.reset();
        QVERIFY2(user->unanswered.isEmpty(), qPrintable(user->unanswered.join(QLatin1Char(','))));
        user.reset();
        program.reset();
    }

    void importAfterExport_data()
    {
        QTest::addColumn<QByteArray>("damage");  // replaces the first memberIsPri 1 when set
        QTest::addColumn<QStringList>("answers"); // to the name prompt; "-" cancels
        QTest::addColumn<QStringList>("projects");
        QTest::addColumn<QString>("says");
        QTest::newRow("another name") << QByteArray() << QStringList{QStringLiteral("副本")}
                                      << QStringList{QStringLiteral("school"), QStringLiteral("副本")}
                                      << QStringLiteral("已导入项目\"副本\": 1个类, 2个成员");
        QTest::newRow("name prompt cancelled") << QByteArray() << QStringList{QStringLiteral("-")}
                                               << QStringList{QStringLiteral("school")} << QString();
        QTest::newRow("invalid file") << QByteArray("\"memberIsPri\": 5") << QStringList()
                                      << QStringList{QStringLiteral("school")}
                                      << QStringLiteral("没有导入，请先修改以下问题:\nclasses[0].members[0].memberIsPri: 应为0或1");
    }

    void importAfterExport()
    {
        QFETCH(QByteArray, damage);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, projects);
        QFETCH(QString, says);
        const QString file = program->Dir() + QStringLiteral("/school.json");
        user->fileAnswers = QStringList{file};
        Trigger(window.get(), "ExportModel");
        QCOMPARE(user->takeTexts(), QStringList{QStringLiteral("模型已导出到 ") + QDir::toNativeSeparators(file)});
        if (!damage.isEmpty()) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const QByteArray bytes = f.readAll().replace("\"memberIsPri\": 1", damage);
            f.resize(0);
            f.write(bytes);
        }

        user->fileAnswers = QStringList{file};
        for (const QString &answer : answers)
            user->inputAnswers.append(answer == QLatin1String("-") ? std::nullopt : std::optional<QString>(answer));
        Trigger(window.get(), "ImportModel");
        QCOMPARE(user->takeTexts(), says.isEmpty() ? QStringList() : QStringList{says});
        QCOMPARE(TMainFormProbe{window.get()}.projectNames(), projects);
    }

    // The dialog's fields reach the reading, which runs while the window keeps drawing;
    // a server that is not there is said so and creates nothing.
    void importFromAMissingServer()
    {
        const QString socket = program->Dir() + QStringLiteral("/none.sock");
        const int shown = DriveDialog<TFormImportDatabase>([&] { Trigger(window.get(), "ImportDatabase"); },
                                                           [&](TFormImportDatabase &d) {
            d.Edit_Database->setText(QStringLiteral("shop"));
            d.RB_Socket->setChecked(true);
            d.Edit_Socket->setText(socket);
            QCOMPARE(d.Source().socket, socket);
            QVERIFY(d.Source().host.isEmpty());
            QCOMPARE(d.ProjectName(), QStringLiteral("shop"));
            QVERIFY(!d.Source().inPlace);
            d.CK_InPlace->setChecked(true);
            QVERIFY(d.Source().inPlace);
            d.accept();
        });
        QCOMPARE(shown, 1);
        const QStringList texts = user->takeTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().startsWith(QStringLiteral("从数据库导入失败: 连接不上数据库服务器 ") + socket), qPrintable(texts.first()));
        QVERIFY(window->isEnabled());
        QCOMPARE(TMainFormProbe{window.get()}.projectNames(), QStringList{QStringLiteral("school")});
    }
};

QTEST_MAIN(TestModelTransfer)
#include "tst_modeltransfer.moc"
