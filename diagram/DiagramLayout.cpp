#include "DiagramLayout.h"

#include <QHash>
#include <QLineF>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr double boxGap = 48;    // between the boxes of a row
constexpr double rowGap = 72;    // between rows, room for the arrows
constexpr double narrowest = 120;
constexpr double margin = 24;
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

// The layer of each class: 0 for a class that refers to no other, otherwise one below the
// lowest class it refers to, so every arrow points up. A reference closing a cycle is ignored.
QList<int> layersOf(qsizetype count, const QList<TReference> &references)
{
    QList<QList<qsizetype>> targets(count);
    for (const TReference &r : references) {
        if (r.from != r.to)
            targets[r.from].append(r.to);
    }
    QList<int> layer(count, -1);
    QList<bool> onPath(count, false);
    const std::function<int(qsizetype)> depth = [&](qsizetype c) {
        if (layer.at(c) >= 0)
            return layer.at(c);
        onPath[c] = true;
        int d = 0;
        for (const qsizetype t : targets.at(c)) {
            if (!onPath.at(t))
                d = std::max(d, depth(t) + 1);
        }
        onPath[c] = false;
        layer[c] = d;
        return d;
    };
    for (qsizetype c = 0; c < count; ++c)
        depth(c);
    return layer;
}

// Orders each layer so that boxes sit near the boxes they are joined to: a few sweeps, each
// sorting a layer by the mean place of its neighbours in the other layers.
void orderLayers(QList<QList<qsizetype>> &layers, qsizetype count, const QList<TReference> &references)
{
    QList<QList<qsizetype>> neighbours(count);
    for (const TReference &r : references) {
        if (r.from != r.to) {
            neighbours[r.from].append(r.to);
            neighbours[r.to].append(r.from);
        }
    }
    QList<double> place(count, 0);
    const auto measure = [&] {
        for (const QList<qsizetype> &layer : layers) {
            for (qsizetype k = 0; k < layer.size(); ++k)
                place[layer.at(k)] = (double(k) + 0.5) / double(layer.size());
        }
    };
    for (int sweep = 0; sweep < 4; ++sweep) {
        measure();
        for (QList<qsizetype> &layer : layers) {
            QHash<qsizetype, double> key;
            for (const qsizetype c : layer) {
                double sum = 0;
                for (const qsizetype n : neighbours.at(c))
                    sum += place.at(n);
                key.insert(c, neighbours.at(c).isEmpty() ? place.at(c) : sum / double(neighbours.at(c).size()));
            }
            std::stable_sort(layer.begin(), layer.end(),
                             [&](qsizetype a, qsizetype b) { return key.value(a) < key.value(b); });
        }
    }
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

double TDiagramBox::LineMiddle(qsizetype line) const
{
    return rect.top() + TDiagramLayout::HeadingHeight + TDiagramLayout::Padding / 2
        + (double(line) + 0.5) * TDiagramLayout::LineHeight;
}

QRectF TDiagram::Bounds() const
{
    if (boxes.isEmpty())
        return QRectF(0, 0, 2 * margin, 2 * margin);
    double left = boxes.first().rect.left(), top = boxes.first().rect.top();
    double right = left, bottom = top;
    const auto take = [&](QPointF p) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    };
    for (const TDiagramBox &box : boxes) {
        take(box.rect.topLeft());
        take(box.rect.bottomRight());
    }
    for (const TDiagramArrow &arrow : arrows) {
        for (const QPointF &p : arrow.points)
            take(p);
    }
    return QRectF(QPointF(left - margin, top - margin), QPointF(right + margin, bottom + margin));
}

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

    const QList<int> layerOf = layersOf(classes.size(), references);
    QList<QList<qsizetype>> layers(layerOf.isEmpty() ? 0 : *std::max_element(layerOf.begin(), layerOf.end()) + 1);
    for (qsizetype c = 0; c < classes.size(); ++c)
        layers[layerOf.at(c)].append(c);
    orderLayers(layers, classes.size(), references);

    // A long layer wraps into several rows; rows are centred under the widest.
    QList<QList<qsizetype>> rows;
    for (const QList<qsizetype> &layer : layers) {
        for (qsizetype k = 0; k < layer.size(); k += MostBoxesInARow)
            rows.append(layer.mid(k, MostBoxesInARow));
    }
    const auto rowWidth = [&](const QList<qsizetype> &row) {
        double width = boxGap * double(row.size() - 1);
        for (const qsizetype c : row)
            width += diagram.boxes.at(c).rect.width();
        return width;
    };
    double widest = 0;
    for (const QList<qsizetype> &row : rows)
        widest = std::max(widest, rowWidth(row));
    double y = 0;
    for (const QList<qsizetype> &row : rows) {
        double x = std::round((widest - rowWidth(row)) / 2);
        double height = 0;
        for (const qsizetype c : row) {
            QRectF &rect = diagram.boxes[c].rect;
            rect.moveTopLeft(QPointF(x, y));
            x += rect.width() + boxGap;
            height = std::max(height, rect.height());
        }
        y += height + rowGap;
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
    for (TDiagramArrow &arrow : diagram.arrows) {
        arrow.points = route(diagram.boxes.at(arrow.from), diagram.boxes.at(arrow.to), arrow.line,
                             arrow.from == arrow.to);
    }
}
