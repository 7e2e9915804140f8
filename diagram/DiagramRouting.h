#pragma once

#include "DiagramGrid.h"
#include "Diagram.h"

namespace DiagramRouting {

// Puts each box of the grid in its cell (at the top of its row, in the middle of its column) and
// finds the way of every arrow between two of them: from the member's line at the side of its box
// into the corridor beside, along it to the corridor above or below the box referred to, and into
// that box's top or bottom at a point of its own. The corridors are made wide enough for each
// arrow to have a lane of its own wherever it runs beside another, and so no way crosses a box.
// Sets the boxes' rect and laidOutAt and the arrows' laidOutRoute.
void Arrange(TDiagram &diagram, const TGridPlacement &grid);

} // namespace DiagramRouting
