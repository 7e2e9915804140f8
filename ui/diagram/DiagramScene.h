#pragma once

#include "diagram/DiagramLayout.h"

#include <QGraphicsScene>
#include <QList>

class QGraphicsItem;
class QGraphicsPathItem;
class QGraphicsPolygonItem;
class TDiagramBoxItem;

// The model diagram as a scene: a box item per class, which the user can drag, and the arrows,
// which follow the boxes. The scene keeps the diagram's geometry up to date. The arrows to and
// from the selected boxes are drawn in a colour of their own, over the others.
class TDiagramScene : public QGraphicsScene {
    Q_OBJECT
public:
    explicit TDiagramScene(QObject *parent = nullptr);
    ~TDiagramScene() override;

    // Replaces what the scene shows.
    void Show(const TDiagram &diagram);
    // The diagram with every box where it now is.
    const TDiagram &Diagram() const { return diagram_; }
    QGraphicsItem *Box(qsizetype box) const { return boxes_.value(box); }
    // The arrows drawn as the selection's.
    QList<qsizetype> HighlightedArrows() const;

signals:
    // A box was double-clicked.
    void BoxActivated(qsizetype box);

private:
    friend class TDiagramBoxItem;
    void Moved(qsizetype box, QPointF topLeft);
    void Activated(qsizetype box) { emit BoxActivated(box); }
    void DrawArrows();
    void Highlight();

    TDiagram diagram_;
    bool showing_ = false; // placing the boxes of a new diagram, which moves none
    QList<QGraphicsPathItem *> lines_;
    QList<QGraphicsPolygonItem *> heads_;
    QList<QGraphicsItem *> boxes_;
};
