#pragma once

#include "Diagram.h"
#include "model/ModelDocument.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

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
    static constexpr double FontSize = DiagramMetrics::FontSize;
    static constexpr double LineHeight = DiagramMetrics::LineHeight;
    static constexpr double Padding = DiagramMetrics::Padding;
    static constexpr double HeadingHeight = DiagramMetrics::HeadingHeight;
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
