#include "diagram/DiagramFile.h"
#include "diagram/DiagramLayout.h"
#include "diagram/DiagramSvg.h"

#include <QImage>
#include <QLineF>
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

// Classes of ten members, three of them references spread over the model, as a bench model has.
QList<TModelClass> spreadClasses(int count)
{
    QList<TModelClass> classes;
    for (int i = 0; i < count; ++i) {
        TModelClass cls{QStringLiteral("Entity%1").arg(i), QStringLiteral("实体%1").arg(i), {}, {}, {}, false, std::nullopt};
        cls.members.append(member(QStringLiteral("id"), MemberType::Integer, true));
        for (int m = 1; m < 10; ++m) {
            const int target = (i + m * 7) % count;
            cls.members.append(m % 3 == 0 ? member(QStringLiteral("ref%1").arg(m), QStringLiteral("Entity%1").arg(target == i ? (i + 1) % count : target))
                                          : member(QStringLiteral("field%1").arg(m), MemberType::Text));
        }
        classes.append(cls);
    }
    return classes;
}

// Whether the segment from p to q runs through the inside of r.
bool crosses(QPointF p, QPointF q, const QRectF &r)
{
    const QRectF inside = r.adjusted(0.5, 0.5, -0.5, -0.5);
    const double d[2] = {q.x() - p.x(), q.y() - p.y()};
    const double low[2] = {inside.left() - p.x(), inside.top() - p.y()};
    const double high[2] = {inside.right() - p.x(), inside.bottom() - p.y()};
    double from = 0, to = 1;
    for (int k = 0; k < 2; ++k) {
        if (std::abs(d[k]) < 1e-9) {
            if (low[k] > 0 || high[k] < 0)
                return false;
            continue;
        }
        const double a = low[k] / d[k], b = high[k] / d[k];
        from = std::max(from, std::min(a, b));
        to = std::min(to, std::max(a, b));
    }
    return from < to;
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
    QTest::addColumn<QList<TModelClass>>("classes");
    QTest::newRow("thirty classes") << thirtyClasses();
    QList<TModelClass> cycle = thirtyClasses().mid(0, 5);
    cycle[1].members.append(member(QStringLiteral("back"), QStringLiteral("C4")));
    QTest::newRow("a cycle of references") << cycle;
    QTest::newRow("no classes") << QList<TModelClass>();
    QTest::newRow("three hundred classes") << spreadClasses(300);
}

// The SVG has one box per class and one arrow per reference, no two boxes overlap, every arrow
// runs from the border of its class's box to a point of its own on the border of the box
// referred to, with room for its head, and passes under no other box. Boxes side by side share
// their top, boxes one above the other their middle; the drawing keeps to a landscape screen's
// proportions.
void TestDiagram::eachClassIsABoxAndEachReferenceAnArrow()
{
    QFETCH(QList<TModelClass>, classes);
    QStringList expected;
    QSet<QString> names;
    for (const TModelClass &cls : classes)
        names.insert(cls.className);
    for (const TModelClass &cls : classes) {
        for (const TMember &m : cls.members) {
            if (names.contains(m.memberType()))
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
        for (qsizetype b = a + 1; b < boxes.size(); ++b) {
            const QRectF &r = boxes.at(a), &s = boxes.at(b);
            const char *fault = r.intersects(s) ? " overlap"
                : r.top() < s.bottom() && s.top() < r.bottom() && r.top() != s.top() ? " are side by side at different heights"
                : r.left() < s.right() && s.left() < r.right() && std::abs(r.center().x() - s.center().x()) >= 1 ? " are not centred"
                : nullptr;
            if (fault)
                QFAIL(qPrintable(svg.boxes.key(r) + QStringLiteral(" and ") + svg.boxes.key(s) + QLatin1String(fault)));
        }
    }
    QHash<qsizetype, QSet<QPair<double, double>>> ends;
    for (const TDiagramArrow &arrow : diagram.arrows) {
        const QRectF from = diagram.boxes.at(arrow.from).rect;
        const QRectF to = diagram.boxes.at(arrow.to).rect;
        const QString name = arrow.memberName + QStringLiteral(" of ") + diagram.boxes.at(arrow.from).className;
        const QPointF tip = arrow.points.last();
        QVERIFY2(distanceToBorder(from, arrow.points.first()) < 0.5, qPrintable(name));
        QVERIFY2(distanceToBorder(to, tip) < 0.5, qPrintable(name));
        QVERIFY2(QLineF(arrow.points.at(arrow.points.size() - 2), tip).length() >= 10, qPrintable(name + QStringLiteral(": no room for the head")));
        QVERIFY2(!ends[arrow.to].contains({tip.x(), tip.y()}), qPrintable(name + QStringLiteral(" ends where another arrow does")));
        ends[arrow.to].insert({tip.x(), tip.y()});
        for (qsizetype p = 1; p < arrow.points.size(); ++p) {
            for (qsizetype b = 0; b < diagram.boxes.size(); ++b) {
                if (b != arrow.from && b != arrow.to && crosses(arrow.points.at(p - 1), arrow.points.at(p), diagram.boxes.at(b).rect))
                    QFAIL(qPrintable(name + QStringLiteral(" passes under ") + diagram.boxes.at(b).className));
            }
        }
    }
    const QRectF bounds = diagram.Bounds();
    const QString size = QStringLiteral("%1×%2").arg(bounds.width()).arg(bounds.height());
    if (classes.size() >= 30)
        QVERIFY2(bounds.width() >= bounds.height() && bounds.width() <= 2 * bounds.height(), qPrintable(size));
    // At three fifths of its size, its text 8 pixels high, two full-HD screens across and three down.
    if (classes.size() >= 300)
        QVERIFY2(bounds.width() <= 6400 && bounds.height() <= 5400, qPrintable(size));
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

    // A picture too big to draw a pixel per unit is drawn smaller, in the same proportions.
    QList<TModelClass> far = thirtyClasses().mid(0, 2);
    far[1].diagramPosition = QPoint(90000, 0);
    const TDiagram wide = TDiagramLayout::LayOut(far);
    TDiagramFile::Save(wide, QStringLiteral("模型图"), dir.filePath(QStringLiteral("far.png")));
    const QImage small(dir.filePath(QStringLiteral("far.png")));
    QCOMPARE(small.width(), TDiagramFile::LargestSide);
    QVERIFY(std::abs(small.height() - wide.Bounds().height() * small.width() / wide.Bounds().width()) < 1.5);

    for (const auto &[path, says] : {std::pair{dir.filePath(QStringLiteral("model.gif")), "应以 .svg 或 .png 结尾"},
                                     std::pair{dir.filePath(QStringLiteral("no/such/folder/model.svg")), "无法写入模型图"}}) {
        try {
            TDiagramFile::Save(wide, QStringLiteral("模型图"), path);
            QFAIL(qPrintable(path + QStringLiteral(" was written")));
        } catch (const TDiagramError &error) {
            QVERIFY2(error.message().contains(QString::fromUtf8(says)), qPrintable(error.message()));
        }
        QVERIFY(!QFileInfo::exists(path));
    }
}

QTEST_MAIN(TestDiagram)
#include "tst_diagram.moc"
