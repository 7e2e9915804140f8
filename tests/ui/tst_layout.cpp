// The fixed layouts: sizes and places of the controls, and no text cut off or covered.
// With VELMORA_SCREENSHOT_DIR set, each window is also saved there as a PNG.
#include "MainFormProbe.h"

#include "ui/art/Artwork.h"
#include "ui/art/ArtworkSizes.h"
#include "ui/panels/ColumnFit.h"
#include "ui/dialogs/DataBaseSqlForm.h"
#include "ui/dialogs/FormAddClass.h"
#include "ui/dialogs/FormAddMember.h"
#include "ui/dialogs/FormUpdateClass.h"
#include "ui/dialogs/FormUpdateMember.h"

#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProcessEnvironment>
#include <QSplitter>
#include <QStyle>
#include <QStandardItemModel>
#include <QStyleOptionGroupBox>
#include <QTableView>

namespace {

// Text of a control that shows one, or empty text.
QString shownText(const QWidget *w)
{
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    return {};
}

// Every labelled control needs no more room than it has, lies inside its parent, and is
// covered by no sibling.
void checkNothingClipped(const QWidget *window)
{
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (const QWidget *w : all) {
        const QString text = shownText(w);
        if (text.trimmed().isEmpty() || !w->isVisibleTo(window))
            continue;
        const QString what = w->objectName() + QStringLiteral(" \"") + text + QLatin1Char('"');
        QSize hint = w->sizeHint();
        if (qobject_cast<const QGroupBox *>(w)) // what it holds has a size of its own
            hint = QSize(w->fontMetrics().horizontalAdvance(text) + 16, w->fontMetrics().height());
        QVERIFY2(hint.width() <= w->width() && hint.height() <= w->height(),
                 qPrintable(QStringLiteral("%1 needs %2x%3, has %4x%5")
                                .arg(what).arg(hint.width()).arg(hint.height()).arg(w->width()).arg(w->height())));
        // The part that shows the text: a check box's box and caption, not its empty rest.
        const QRect content(w->pos(), QSize(hint.width(), w->height()));
        QVERIFY2(w->parentWidget()->rect().contains(w->geometry()),
                 qPrintable(what + QStringLiteral(" reaches out of its parent")));
        // Siblings made later lie on top.
        const QList<QWidget *> siblings = w->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (qsizetype i = siblings.indexOf(w) + 1; i < siblings.size(); ++i) {
            const QWidget *sibling = siblings.at(i);
            // A splitter's divider may reach over the edge of what it divides.
            if (!sibling->isVisibleTo(window) || sibling->isWindow() || qobject_cast<const QSplitterHandle *>(sibling))
                continue;
            QVERIFY2(!sibling->geometry().intersects(content),
                     qPrintable(what + QStringLiteral(" is covered by ") + sibling->objectName()));
        }
    }
}

void save(QWidget *w, const QString &name)
{
    const QString dir = QProcessEnvironment::systemEnvironment().value(QStringLiteral("VELMORA_SCREENSHOT_DIR"));
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    QVERIFY(w->grab().save(QDir(dir).filePath(name + QStringLiteral(".png"))));
}

QRect geometryOf(const QObject *window, const char *name)
{
    const QWidget *w = Find<QWidget>(window, name);
    return w ? w->geometry() : QRect();
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempProgram> program;
    std::unique_ptr<TScriptedInteraction> user;
    std::unique_ptr<TFormMain> window;

private slots:
    void initTestCase()
    {
        program = std::make_unique<TTempProgram>();
        user = std::make_unique<TScriptedInteraction>();
        const int school = program->AddProject(QStringLiteral("学校管理"));
        const int student = program->AddClass(school, QStringLiteral("Student"), QStringLiteral("学生"));
        program->AddMember(school, student, QStringLiteral("studentNumber"), MemberType::Text, true, false,
                           QStringLiteral("学号"));
        program->AddMember(school, student, QStringLiteral("name"), MemberType::Text, false, true,
                           QStringLiteral("姓名，列表和下拉框中显示"));
        program->AddMember(school, student, QStringLiteral("birthday"), MemberType::Date, false, false,
                           QStringLiteral("出生日期"));
        program->AddMember(school, student, QStringLiteral("photo"), MemberType::Picture, false, false,
                           QStringLiteral("照片"));
        const int score = program->AddClass(school, QStringLiteral("Score"), QStringLiteral("成绩"));
        program->AddMember(school, score, QStringLiteral("id"), MemberType::Integer, true, true);
        program->AddMember(school, score, QStringLiteral("student"), QStringLiteral("Student"));
        const int course = program->AddClass(school, QStringLiteral("Course"), QStringLiteral("课程"));
        program->AddMember(school, course, QStringLiteral("code"), MemberType::Text, true, true);
        // The script window reads its template from the program folder.
        QVERIFY(QDir().mkpath(program->Dir() + QStringLiteral("/template/数据库")));
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/template/数据库/mysql_dump.sql"),
                            program->Dir() + QStringLiteral("/template/数据库/mysql_dump.sql")));

        window = std::make_unique<TFormMain>(*user, program->Dir());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        Find<QTimer>(window.get(), "Timer1")->stop();
    }
    void cleanupTestCase()
    {
        window.reset();
        QVERIFY(user->shown.isEmpty());
        program.reset();
    }

    void mainWindow()
    {
        // At its default size the window is arranged as it always was; it can now be resized
        // and maximised.
        QCOMPARE(window->centralWidget()->size(), QSize(770, 547));
        QVERIFY(window->minimumSize().width() < 770 && window->maximumSize().width() > 2000);
        QVERIFY(window->windowFlags() & Qt::WindowMaximizeButtonHint);
        QCOMPARE(geometryOf(window.get(), "Image1"), QRect(0, 0, 770, 89));
        QCOMPARE(geometryOf(window.get(), "GroupBox1"), QRect(0, 89, 770, 458));
        const auto near = [&](const char *name, const QRect &expected) {
            const QRect at = Find<QWidget>(window.get(), name)->geometry();
            const QRect in(Find<QWidget>(window.get(), name)->mapTo(Find<QWidget>(window.get(), "GroupBox1"), QPoint(0, 0)),
                           at.size());
            const auto close = [](int a, int b) { return qAbs(a - b) <= 6; };
            QVERIFY2(close(in.left(), expected.left()) && close(in.top(), expected.top())
                         && (expected.width() == 0 || close(in.width(), expected.width()))
                         && (expected.height() == 0 || close(in.height(), expected.height())),
                     qPrintable(QStringLiteral("%1 at %2,%3 %4x%5").arg(QLatin1String(name))
                                    .arg(in.left()).arg(in.top()).arg(in.width()).arg(in.height())));
        };
        near("Label1", QRect(8, 24, 0, 0));
        near("CB_Project", QRect(36, 18, 0, 0));
        near("Label2", QRect(8, 48, 0, 0));
        near("LB_Object", QRect(8, 64, 153, 241));
        near("LV_Member", QRect(165, 16, 597, 289));
        near("GroupBox2", QRect(2, 306, 766, 152));
        QVERIFY(geometryOf(window.get(), "CB_Project").width() >= 121);
        QCOMPARE(Find<QWidget>(window.get(), "CodePreview")->width(), 0);
        checkNothingClipped(window.get());

        // Every column caption fits its column; the table fits the window.
        TMainFormProbe probe{window.get()};
        QHeaderView *header = probe.members()->horizontalHeader();
        for (int c = 1; c < header->count(); ++c) {
            const QString caption = probe.memberCaption(c);
            QVERIFY2(header->fontMetrics().horizontalAdvance(caption) + 8 <= header->sectionSize(c),
                     qPrintable(caption));
        }
        QVERIFY2(header->length() <= probe.members()->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(header->length()).arg(probe.members()->viewport()->width())));
        QCOMPARE(probe.classEntries().first(), QStringLiteral("Student (学生)"));
        probe.selectMember(1);
        probe.log()->setPlainText(QStringLiteral("projects/学校管理/phpbean/Student.class.php生成完毕!\n"
                                                 "移动projects/学校管理/.settings文件夹完毕！"));
        save(window.get(), QStringLiteral("main"));

        // Maximised, the member table and the log take the room; the class list keeps its width.
        const QSize table = probe.members()->size();
        const int logHeight = geometryOf(window.get(), "GroupBox2").height();
        const int listWidth = probe.classes()->width();
        window->resize(1280, 860);
        window->showMaximized();
        QTRY_VERIFY(window->centralWidget()->width() > 770 && window->centralWidget()->height() > 547);
        const QSize grown = window->centralWidget()->size() - QSize(770, 547);
        QCOMPARE(probe.members()->width(), table.width() + grown.width());
        QVERIFY(probe.members()->height() > table.height());
        QVERIFY(geometryOf(window.get(), "GroupBox2").height() >= logHeight);
        QCOMPARE(probe.classes()->width(), listWidth);
        checkNothingClipped(window.get());
        save(window.get(), QStringLiteral("main_maximised"));
        window->showNormal();
        window->resize(770, 547);
    }

    void classDialogs()
    {
        const TProjectPanel &projects = window->Projects();
        TAddClassForm add(window.get(), *user, projects.SelectedProjectId());
        TUpdateClassForm update(window.get(), *user, projects.SelectedProjectId(), projects.SelectedClassId(),
                                projects.SelectedClassText());
        update.FormShow();
        for (TFormDialog *d : {static_cast<TFormDialog *>(&add), static_cast<TFormDialog *>(&update)}) {
            d->show();
            QVERIFY(QTest::qWaitForWindowExposed(d));
            QCOMPARE(geometryOf(d, "Edt_ClassName").topLeft(), QPoint(112, 29));
            QCOMPARE(geometryOf(d, "Edt_FriendName").topLeft(), QPoint(112, 91));
            QCOMPARE(geometryOf(d, "Edt_TableName").topLeft(), QPoint(112, 139));
            QCOMPARE(geometryOf(d, "Button1"), QRect(32, 216, 97, 25));
            QCOMPARE(geometryOf(d, "Button2"), QRect(141, 216, 97, 25));
            checkNothingClipped(d);
        }
        QCOMPARE(add.windowTitle(), QStringLiteral("添加类"));
        QCOMPARE(add.size(), QSize(269, 282));
        QCOMPARE(geometryOf(&add, "Label1").topLeft(), QPoint(22, 32));
        QCOMPARE(update.size(), QSize(271, 278));
        QCOMPARE(geometryOf(&update, "Label2").topLeft(), QPoint(15, 96));
        save(&add, QStringLiteral("add_class"));
        save(&update, QStringLiteral("update_class"));
    }

    void memberDialogs()
    {
        TMainFormProbe{window.get()}.selectMember(1);
        const int projectId = window->Projects().SelectedProjectId();
        const int classId = window->Projects().SelectedClassId();
        TAddMemberForm add(window.get(), *user, projectId, classId);
        add.FormCreate();
        TUpdateMemberForm update(window.get(), *user, projectId, classId, window->Members().SelectedMemberId());
        QVERIFY(update.FormCreate());
        for (TFormDialog *d : {static_cast<TFormDialog *>(&add), static_cast<TFormDialog *>(&update)}) {
            d->show();
            QVERIFY(QTest::qWaitForWindowExposed(d));
            checkNothingClipped(d);
        }
        QCOMPARE(add.size(), QSize(389 + 248, 331)); // the type fields stand to the right
        QCOMPARE(update.size(), QSize(372 + 248, 320));
        QCOMPARE(geometryOf(&add, "Edt_MemberName").left(), 120);
        QCOMPARE(geometryOf(&update, "CB_MemberType").left(), 104);
        QCOMPARE(geometryOf(&add, "Label5").topLeft(), QPoint(216, 133));
        save(&add, QStringLiteral("add_member"));
        save(&update, QStringLiteral("update_member"));
    }

    // The banner the build renders is the banner the program would draw.
    void shippedBannerIsTheDrawnOne()
    {
        const QString shipped = QStringLiteral(":/art/") + Artwork::ShippedBannerName(Artwork::bannerSize, 1);
        QVERIFY2(QFile::exists(shipped), qPrintable(shipped));
        QCOMPARE(Artwork::ShippedBanner(Artwork::bannerSize, 1).toImage(),
                 Artwork::Banner(Artwork::bannerSize, 1).toImage());
    }

    // The member table's quick column fit gives the widths Qt's own fit gives.
    void columnFitMatchesTheTablesOwn_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("names of every length") << QStringList{"id", "studentNumber", "x", "dateOfBirth"};
        QTest::newRow("alike but for kerning") << QStringList{"AVAVAVAV", "WAWAWAWA", "VAVAVAVA", "llllllll"};
        QTest::newRow("chinese and mixed") << QStringList{"学号", "出生日期ABC", "是", "否"};
        QTest::newRow("caption wider than cells") << QStringList{"是", "否"};
        QTest::newRow("no rows") << QStringList{};
        QStringList many;
        for (int i = 0; i < 300; ++i)
            many << QStringLiteral("field%1").arg(i, 4, 10, QLatin1Char('0'));
        many << QStringLiteral("field00099");
        QTest::newRow("hundreds ranked alike") << many;
    }
    void columnFitMatchesTheTablesOwn()
    {
        QFETCH(QStringList, cells);
        QStandardItemModel model(int(cells.size()), 1);
        model.setHorizontalHeaderLabels({QStringLiteral("下拉框显示")});
        for (int row = 0; row < cells.size(); ++row)
            model.setItem(row, 0, new QStandardItem(cells.at(row)));
        QTableView view;
        view.setModel(&model);
        view.resizeColumnToContents(0);
        const int qt = view.columnWidth(0);
        view.setColumnWidth(0, 1);
        TColumnFit fit(&view);
        fit.Fit(0, 1);
        QCOMPARE(view.columnWidth(0), qt);
        fit.Fit(0, qt + 5);
        QCOMPARE(view.columnWidth(0), qt + 5);

        // Refilled, with the widths of the texts seen before remembered: still Qt's fit.
        model.appendRow(new QStandardItem(QStringLiteral("a longer text than any before it")));
        view.resizeColumnToContents(0);
        const int refilled = view.columnWidth(0);
        view.setColumnWidth(0, 1);
        fit.Fit(0, 1);
        QCOMPARE(view.columnWidth(0), refilled);
        // Another font: nothing remembered for the old one is used.
        QFont larger = view.font();
        larger.setPixelSize(larger.pixelSize() > 0 ? larger.pixelSize() * 2 : 30);
        view.setFont(larger);
        view.resizeColumnToContents(0);
        const int enlarged = view.columnWidth(0);
        view.setColumnWidth(0, 1);
        fit.Fit(0, 1);
        QCOMPARE(view.columnWidth(0), enlarged);
    }

    void scriptWindow()
    {
        TDataBaseSqlForm form(window.get(), *user, QStringLiteral("学校管理.sql"));
        form.SetProjectId(window->Projects().SelectedProjectId());
        form.SetTablePrefix(QStringLiteral("t_"));
        form.FormShow(program->Dir(), program->Dir() + QStringLiteral("/projects/none"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QStringLiteral("数据库建表sql语句"));
        QCOMPARE(form.size(), QSize(766, 551));
        // The script fills the window above its two buttons.
        const QRect memo = geometryOf(&form, "Memo_Sql");
        QCOMPARE(memo.topLeft(), QPoint(0, 0));
        QCOMPARE(memo.width(), 766);
        QVERIFY(memo.bottom() < geometryOf(&form, "Btn_Save").top());
        QVERIFY(memo.height() > 551 - 60);
        checkNothingClipped(&form);
        save(&form, QStringLiteral("sql"));
        QPixmap icon = window->windowIcon().pixmap(64, 64);
        QVERIFY(!icon.isNull());
        QLabel iconView;
        iconView.setPixmap(icon);
        iconView.resize(64, 64);
        save(&iconView, QStringLiteral("icon"));
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
