#pragma once

class QTableView;

// Widens a column of a table to its caption or its widest cell, as
// QTableView::resizeColumnToContents does, but lays out only the cells that can be the widest:
// the others are ranked by the advance of their characters, which costs a table lookup per
// character instead of a text layout per cell. Never narrower than minimumWidth.
void FitColumnToContents(QTableView *view, int column, int minimumWidth);
