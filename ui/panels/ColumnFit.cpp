#include "ui/panels/ColumnFit.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
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

} // namespace

class TColumnFit::TAdvances {
public:
    explicit TAdvances(const QFont &font) : metrics_(font) { std::fill(std::begin(ascii_), std::end(ascii_), -1); }

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
    QFontMetrics metrics_;
    int ascii_[128];
    QHash<char16_t, int> other_;
};

TColumnFit::TColumnFit(QTableView *view) : view_(view) {}

TColumnFit::~TColumnFit() = default;

void TColumnFit::Fit(int column, int minimumWidth)
{
    if (!advances_ || view_->font() != font_) {
        font_ = view_->font();
        advances_ = std::make_unique<TAdvances>(font_);
        cells_.clear();
        captions_.clear();
    }
    const QAbstractItemModel *model = view_->model();

    // Each distinct text once, ranked by its estimated width.
    QHash<QString, int> firstRow;
    std::vector<std::pair<int, int>> ranked; // estimated width, row
    const int rows = model->rowCount();
    for (int row = 0; row < rows; ++row) {
        const QString text = model->index(row, column).data(Qt::DisplayRole).toString();
        if (firstRow.contains(text))
            continue;
        firstRow.insert(text, row);
        ranked.emplace_back(advances_->Of(text), row);
    }
    std::sort(ranked.begin(), ranked.end(), std::greater<>());

    int content = 0;
    int laidOut = 0;
    for (const auto &[estimate, row] : ranked) {
        if (estimate + rankingSlack < ranked.front().first || laidOut++ == maxLaidOut)
            break;
        content = std::max(content, CellWidth(row, column, model->index(row, column).data().toString()));
    }
    if (!ranked.empty() && view_->showGrid())
        ++content;
    view_->setColumnWidth(column, std::max({minimumWidth, content, CaptionWidth(column)}));
}

int TColumnFit::CellWidth(int row, int column, const QString &text)
{
    auto it = cells_.constFind(text);
    if (it == cells_.cend())
        it = cells_.insert(text, view_->sizeHintForIndex(view_->model()->index(row, column)).width());
    return *it;
}

int TColumnFit::CaptionWidth(int column)
{
    const QString caption = view_->model()->headerData(column, Qt::Horizontal).toString();
    auto it = captions_.constFind(caption);
    if (it == captions_.cend())
        it = captions_.insert(caption, view_->horizontalHeader()->sectionSizeHint(column));
    return *it;
}
