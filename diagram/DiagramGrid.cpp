#include "DiagramGrid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int passes = 12;
constexpr int reach = 2; // how many cells round its neighbours' middle a box may try

int columnsFor(qsizetype count, double cellWidth, double cellHeight, double aspect)
{
    int best = 1;
    double bestMiss = std::numeric_limits<double>::infinity();
    for (qsizetype c = 1; c <= count; ++c) {
        const qsizetype rows = (count + c - 1) / c;
        const double miss = std::abs(std::log(double(c) * cellWidth / (double(rows) * cellHeight) / aspect));
        if (miss < bestMiss) {
            bestMiss = miss;
            best = int(c);
        }
    }
    return best;
}

// The boxes breadth first from the most linked box of each group, largest group first, so that
// linked boxes start out close in the grid.
QList<qsizetype> startingOrder(const QList<qsizetype> &boxes, const QList<QList<qsizetype>> &neighbours)
{
    QList<qsizetype> byLinks = boxes;
    std::stable_sort(byLinks.begin(), byLinks.end(), [&](qsizetype a, qsizetype b) {
        return neighbours.at(a).size() > neighbours.at(b).size();
    });
    QList<bool> seen(neighbours.size(), false);
    QList<qsizetype> order;
    for (const qsizetype start : byLinks) {
        if (seen.at(start))
            continue;
        seen[start] = true;
        order.append(start);
        for (qsizetype next = order.size() - 1; next < order.size(); ++next) {
            for (const qsizetype n : neighbours.at(order.at(next))) {
                if (!seen.at(n)) {
                    seen[n] = true;
                    order.append(n);
                }
            }
        }
    }
    return order;
}

// The boxes in a grid of the given columns: row by row, every other row backwards, in the starting
// order, so that each box starts beside the one before; then each box in turn tries the cells
// round the middle of its neighbours, and takes one where its links and those of the box it
// changes place with come out shorter.
TGridPlacement arrange(qsizetype count, const QList<qsizetype> &order, const QList<QList<qsizetype>> &neighbours,
                       int columns, double cellWidth, double cellHeight)
{
    TGridPlacement grid;
    grid.cells = QList<QPoint>(count, QPoint(-1, -1));
    grid.columns = columns;
    grid.rows = int((order.size() + columns - 1) / columns);
    QList<qsizetype> occupant(qsizetype(grid.columns) * grid.rows, -1);
    for (qsizetype k = 0; k < order.size(); ++k) {
        const int row = int(k / grid.columns);
        const int step = int(k % grid.columns);
        const QPoint cell(row % 2 ? grid.columns - 1 - step : step, row);
        grid.cells[order.at(k)] = cell;
        occupant[qsizetype(cell.y()) * grid.columns + cell.x()] = order.at(k);
    }

    const auto cost = [&](qsizetype box) {
        double sum = 0;
        const QPoint at = grid.cells.at(box);
        for (const qsizetype n : neighbours.at(box)) {
            const QPoint d = grid.cells.at(n) - at;
            sum += std::abs(d.x()) * cellWidth + std::abs(d.y()) * cellHeight;
        }
        return sum;
    };
    // Moves box to cell, and whoever was there to the box's cell.
    const auto swap = [&](qsizetype box, QPoint cell) {
        const QPoint from = grid.cells.at(box);
        const qsizetype other = occupant.at(qsizetype(cell.y()) * grid.columns + cell.x());
        occupant[qsizetype(cell.y()) * grid.columns + cell.x()] = box;
        occupant[qsizetype(from.y()) * grid.columns + from.x()] = other;
        grid.cells[box] = cell;
        if (other >= 0)
            grid.cells[other] = from;
        return other;
    };
    for (int pass = 0; pass < passes; ++pass) {
        bool moved = false;
        for (const qsizetype box : order) {
            if (neighbours.at(box).isEmpty())
                continue;
            double x = 0, y = 0;
            for (const qsizetype n : neighbours.at(box)) {
                x += grid.cells.at(n).x();
                y += grid.cells.at(n).y();
            }
            const double count = double(neighbours.at(box).size());
            const QPoint middle(int(std::lround(x / count)), int(std::lround(y / count)));
            for (int dy = -reach; dy <= reach; ++dy) {
                for (int dx = -reach; dx <= reach; ++dx) {
                    const QPoint cell(middle.x() + dx, middle.y() + dy);
                    if (cell.x() < 0 || cell.y() < 0 || cell.x() >= grid.columns || cell.y() >= grid.rows
                        || cell == grid.cells.at(box))
                        continue;
                    const QPoint home = grid.cells.at(box);
                    const qsizetype there = occupant.at(qsizetype(cell.y()) * grid.columns + cell.x());
                    const double before = cost(box) + (there >= 0 ? cost(there) : 0);
                    swap(box, cell);
                    const double after = cost(box) + (there >= 0 ? cost(there) : 0);
                    if (after < before - 1e-9)
                        moved = true;
                    else
                        swap(box, home);
                }
            }
        }
        if (!moved)
            break;
    }
    return grid;
}

} // namespace

namespace DiagramGrid {

int Columns(const QList<QSizeF> &sizes, const QList<bool> &onGrid, double aspect, double gap)
{
    qsizetype count = 0;
    double width = 0, height = 0;
    for (qsizetype b = 0; b < sizes.size(); ++b) {
        if (onGrid.at(b)) {
            ++count;
            width += sizes.at(b).width();
            height += sizes.at(b).height();
        }
    }
    return count == 0 ? 1 : columnsFor(count, width / double(count) + gap, height / double(count) + gap, aspect);
}

TGridPlacement Place(const QList<QSizeF> &sizes, const QList<bool> &onGrid, const QList<TGridLink> &links,
                     int columns, double gap)
{
    QList<qsizetype> boxes;
    double width = 0, height = 0;
    for (qsizetype b = 0; b < sizes.size(); ++b) {
        if (onGrid.at(b)) {
            boxes.append(b);
            width += sizes.at(b).width();
            height += sizes.at(b).height();
        }
    }
    if (boxes.isEmpty()) {
        TGridPlacement none;
        none.cells = QList<QPoint>(sizes.size(), QPoint(-1, -1));
        return none;
    }
    QList<QList<qsizetype>> neighbours(sizes.size());
    for (const TGridLink &link : links) {
        if (link.a != link.b && onGrid.at(link.a) && onGrid.at(link.b)) {
            neighbours[link.a].append(link.b);
            neighbours[link.b].append(link.a);
        }
    }
    return arrange(sizes.size(), startingOrder(boxes, neighbours), neighbours,
                   std::clamp(columns, 1, int(boxes.size())), width / double(boxes.size()) + gap,
                   height / double(boxes.size()) + gap);
}

} // namespace DiagramGrid
