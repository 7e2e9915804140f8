#pragma once

#include <QList>
#include <QPoint>
#include <QSizeF>

// Two boxes to be placed near each other: a reference between their classes.
struct TGridLink {
    qsizetype a = 0;
    qsizetype b = 0;
};

// A cell of a grid for each box: x the column, y the row; (-1, -1) for a box left out.
struct TGridPlacement {
    int columns = 0;
    int rows = 0;
    QList<QPoint> cells;
};

namespace DiagramGrid {

// The boxes with onGrid set, in a grid whose width over height, for cells of the boxes' average
// size plus gap, comes nearest to aspect; linked boxes are moved towards each other while that
// shortens the links. The same boxes and links always give the same cells.
TGridPlacement Place(const QList<QSizeF> &sizes, const QList<bool> &onGrid, const QList<TGridLink> &links,
                     double aspect, double gap);

} // namespace DiagramGrid
