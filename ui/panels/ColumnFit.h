#pragma once

#include <QFont>
#include <QHash>
#include <QString>

#include <memory>

class QTableView;

// Widens columns of a table to their caption or their widest cell, as
// QTableView::resizeColumnToContents does, but lays out only the cells that can be the widest:
// the others are ranked by the advance of their characters, which costs a table lookup per
// character instead of a text layout per cell. Each text's laid-out width and each caption's
// are remembered (for the table's font), so fitting again after the table is refilled lays out
// only texts it has not seen. The cells of a table are taken to differ in their text alone.
class TColumnFit {
public:
    explicit TColumnFit(QTableView *view);
    ~TColumnFit();

    // Never narrower than minimumWidth.
    void Fit(int column, int minimumWidth);

private:
    class TAdvances;
    int CellWidth(int row, int column, const QString &text);
    int CaptionWidth(int column);

    QTableView *view_;
    QFont font_; // the font the remembered widths belong to
    std::unique_ptr<TAdvances> advances_;
    QHash<QString, int> cells_;
    QHash<QString, int> captions_;
};
