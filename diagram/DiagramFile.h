#pragma once

#include "DiagramSaving.h"

#include <QImage>
#include <QString>

// The model diagram saved as a picture file. Drawing a PNG needs fonts, and so a
// QGuiApplication (off screen will do).
class TDiagramFile {
public:
    // As SVG or PNG by the name's ending (.svg, .png, in any case); the file is replaced only
    // once it is whole. Throws TDiagramError.
    static void Save(const TDiagram &diagram, const QString &title, const QString &path);
    // The diagram drawn from its SVG, a pixel per unit, or scaled down as much as it takes to
    // keep within LargestSide pixels a side and MostPixels in all. Throws TDiagramError.
    static QImage Picture(const TDiagram &diagram, const QString &title);

    static constexpr int LargestSide = 16384;
    static constexpr double MostPixels = 40e6;
};
