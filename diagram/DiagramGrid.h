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

// The columns of a grid of the boxes with onGrid set whose width over height, for cells of the
// boxes' average size plus gap, comes nearest to aspect.
int Columns(const QList<QSizeF> &sizes, const QList<bool> &onGrid, double aspect, double gap);

// The boxes with onGrid set in a grid of the given columns, linked boxes moved towards each other
// while that shortens the links (each cell taken as the boxes' average size plus gap). The same
// boxes and links always give the same cells.
TGridPlacement Place(const QList<QSizeF> &sizes, const QList<bool> &onGrid, const QList<TGridLink> &links,
                     int columns, double gap);

} // namespace DiagramGrid
