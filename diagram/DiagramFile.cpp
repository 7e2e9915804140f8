#include "DiagramFile.h"

#include "DiagramSvg.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>

#include <cmath>

namespace {

// Far beyond any model, well within what an image can hold.
constexpr int largestSide = 20000;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

TDiagramError::TDiagramError(const QString &message)
    : std::runtime_error(message.toStdString()), message_(message)
{
}

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
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool png = suffix == QLatin1String("png");
    if (!png && suffix != QLatin1String("svg"))
        throw TDiagramError(QStringLiteral("模型图的文件名应以 .svg 或 .png 结尾: %1").arg(shown(path)));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw TDiagramError(QStringLiteral("无法写入模型图 %1: %2").arg(shown(path), file.errorString()));
    if (png) {
        QImageWriter writer(&file, "png");
        if (!writer.write(Picture(diagram, title)))
            throw TDiagramError(QStringLiteral("无法写入模型图 %1: %2").arg(shown(path), writer.errorString()));
    } else {
        const QByteArray svg = TDiagramSvg::Write(diagram, title);
        if (file.write(svg) != svg.size())
            throw TDiagramError(QStringLiteral("无法写入模型图 %1: %2").arg(shown(path), file.errorString()));
    }
    if (!file.commit())
        throw TDiagramError(QStringLiteral("无法写入模型图 %1: %2").arg(shown(path), file.errorString()));
}
