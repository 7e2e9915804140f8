#include "DiagramFile.h"

#include "DiagramSvg.h"

#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

QImage TDiagramFile::Picture(const TDiagram &diagram, const QString &title)
{
    const QRectF bounds = diagram.Bounds();
    const double scale = std::min({1.0, LargestSide / bounds.width(), LargestSide / bounds.height(),
                                   std::sqrt(MostPixels / (bounds.width() * bounds.height()))});
    const QSize size(std::max(1, int(std::ceil(bounds.width() * scale))),
                     std::max(1, int(std::ceil(bounds.height() * scale))));
    QSvgRenderer renderer(TDiagramSvg::Write(diagram, title));
    QImage image(size, QImage::Format_RGB32);
    if (!renderer.isValid() || image.isNull())
        throw TDiagramError(QStringLiteral("无法画出模型图"));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, bounds.width() * scale, bounds.height() * scale));
    return image;
}

void TDiagramFile::Save(const TDiagram &diagram, const QString &title, const QString &path)
{
    if (DiagramSaving::FormatOf(path) == DiagramSaving::TFormat::Svg)
        return DiagramSaving::SaveSvg(diagram, title, path);
    DiagramSaving::Write(path, [&](QIODevice &device) {
        QImageWriter writer(&device, "png");
        return writer.write(Picture(diagram, title)) ? QString() : writer.errorString();
    });
}
