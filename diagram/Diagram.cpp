#include "Diagram.h"

#include <algorithm>

double TDiagramBox::LineMiddle(qsizetype line) const
{
    return rect.top() + DiagramMetrics::HeadingHeight + DiagramMetrics::Padding / 2
        + (double(line) + 0.5) * DiagramMetrics::LineHeight;
}

QRectF TDiagram::Bounds() const
{
    if (boxes.isEmpty())
        return QRectF(0, 0, 2 * DiagramMetrics::Margin, 2 * DiagramMetrics::Margin);
    double left = boxes.first().rect.left(), top = boxes.first().rect.top();
    double right = left, bottom = top;
    const auto take = [&](QPointF p) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    };
    for (const TDiagramBox &box : boxes) {
        take(box.rect.topLeft());
        take(box.rect.bottomRight());
    }
    for (const TDiagramArrow &arrow : arrows) {
        for (const QPointF &p : arrow.points)
            take(p);
    }
    return QRectF(QPointF(left - DiagramMetrics::Margin, top - DiagramMetrics::Margin), QPointF(right + DiagramMetrics::Margin, bottom + DiagramMetrics::Margin));
}
