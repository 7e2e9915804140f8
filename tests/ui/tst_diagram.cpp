// 模型图 in the code menu.
#include "MainFormProbe.h"

#include "ui/diagram/DiagramForm.h"
#include "ui/diagram/DiagramScene.h"

#include <QGraphicsItem>
#include <QGraphicsView>
#include <QLineEdit>
#include <QPushButton>

class TestDiagramWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempProgram> program;
    std::unique_ptr<TScriptedInteraction> user;
    std::unique_ptr<TFormMain> window;
    int school = 0, grade = 0, student = 0;

    // Opens 模型图 and drives it; returns whether it was shown.
    bool openDiagram(const std::function<void(TDiagramForm &, QGraphicsView &)> &drive)
    {
        return DriveDialog<TDiagramForm>([&] { Trigger(window.get(), "Diagram1"); }, [&](TDiagramForm &form) {
                   drive(form, *Find<QGraphicsView>(&form, "View1"));
               }) == 1;
    }

private slots:
    void init()
    {
        program = std::make_unique<TTempProgram>();
        user = std::make_unique<TScriptedInteraction>();
        school = program->AddProject(QStringLiteral("school"));
        grade = program->AddClass(school, QStringLiteral("Grade"), QStringLiteral("年级"));
        program->AddMember(school, grade, QStringLiteral("gradeId"), MemberType::Integer, true);
        program->AddMember(school, grade, QStringLiteral("gradeName"), MemberType::Text, false, true);
        student = program->AddClass(school, QStringLiteral("Student"), QStringLiteral("学生"));
        program->AddMember(school, student, QStringLiteral("studentId"), MemberType::Integer, true);
        program->AddMember(school, student, QStringLiteral("grade"), QStringLiteral("Grade"), false, true);
        window = std::make_unique<TFormMain>(*user, program->Dir());
    }
    void cleanup()
    {
        window.reset();
        QVERIFY2(user->unanswered.isEmpty(), qPrintable(user->unanswered.join(QLatin1Char(','))));
        user.reset();
        program.reset();
    }

    // A dragged box keeps its place with the model and the arrow follows it; a double-click
    // selects the class; 自动排列 hands every box back to the layout.
    void draggedBoxesAreKeptAndADoubleClickChoosesTheClass()
    {
        QVERIFY(openDiagram([&](TDiagramForm &form, QGraphicsView &view) {
            const TDiagram &diagram = form.Scene().Diagram();
            QCOMPARE(diagram.boxes.size(), 2);
            QCOMPARE(diagram.arrows.size(), 1);
            QGraphicsItem *gradeBox = form.Scene().itemAt(diagram.boxes.at(0).rect.center(), QTransform());
            QVERIFY(gradeBox);
            gradeBox->setPos(400.4, -120.6);
            QCOMPARE(diagram.boxes.at(0).rect.topLeft(), QPointF(400, -121));
            const QRectF moved = diagram.boxes.at(0).rect;
            const QPointF tip = diagram.arrows.at(0).points.last();
            QVERIFY(qAbs(tip.x() - moved.left()) < 0.5 || qAbs(tip.x() - moved.right()) < 0.5
                    || qAbs(tip.y() - moved.top()) < 0.5 || qAbs(tip.y() - moved.bottom()) < 0.5);
            DoubleClick(view.viewport(), view.mapFromScene(diagram.boxes.at(1).rect.center()));
            QVERIFY(!form.isVisible());
        }));
        QCOMPARE(TClassDAO().GetDiagramPositions(school), (QHash<int, QPoint>{{grade, QPoint(400, -121)}}));
        QCOMPARE(window->Projects().SelectedClassId(), student);

        QVERIFY(openDiagram([&](TDiagramForm &form, QGraphicsView &) {
            QCOMPARE(form.Scene().Diagram().boxes.at(0).rect.topLeft(), QPointF(400, -121));
            Find<QPushButton>(&form, "LayOutAgain1")->click();
            QVERIFY(form.Scene().Diagram().boxes.at(0).rect.topLeft() != QPointF(400, -121));
        }));
        QVERIFY(TClassDAO().GetDiagramPositions(school).isEmpty());
    }

    // A model larger than the window opens whole; a class found is selected, centred at a
    // readable size, and its references stand out.
    void opensWholeAndFindsAClass()
    {
        for (int i = 0; i < 40; ++i) {
            const int id = program->AddClass(school, QStringLiteral("Room%1").arg(i));
            program->AddMember(school, id, QStringLiteral("roomId"), MemberType::Integer, true);
            program->AddMember(school, id, QStringLiteral("student"), QStringLiteral("Student"));
        }
        window = std::make_unique<TFormMain>(*user, program->Dir());
        QVERIFY(openDiagram([&](TDiagramForm &form, QGraphicsView &view) {
            const TDiagram &diagram = form.Scene().Diagram();
            const QRectF shown = view.mapToScene(view.viewport()->rect()).boundingRect();
            QVERIFY2(shown.adjusted(-1, -1, 1, 1).contains(diagram.Bounds()), "not all of the diagram is in view");
            QVERIFY(view.transform().m11() < 1);

            QVERIFY(!form.FindClass(QStringLiteral("Nobody")));
            auto *find = Find<QLineEdit>(&form, "Find1");
            find->setText(QStringLiteral("stud"));
            QTest::keyClick(find, Qt::Key_Return);
            QVERIFY(form.isVisible());
            const QRectF student = diagram.boxes.at(1).rect;
            QVERIFY(form.Scene().Box(1)->isSelected());
            const QRectF now = view.mapToScene(view.viewport()->rect()).boundingRect();
            QVERIFY(now.contains(student));
            QVERIFY(view.transform().m11() >= 0.75);
            QCOMPARE(form.Scene().HighlightedArrows().size(), 41);
        }));
    }

    void exportWritesThePictureOrSaysWhyNot()
    {
        const QString png = program->Dir() + QStringLiteral("/school.png");
        const QString bmp = program->Dir() + QStringLiteral("/school.bmp");
        user->fileAnswers = QStringList{png, bmp};
        QVERIFY(openDiagram([&](TDiagramForm &form, QGraphicsView &) {
            Find<QPushButton>(&form, "Export1")->click();
            Find<QPushButton>(&form, "Export1")->click();
        }));
        QCOMPARE(user->takeTexts(), QStringList({QStringLiteral("模型图已导出到 ") + QDir::toNativeSeparators(png),
                                                 QStringLiteral("模型图的文件名应以 .svg 或 .png 结尾: ") + QDir::toNativeSeparators(bmp)}));
        QFile written(png);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.read(8), QByteArray("\x89PNG\r\n\x1a\n"));
        QVERIFY(!QFileInfo::exists(bmp));
    }
};

QTEST_MAIN(TestDiagramWindow)
#include "tst_diagram.moc"
