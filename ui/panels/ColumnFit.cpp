#include "ui/panels/ColumnFit.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QHash>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>
#include <vector>

namespace {

// Kerning and shaping move a text's width a little away from the sum of its characters'
// advances; the cells ranked within this many pixels of the widest are laid out for real, at
// most maxLaidOut of them (texts such as field001 ... field999 all rank alike).
constexpr int rankingSlack = 8;
constexpr int maxLaidOut = 12;

class TAdvances {
public:
    explicit TAdvances(const QFontMetrics &metrics) : metrics_(metrics) {}

    int Of(const QString &text)
    {
        int width = 0;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u < 128) {
                if (ascii_[u] < 0)
                    ascii_[u] = metrics_.horizontalAdvance(c);
                width += ascii_[u];
            } else {
                auto it = other_.constFind(u);
                if (it == other_.cend())
                    it = other_.insert(u, metrics_.horizontalAdvance(c));
                width += *it;
            }
        }
        return width;
    }

private:
    const QFontMetrics &metrics_;
    int ascii_[128] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    QHash<char16_t, int> other_;
};

} // namespace

void FitColumnToContents(QTableView *view, int column, int minimumWidth)
{
    const QAbstractItemModel *model = view->model();
    const QFontMetrics metrics(view->font());
    TAdvances advances(metrics);

    // Each distinct text once, ranked by its estimated width.
    QHash<QString, int> firstRow;
    std::vector<std::pair<int, int>> ranked; // estimated width, row
    const int rows = model->rowCount();
    for (int row = 0; row < rows; ++row) {
        const QString text = model->index(row, column).data(Qt::DisplayRole).toString();
        if (firstRow.contains(text))
            continue;
        firstRow.insert(text, row);
        ranked.emplace_back(advances.Of(text), row);
    }
    std::sort(ranked.begin(), ranked.end(), std::greater<>());

    int content = 0;
    int laidOut = 0;
    for (const auto &[estimate, row] : ranked) {
        if (estimate + rankingSlack < ranked.front().first || laidOut++ == maxLaidOut)
            break;
        content = std::max(content, view->sizeHintForIndex(model->index(row, column)).width());
    }
    if (!ranked.empty() && view->showGrid())
        ++content;
    const int header = view->horizontalHeader()->sectionSizeHint(column);
    view->setColumnWidth(column, std::max({minimumWidth, content, header}));
}
