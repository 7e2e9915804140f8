#pragma once

#include "model/ModelDocument.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

// One member as a line of its class's box.
struct TDiagramLine {
    QString text; // "name: type", the key member with its mark
    bool key = false;
};

// One class as a box: its name as the heading, then a line per member.
struct TDiagramBox {
    QString className;
    QString heading;
    QList<TDiagramLine> lines;
    QRectF rect;
    bool dragged = false; // placed where the model keeps it, not by the layout
    std::optional<QPointF> laidOutAt; // the top-left corner the layout gave it; none when dragged

    // The vertical middle of the line of member `line`.
    double LineMiddle(qsizetype line) const;
};

// A reference member as an arrow from its class's box to the box of the class it refers to.
struct TDiagramArrow {
    qsizetype from = 0; // box indices
    qsizetype to = 0;
    qsizetype line = 0; // the member's line in the box it starts from
    QString memberName;
    QList<QPointF> points; // at least two; the last one lies on the border of the box referred to
    // The way the layout found round the boxes, good while both boxes stay where it put them.
    QList<QPointF> laidOutRoute;
};

// The colours of the drawing, the same in the picture files and in the window.
namespace DiagramColour {
inline constexpr char Line[] = "#51627a";
inline constexpr char Border[] = "#34455c";
inline constexpr char Heading[] = "#dde7f3";
} // namespace DiagramColour

struct TDiagram {
    QList<TDiagramBox> boxes;
    QList<TDiagramArrow> arrows;

    // Everything drawn, with a margin around it.
    QRectF Bounds() const;
};

// The model diagram's geometry, without drawing anything: boxes sized from their text and placed
// in the cells of a grid, each near the classes it is joined to; of a few grids the smallest
// that is at least as wide as it is high and at most twice. In a row the boxes share their top, in a column their middle. Arrows run from the
// member's line at the side of its box along the corridors between rows and columns, each on a
// lane of its own, to a point of their own on the top or bottom of the box referred to, and so
// never pass under a box. An arrow to or from a dragged box goes straight.
// Text widths are estimated from the characters (a wide one counts a full font size, any other
// 0.6 of it, as in a monospaced font), so the same model always gives the same diagram.
class TDiagramLayout {
public:
    static constexpr double FontSize = 13;
    static constexpr double LineHeight = 20;
    static constexpr double Padding = 8;
    static constexpr double HeadingHeight = LineHeight + Padding;
    // The width over height the layout aims at first, as a landscape screen.
    static constexpr double Aspect = 1.5;

    // Boxes of classes with a diagram position go there; the others are laid out automatically.
    static TDiagram LayOut(const QList<TModelClass> &classes);
    // The arrows again, after boxes were moved: the layout's own ways between boxes still in place.
    static void Route(TDiagram &diagram);
    static double TextWidth(const QString &text);
    // The three corners of the arrowhead at the end of an arrow's last segment, tip first.
    static QList<QPointF> ArrowHead(const QList<QPointF> &points);
};
