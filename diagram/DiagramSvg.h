#pragma once

#include "DiagramLayout.h"

#include <QByteArray>
#include <QString>

// The model diagram as an SVG document. Each class is a group of class "class" holding one
// rect of class "box"; each reference a group of class "reference" holding its line and its
// arrowhead, drawn beneath the boxes. Only elements and attributes SVG Tiny knows are used, so
// Qt's own renderer draws the same picture as a browser.
class TDiagramSvg {
public:
    static QByteArray Write(const TDiagram &diagram, const QString &title);
};
