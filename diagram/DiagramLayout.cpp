#include "DiagramLayout.h"

#include "DiagramGrid.h"
#include "DiagramRouting.h"

#include <QHash>
#include <QLineF>

#include <algorithm>
#include <cmath>

namespace {

constexpr double cellGap = 80;   // about what the corridors round a box take
constexpr int attempts = 4;      // grids tried for the proportion
constexpr double narrowest = 120;
constexpr double loopReach = 24; // how far a reference of a class to itself reaches out
constexpr double arrowLength = 10;
constexpr double arrowHalfWidth = 4.5;

// Characters a monospaced font draws a full font size wide: CJK and other East Asian wide and
// full-width forms.
bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000;
}

struct TReference {
    qsizetype from;
    qsizetype line;
    qsizetype to;
    QString member;
};

// Every member whose type names a class of the model; a name given twice means the first class.
QList<TReference> findReferences(const QList<TModelClass> &classes)
{
    QHash<QString, qsizetype> byName;
    for (qsizetype c = 0; c < classes.size(); ++c) {
        if (!byName.contains(classes.at(c).className))
            byName.insert(classes.at(c).className, c);
    }
    QList<TReference> references;
    for (qsizetype c = 0; c < classes.size(); ++c) {
        const QList<TMember> &members = classes.at(c).members;
        for (qsizetype m = 0; m < members.size(); ++m) {
            const auto target = byName.constFind(members.at(m).memberType());
            if (target != byName.constEnd())
                references.append({c, m, *target, members.at(m).memberName()});
        }
    }
    return references;
}

TDiagramBox makeBox(const TModelClass &cls)
{
    TDiagramBox box;
    box.className = cls.className;
    box.heading = cls.friendName.isEmpty() || cls.friendName == cls.className
        ? cls.className
        : cls.className + QStringLiteral("（") + cls.friendName + QStringLiteral("）");
    double width = TDiagramLayout::TextWidth(box.heading);
    for (const TMember &m : cls.members) {
        const bool key = m.memberIsPri() == 1;
        TDiagramLine line{m.memberName() + QStringLiteral(": ") + m.memberType(), key};
        if (key)
            line.text += QStringLiteral(" [主键]");
        width = std::max(width, TDiagramLayout::TextWidth(line.text));
        box.lines.append(line);
    }
    const double height = TDiagramLayout::HeadingHeight + double(box.lines.size()) * TDiagramLayout::LineHeight
        + TDiagramLayout::Padding;
    box.rect = QRectF(0, 0, std::ceil(std::max(narrowest, width + 2 * TDiagramLayout::Padding)), height);
    return box;
}

// The point where the way from `inside` (in rect) towards `outside` leaves rect; `inside`
// itself when `outside` is in rect too.
QPointF leave(const QRectF &rect, QPointF inside, QPointF outside)
{
    if (rect.contains(outside))
        return inside;
    const double dx = outside.x() - inside.x();
    const double dy = outside.y() - inside.y();
    double t = 1;
    if (dx > 0)
        t = std::min(t, (rect.right() - inside.x()) / dx);
    else if (dx < 0)
        t = std::min(t, (rect.left() - inside.x()) / dx);
    if (dy > 0)
        t = std::min(t, (rect.bottom() - inside.y()) / dy);
    else if (dy < 0)
        t = std::min(t, (rect.top() - inside.y()) / dy);
    return QPointF(inside.x() + t * dx, inside.y() + t * dy);
}

QList<QPointF> route(const TDiagramBox &from, const TDiagramBox &to, qsizetype line, bool self)
{
    const QRectF &s = from.rect;
    const double y = from.LineMiddle(line);
    if (self) {
        const double x = s.right() + loopReach;
        const double top = s.top() - loopReach;
        return {{s.right(), y}, {x, y}, {x, top}, {s.center().x(), top}, {s.center().x(), s.top()}};
    }
    const QRectF &t = to.rect;
    QPointF start;
    if (t.left() >= s.right()) {
        start = QPointF(s.right(), y);
    } else if (t.right() <= s.left()) {
        start = QPointF(s.left(), y);
    } else {
        // One above the other: leave by the top or the bottom, each member at a place of its own.
        const double x = s.left() + s.width() * double(line + 1) / double(from.lines.size() + 1);
        start = QPointF(x, t.center().y() < s.center().y() ? s.top() : s.bottom());
    }
    return {start, leave(t, t.center(), start)};
}

} // namespace

double TDiagramLayout::TextWidth(const QString &text)
{
    double width = 0;
    for (const char32_t c : text.toUcs4())
        width += isWide(c) ? FontSize : FontSize * 0.6;
    return width;
}

TDiagram TDiagramLayout::LayOut(const QList<TModelClass> &classes)
{
    TDiagram diagram;
    for (const TModelClass &cls : classes)
        diagram.boxes.append(makeBox(cls));
    const QList<TReference> references = findReferences(classes);
    for (const TReference &r : references)
        diagram.arrows.append({r.from, r.to, r.line, r.member, {}});

    QList<QSizeF> sizes;
    QList<bool> onGrid;
    for (qsizetype c = 0; c < classes.size(); ++c) {
        sizes.append(diagram.boxes.at(c).rect.size());
        onGrid.append(!classes.at(c).diagramPosition);
    }
    QList<TGridLink> links;
    for (const TReference &r : references)
        links.append({r.from, r.to});
    // A row is as high as its highest box and the corridors as wide as their arrows need, so the
    // first grid's proportion may miss: a few more grids with the columns the last one asks for,
    // and of those in proportion the smallest.
    int columns = DiagramGrid::Columns(sizes, onGrid, Aspect, cellGap);
    const TDiagram plain = diagram;
    const auto worse = [](QSizeF a, QSizeF b) {
        const auto inProportion = [](QSizeF s) { return s.width() >= s.height() && s.width() <= 2 * s.height(); };
        if (inProportion(a) != inProportion(b))
            return inProportion(b);
        return a.width() * a.height() > b.width() * b.height();
    };
    QSizeF best;
    QList<int> tried;
    for (int attempt = 0; attempt < attempts && !tried.contains(columns); ++attempt) {
        tried.append(columns);
        TDiagram laidOut = plain;
        DiagramRouting::Arrange(laidOut, DiagramGrid::Place(sizes, onGrid, links, columns, cellGap));
        const QSizeF size = laidOut.Bounds().size();
        if (attempt == 0 || worse(best, size)) {
            best = size;
            diagram = std::move(laidOut);
        }
        columns = std::max(1, int(std::lround(columns / std::sqrt(size.width() / size.height() / Aspect))));
    }
    for (qsizetype c = 0; c < classes.size(); ++c) {
        if (classes.at(c).diagramPosition) {
            diagram.boxes[c].rect.moveTopLeft(QPointF(*classes.at(c).diagramPosition));
            diagram.boxes[c].dragged = true;
        }
    }
    Route(diagram);
    return diagram;
}

QList<QPointF> TDiagramLayout::ArrowHead(const QList<QPointF> &points)
{
    const QPointF tip = points.last();
    QLineF back(tip, points.size() > 1 ? points.at(points.size() - 2) : tip);
    if (back.length() < 1e-6)
        back = QLineF(tip, tip + QPointF(0, -1));
    const QPointF unit = back.unitVector().p2() - tip;
    const QPointF base = tip + unit * arrowLength;
    const QPointF across(-unit.y() * arrowHalfWidth, unit.x() * arrowHalfWidth);
    return {tip, base + across, base - across};
}

void TDiagramLayout::Route(TDiagram &diagram)
{
    const auto inPlace = [&](qsizetype b) {
        const TDiagramBox &box = diagram.boxes.at(b);
        return box.laidOutAt && *box.laidOutAt == box.rect.topLeft();
    };
    for (TDiagramArrow &arrow : diagram.arrows) {
        arrow.points = !arrow.laidOutRoute.isEmpty() && inPlace(arrow.from) && inPlace(arrow.to)
            ? arrow.laidOutRoute
            : route(diagram.boxes.at(arrow.from), diagram.boxes.at(arrow.to), arrow.line, arrow.from == arrow.to);
    }
}
