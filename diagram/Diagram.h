#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

// The sizes of a box's text, shared by the layout, the routing and the drawing.
namespace DiagramMetrics {
inline constexpr double FontSize = 13;
inline constexpr double LineHeight = 20;
inline constexpr double Padding = 8;
inline constexpr double HeadingHeight = LineHeight + Padding;
inline constexpr double Margin = 24; // round everything drawn
} // namespace DiagramMetrics

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
