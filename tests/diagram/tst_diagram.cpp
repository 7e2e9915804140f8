#include "diagram/DiagramFile.h"
#include "diagram/DiagramLayout.h"
#include "diagram/DiagramSvg.h"

#include <QImage>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

TMember member(const QString &name, const QString &type, bool key = false)
{
    TMember m;
    m.setMemberName(name);
    m.setMemberType(type);
    m.setMemberIsPri(key ? 1 : 0);
    return m;
}

// Thirty classes in a tree of references (each refers to its parent, every third also to the
// root), one referring to itself, one with markup and a control character in its name.
QList<TModelClass> thirtyClasses()
{
    QList<TModelClass> classes;
    for (int i = 0; i < 30; ++i) {
        TModelClass cls{QStringLiteral("C%1").arg(i), QStringLiteral("类%1").arg(i), {}, {}, {}, false, std::nullopt};
        cls.members.append(member(QStringLiteral("id"), MemberType::Integer, true));
        cls.members.append(member(QStringLiteral("name"), MemberType::Text));
        if (i > 0)
            cls.members.append(member(QStringLiteral("parent"), QStringLiteral("C%1").arg((i - 1) / 2)));
        if (i > 0 && i % 3 == 0)
            cls.members.append(member(QStringLiteral("root"), QStringLiteral("C0")));
        classes.append(cls);
    }
    classes[7].members.append(member(QStringLiteral("self"), QStringLiteral("C7")));
    classes[4].friendName = QStringLiteral("<b>\"A&B\"</b>\x01");
    return classes;
}

// The boxes and references an SVG holds, by its groups and their rects.
struct TSvgContent {
    QHash<QString, QRectF> boxes;
    QStringList references; // "from.member->to"
    QString error;
};

TSvgContent readSvg(const QByteArray &svg)
{
    TSvgContent content;
    QXmlStreamReader xml(svg);
    QString group;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const auto number = [&](const char *name) { return a.value(QLatin1String(name)).toDouble(); };
        if (xml.name() == QLatin1String("g") && a.value(QLatin1String("class")) == QLatin1String("class")) {
            group = a.value(QLatin1String("data-class")).toString();
        } else if (xml.name() == QLatin1String("g") && a.value(QLatin1String("class")) == QLatin1String("reference")) {
            content.references.append(a.value(QLatin1String("data-from")).toString() + QLatin1Char('.')
                                       + a.value(QLatin1String("data-member")).toString() + QStringLiteral("->")
                                       + a.value(QLatin1String("data-to")).toString());
        } else if (xml.name() == QLatin1String("rect") && a.value(QLatin1String("class")) == QLatin1String("box")) {
            if (content.boxes.contains(group))
                content.error = QStringLiteral("two boxes for ") + group;
            content.boxes.insert(group, QRectF(number("x"), number("y"), number("width"), number("height")));
        }
    }
    if (xml.hasError())
        content.error = xml.errorString();
    return content;
}

double distanceToBorder(const QRectF &r, QPointF p)
{
    const double outside = std::max({r.left() - p.x(), p.x() - r.right(), r.top() - p.y(), p.y() - r.bottom()});
    if (outside > 0)
        return outside;
    return std::min({p.x() - r.left(), r.right() - p.x(), p.y() - r.top(), r.bottom() - p.y()});
}

} // namespace

class TestDiagram : public QObject {
    Q_OBJECT

private slots:
    void eachClassIsABoxAndEachReferenceAnArrow_data();
    void eachClassIsABoxAndEachReferenceAnArrow();
    void draggedBoxesStayWhereTheyWereDropped();
    void picturesAreSavedWholeOrRefused();
};

void TestDiagram::eachClassIsABoxAndEachReferenceAnArrow_data()
{
    QTest::addColumn<int>("classCount");
    QTest::addColumn<bool>("cycle");
    QTest::newRow("thirty classes") << 30 << false;
    QTest::newRow("a cycle of references") << 5 << true;
    QTest::newRow("no classes") << 0 << false;
}

// The SVG has one box per class and one arrow per reference, no two boxes overlap, every arrow
// runs from the border of its class's box to the border of the box referred to, and without a
// cycle every arrow but a class's own points up.
void TestDiagram::eachClassIsABoxAndEachReferenceAnArrow()
{
    QFETCH(int, classCount);
    QFETCH(bool, cycle);
    QList<TModelClass> classes = thirtyClasses().mid(0, classCount);
    if (cycle)
        classes[1].members.append(member(QStringLiteral("back"), QStringLiteral("C4")));
    QStringList expected;
    for (const TModelClass &cls : classes) {
        for (const TMember &m : cls.members) {
            if (m.memberType().startsWith(QLatin1Char('C')))
                expected.append(cls.className + QLatin1Char('.') + m.memberName() + QStringLiteral("->") + m.memberType());
        }
    }

    const TDiagram diagram = TDiagramLayout::LayOut(classes);
    const TSvgContent svg = readSvg(TDiagramSvg::Write(diagram, QStringLiteral("模型图")));
    QVERIFY2(svg.error.isEmpty(), qPrintable(svg.error));
    QCOMPARE(svg.boxes.size(), classes.size());
    QStringList references = svg.references;
    references.sort();
    expected.sort();
    QCOMPARE(references, expected);

    const QList<QRectF> boxes = svg.boxes.values();
    for (qsizetype a = 0; a < boxes.size(); ++a) {
        for (qsizetype b = a + 1; b < boxes.size(); ++b)
            QVERIFY2(!boxes.at(a).intersects(boxes.at(b)), qPrintable(svg.boxes.key(boxes.at(a)) + QStringLiteral(" overlaps ") + svg.boxes.key(boxes.at(b))));
    }
    for (const TDiagramArrow &arrow : diagram.arrows) {
        const QRectF from = diagram.boxes.at(arrow.from).rect;
        const QRectF to = diagram.boxes.at(arrow.to).rect;
        const QString name = arrow.memberName + QStringLiteral(" of ") + diagram.boxes.at(arrow.from).className;
        QVERIFY2(distanceToBorder(from, arrow.points.first()) < 0.5, qPrintable(name));
        QVERIFY2(distanceToBorder(to, arrow.points.last()) < 0.5, qPrintable(name));
        if (!cycle && arrow.from != arrow.to)
            QVERIFY2(to.bottom() < from.top(), qPrintable(name + QStringLiteral(" does not point up")));
    }
}

// A dragged box keeps its place, negative or far away, and the arrows follow it.
void TestDiagram::draggedBoxesStayWhereTheyWereDropped()
{
    QList<TModelClass> classes = thirtyClasses().mid(0, 3);
    classes[1].diagramPosition = QPoint(-500, 40);
    TDiagram diagram = TDiagramLayout::LayOut(classes);
    QCOMPARE(diagram.boxes.at(1).rect.topLeft(), QPointF(-500, 40));
    QVERIFY(diagram.boxes.at(1).dragged && !diagram.boxes.at(0).dragged);
    QVERIFY(diagram.Bounds().contains(diagram.boxes.at(1).rect));

    diagram.boxes[0].rect.moveTopLeft(QPointF(900, 900));
    TDiagramLayout::Route(diagram);
    for (const TDiagramArrow &arrow : diagram.arrows) {
        QVERIFY(distanceToBorder(diagram.boxes.at(arrow.from).rect, arrow.points.first()) < 0.5);
        QVERIFY(distanceToBorder(diagram.boxes.at(arrow.to).rect, arrow.points.last()) < 0.5);
    }
}

void TestDiagram::picturesAreSavedWholeOrRefused()
{
    QTemporaryDir dir;
    const TDiagram diagram = TDiagramLayout::LayOut(thirtyClasses().mid(0, 4));
    const QString png = dir.filePath(QStringLiteral("model.PNG"));
    TDiagramFile::Save(diagram, QStringLiteral("模型图"), png);
    const QImage image(png);
    QCOMPARE(image.size(), diagram.Bounds().size().toSize());
    // Drawn: the box borders are not all background.
    QVERIFY(image.pixelColor(int(diagram.boxes.first().rect.left() - diagram.Bounds().left()),
                             int(diagram.boxes.first().rect.center().y() - diagram.Bounds().top())) != QColor(Qt::white));

    const QString svg = dir.filePath(QStringLiteral("model.svg"));
    TDiagramFile::Save(diagram, QStringLiteral("模型图"), svg);
    QFile written(svg);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), TDiagramSvg::Write(diagram, QStringLiteral("模型图")));

    QList<TModelClass> far = thirtyClasses().mid(0, 2);
    far[1].diagramPosition = QPoint(90000, 0);
    for (const auto &[path, says] : {std::pair{dir.filePath(QStringLiteral("model.gif")), "应以 .svg 或 .png 结尾"},
                                     std::pair{dir.filePath(QStringLiteral("far.png")), "模型图太大"},
                                     std::pair{dir.filePath(QStringLiteral("no/such/folder/model.svg")), "无法写入模型图"}}) {
        try {
            TDiagramFile::Save(TDiagramLayout::LayOut(far), QStringLiteral("模型图"), path);
            QFAIL(qPrintable(path + QStringLiteral(" was written")));
        } catch (const TDiagramError &error) {
            QVERIFY2(error.message().contains(QString::fromUtf8(says)), qPrintable(error.message()));
        }
        QVERIFY(!QFileInfo::exists(path));
    }
}

QTEST_MAIN(TestDiagram)
#include "tst_diagram.moc"
