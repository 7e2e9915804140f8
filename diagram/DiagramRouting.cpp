#include "DiagramRouting.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double laneGap = 5;
constexpr double edge = 14;   // from a corridor's side to its nearest lane: room for an arrowhead
constexpr double narrowest = 40; // a corridor between two rows or columns, however few its lanes

// A place across the grid that the corridors' widths do not move: a lane in half h of corridor k
// is (2k, h); a place in column or row k at d from its start is (2k + 1, d). A half counts whole,
// so two arrows meeting in it never share a lane.
using TSpot = std::pair<int, double>;

// A run of an arrow along a corridor, between two spots; lane is given by assignLanes.
struct TRun {
    TSpot low;
    TSpot high;
    int lane = 0;
};

TRun run(TSpot a, TSpot b)
{
    return a < b ? TRun{a, b} : TRun{b, a};
}

// Each run a lane that no run overlapping it has, first come first served; returns how many.
int assignLanes(QList<TRun *> runs)
{
    std::stable_sort(runs.begin(), runs.end(), [](const TRun *a, const TRun *b) { return a->low < b->low; });
    QList<TSpot> laneEnds;
    for (TRun *r : runs) {
        qsizetype lane = 0;
        while (lane < laneEnds.size() && !(laneEnds.at(lane) < r->low))
            ++lane;
        if (lane == laneEnds.size())
            laneEnds.append(r->high);
        else
            laneEnds[lane] = r->high;
        r->lane = int(lane);
    }
    return int(laneEnds.size());
}

// A corridor: its two halves each serve the band on their side, so that arrows entering it from
// either side never run along one another.
struct TCorridor {
    QList<TRun *> halves[2]; // 0: the half by the band before it, 1: the half by the band after
    int lanes[2] = {0, 0};
    double start = 0;
    double width = 0;

    double Lane(int half, int lane) const
    {
        return half == 0 ? start + edge + lane * laneGap : start + width - edge - lane * laneGap;
    }
};

// Widths for the corridors, from their lanes; an outer one without lanes takes no room.
void sizeCorridors(QList<TCorridor> &corridors)
{
    for (qsizetype k = 0; k < corridors.size(); ++k) {
        TCorridor &c = corridors[k];
        c.lanes[0] = assignLanes(c.halves[0]);
        c.lanes[1] = assignLanes(c.halves[1]);
        const int lanes = c.lanes[0] + c.lanes[1];
        const bool outer = k == 0 || k == corridors.size() - 1;
        c.width = lanes == 0 && outer ? 0 : std::max(narrowest, 2 * edge + lanes * laneGap);
    }
}

// Where corridors and bands start, one after the other from 0.
void placeBands(QList<TCorridor> &corridors, const QList<double> &bands, QList<double> &bandStart)
{
    double at = 0;
    bandStart.resize(bands.size());
    for (qsizetype k = 0; k < corridors.size(); ++k) {
        corridors[k].start = at;
        at += corridors.at(k).width;
        if (k < bands.size()) {
            bandStart[k] = at;
            at += bands.at(k);
        }
    }
}

// The way of one arrow through the grid, planned before the corridors have widths.
struct TPlan {
    qsizetype arrow = 0;
    int column = 0;      // the corridor it leaves its box into
    int columnHalf = 0;
    int row = 0;         // the corridor it enters the box referred to from
    int rowHalf = 0;
    double y = 0;        // of the member's line, from the top of its row
    double x = 0;        // of its end, from the left of the column
    bool right = false;  // leaves by the right side
    TRun down;           // along the column corridor
    TRun across;         // along the row corridor
};

} // namespace

namespace DiagramRouting {

void Arrange(TDiagram &diagram, const TGridPlacement &grid)
{
    QList<double> columnWidth(grid.columns, 0), rowHeight(grid.rows, 0);
    for (qsizetype b = 0; b < diagram.boxes.size(); ++b) {
        const QPoint cell = grid.cells.at(b);
        if (cell.x() < 0)
            continue;
        const QRectF &r = diagram.boxes.at(b).rect;
        columnWidth[cell.x()] = std::max(columnWidth.at(cell.x()), r.width());
        rowHeight[cell.y()] = std::max(rowHeight.at(cell.y()), r.height());
    }
    const auto offset = [&](qsizetype b) {
        return std::floor((columnWidth.at(grid.cells.at(b).x()) - diagram.boxes.at(b).rect.width()) / 2);
    };

    // Each arrow leaves towards the column of its end, and enters its end from the side of its start.
    QList<TPlan> plans;
    QHash<qsizetype, QList<qsizetype>> entries; // box * 2 + (0 top, 1 bottom) -> plans
    for (qsizetype a = 0; a < diagram.arrows.size(); ++a) {
        const TDiagramArrow &arrow = diagram.arrows.at(a);
        const QPoint from = grid.cells.at(arrow.from), to = grid.cells.at(arrow.to);
        if (from.x() < 0 || to.x() < 0)
            continue;
        TPlan plan;
        plan.arrow = a;
        plan.right = to.x() >= from.x();
        plan.column = plan.right ? from.x() + 1 : from.x();
        plan.columnHalf = plan.right ? 0 : 1;
        const bool top = from.y() <= to.y();
        plan.row = top ? to.y() : to.y() + 1;
        plan.rowHalf = top ? 1 : 0;
        const TDiagramBox &box = diagram.boxes.at(arrow.from);
        plan.y = box.LineMiddle(arrow.line) - box.rect.top();
        plan.down = run({2 * from.y() + 1, plan.y}, {2 * plan.row, plan.rowHalf});
        entries[arrow.to * 2 + (top ? 0 : 1)].append(plans.size());
        plans.append(plan);
    }
    // Along a box's side its arrows come in the order of the corridors they come down.
    for (auto e = entries.begin(); e != entries.end(); ++e) {
        QList<qsizetype> &list = e.value();
        std::stable_sort(list.begin(), list.end(), [&](qsizetype a, qsizetype b) {
            const TPlan &p = plans.at(a), &q = plans.at(b);
            return std::pair(p.column, p.down.low) < std::pair(q.column, q.down.low);
        });
        const qsizetype box = e.key() / 2;
        const double width = diagram.boxes.at(box).rect.width();
        for (qsizetype k = 0; k < list.size(); ++k) {
            TPlan &plan = plans[list.at(k)];
            plan.x = offset(box) + width * double(k + 1) / double(list.size() + 1);
            plan.across = run({2 * plan.column, plan.columnHalf}, {2 * grid.cells.at(box).x() + 1, plan.x});
        }
    }

    QList<TCorridor> columns(grid.columns + 1), rows(grid.rows + 1);
    for (TPlan &plan : plans) {
        columns[plan.column].halves[plan.columnHalf].append(&plan.down);
        rows[plan.row].halves[plan.rowHalf].append(&plan.across);
    }
    sizeCorridors(columns);
    sizeCorridors(rows);
    QList<double> columnLeft, rowTop;
    placeBands(columns, columnWidth, columnLeft);
    placeBands(rows, rowHeight, rowTop);

    for (qsizetype b = 0; b < diagram.boxes.size(); ++b) {
        const QPoint cell = grid.cells.at(b);
        if (cell.x() < 0)
            continue;
        TDiagramBox &box = diagram.boxes[b];
        box.rect.moveTopLeft(QPointF(columnLeft.at(cell.x()) + offset(b), rowTop.at(cell.y())));
        box.laidOutAt = box.rect.topLeft();
    }
    for (const TPlan &plan : plans) {
        TDiagramArrow &arrow = diagram.arrows[plan.arrow];
        const QRectF &from = diagram.boxes.at(arrow.from).rect;
        const QRectF &to = diagram.boxes.at(arrow.to).rect;
        const double y = from.top() + plan.y;
        const double laneX = columns.at(plan.column).Lane(plan.columnHalf, plan.down.lane);
        const double laneY = rows.at(plan.row).Lane(plan.rowHalf, plan.across.lane);
        const double x = columnLeft.at(grid.cells.at(arrow.to).x()) + plan.x;
        arrow.laidOutRoute = {{plan.right ? from.right() : from.left(), y}, {laneX, y}, {laneX, laneY},
                              {x, laneY}, {x, plan.rowHalf == 1 ? to.top() : to.bottom()}};
    }
}

} // namespace DiagramRouting
