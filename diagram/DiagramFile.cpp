#include "DiagramFile.h"

#include "DiagramSvg.h"

#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace {

// Far beyond any model, well within what an image can hold.
constexpr int largestSide = 20000;

} // namespace

QImage TDiagramFile::Picture(const TDiagram &diagram, const QString &title)
{
    const QSize size(int(std::ceil(diagram.Bounds().width())), int(std::ceil(diagram.Bounds().height())));
    if (size.width() > largestSide || size.height() > largestSide)
        throw TDiagramError(QStringLiteral("模型图太大(%1×%2像素)，不能保存为PNG图片，请保存为SVG")
                                .arg(size.width()).arg(size.height()));
    QSvgRenderer renderer(TDiagramSvg::Write(diagram, title));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (!renderer.isValid() || image.isNull())
        throw TDiagramError(QStringLiteral("无法画出模型图"));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
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
