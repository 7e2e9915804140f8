#include "ui/diagram/DiagramScene.h"

#include <QCursor>
#include <QFont>
#include <QGraphicsItem>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QSignalBlocker>

namespace {

constexpr char highlightColour[] = "#d9480f";
constexpr double boxLevel = 2; // over the arrows, and the selection's arrows over the others

} // namespace

// One class's box: drawn as the picture files draw it, dragged by the user, always at whole
// units (the model keeps whole numbers).
class TDiagramBoxItem : public QGraphicsItem {
public:
    TDiagramBoxItem(TDiagramScene &scene, qsizetype index)
        : scene_(scene), index_(index), box_(scene.Diagram().boxes.at(index))
    {
        setFlags(ItemIsMovable | ItemIsSelectable | ItemSendsGeometryChanges);
        setZValue(boxLevel);
        setCursor(Qt::OpenHandCursor);
        setPos(box_.rect.topLeft());
        setToolTip(QStringLiteral("拖动可移动方框，双击选中这个类"));
    }

    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), box_.rect.size()); }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        const QRectF r = boundingRect();
        // The face the picture files name, so that the layout's widths hold here too.
        QFont font(QStringLiteral("monospace"));
        font.setStyleHint(QFont::TypeWriter);
        font.setPixelSize(int(TDiagramLayout::FontSize));
        QFont bold = font;
        bold.setBold(true);
        painter->setPen(QPen(QColor(QLatin1String(DiagramColour::Border)), isSelected() ? 3 : 1.5));
        painter->setBrush(Qt::white);
        painter->drawRect(r);
        painter->setBrush(QColor(QLatin1String(DiagramColour::Heading)));
        painter->drawRect(QRectF(0, 0, r.width(), TDiagramLayout::HeadingHeight));
        painter->setPen(Qt::black);
        const auto line = [&](double top, double height, const QString &text, bool strong) {
            painter->setFont(strong ? bold : font);
            painter->drawText(QRectF(TDiagramLayout::Padding, top, r.width() - TDiagramLayout::Padding, height),
                              Qt::AlignLeft | Qt::AlignVCenter, text);
        };
        line(0, TDiagramLayout::HeadingHeight, box_.heading, true);
        for (qsizetype l = 0; l < box_.lines.size(); ++l) {
            const double middle = TDiagramLayout::HeadingHeight + TDiagramLayout::Padding / 2
                + (double(l) + 0.5) * TDiagramLayout::LineHeight;
            line(middle - TDiagramLayout::LineHeight / 2, TDiagramLayout::LineHeight, box_.lines.at(l).text,
                 box_.lines.at(l).key);
        }
    }

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override
    {
        if (change == ItemPositionChange) {
            const QPointF p = value.toPointF();
            return QPointF(qRound(p.x()), qRound(p.y()));
        }
        if (change == ItemPositionHasChanged)
            scene_.Moved(index_, value.toPointF());
        return QGraphicsItem::itemChange(change, value);
    }

    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *) override { scene_.Activated(index_); }

private:
    TDiagramScene &scene_;
    qsizetype index_;
    TDiagramBox box_;
};

TDiagramScene::TDiagramScene(QObject *parent) : QGraphicsScene(parent)
{
    connect(this, &QGraphicsScene::selectionChanged, this, &TDiagramScene::Highlight);
}

// The base class clears the scene, changing the selection, after the arrows are gone.
TDiagramScene::~TDiagramScene()
{
    disconnect(this, &QGraphicsScene::selectionChanged, this, &TDiagramScene::Highlight);
}

void TDiagramScene::Show(const TDiagram &diagram)
{
    const QSignalBlocker quiet(this); // the selection goes with the old boxes
    clear();
    lines_.clear();
    heads_.clear();
    boxes_.clear();
    diagram_ = diagram;
    const QColor colour(QLatin1String(DiagramColour::Line));
    for (qsizetype a = 0; a < diagram_.arrows.size(); ++a) {
        lines_.append(addPath(QPainterPath(), QPen(colour, 1.5)));
        heads_.append(addPolygon(QPolygonF(), QPen(Qt::NoPen), colour));
    }
    // Boxes above the arrows, as in the pictures.
    showing_ = true;
    for (qsizetype b = 0; b < diagram_.boxes.size(); ++b) {
        boxes_.append(new TDiagramBoxItem(*this, b));
        addItem(boxes_.last());
    }
    showing_ = false;
    DrawArrows();
}

// Every box moved, by a drag of its own or of a selection it belongs to, counts as dragged.
void TDiagramScene::Moved(qsizetype box, QPointF topLeft)
{
    if (showing_)
        return;
    diagram_.boxes[box].rect.moveTopLeft(topLeft);
    diagram_.boxes[box].dragged = true;
    TDiagramLayout::Route(diagram_);
    DrawArrows();
}

void TDiagramScene::DrawArrows()
{
    for (qsizetype a = 0; a < diagram_.arrows.size(); ++a) {
        const QList<QPointF> &points = diagram_.arrows.at(a).points;
        QPainterPath path(points.first());
        for (qsizetype p = 1; p < points.size(); ++p)
            path.lineTo(points.at(p));
        lines_.at(a)->setPath(path);
        heads_.at(a)->setPolygon(QPolygonF(TDiagramLayout::ArrowHead(points)));
    }
}

QList<qsizetype> TDiagramScene::HighlightedArrows() const
{
    QList<qsizetype> arrows;
    for (qsizetype a = 0; a < diagram_.arrows.size(); ++a) {
        const TDiagramArrow &arrow = diagram_.arrows.at(a);
        if (boxes_.at(arrow.from)->isSelected() || boxes_.at(arrow.to)->isSelected())
            arrows.append(a);
    }
    return arrows;
}

void TDiagramScene::Highlight()
{
    const QColor plain{QLatin1String(DiagramColour::Line)};
    const QColor strong{QLatin1String(highlightColour)};
    for (qsizetype a = 0; a < lines_.size(); ++a) {
        lines_.at(a)->setPen(QPen(plain, 1.5));
        heads_.at(a)->setBrush(plain);
        lines_.at(a)->setZValue(0);
        heads_.at(a)->setZValue(0);
    }
    for (const qsizetype a : HighlightedArrows()) {
        lines_.at(a)->setPen(QPen(strong, 2.5));
        heads_.at(a)->setBrush(strong);
        lines_.at(a)->setZValue(1);
        heads_.at(a)->setZValue(1);
    }
}
