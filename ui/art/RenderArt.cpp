// Renders the banner at the sizes the main window shows it, and the window icon, for the build
// to ship as pixels: drawing them at start-up cost the window its first text layout in large
// fonts and a few milliseconds of gradients.
//
//   velmora-render-art <output folder>

#include "ui/art/Artwork.h"
#include "ui/art/ArtworkSizes.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: velmora-render-art <output folder>\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const auto save = [&out](const QString &fileName, const QImage &picture) {
        const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QFile file(out.filePath(fileName));
        const qsizetype size = pixels.sizeInBytes();
        if (pixels.bytesPerLine() != pixels.width() * 4 || !file.open(QIODevice::WriteOnly)
            || file.write(reinterpret_cast<const char *>(pixels.constBits()), size) != size) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return false;
        }
        return true;
    };
    for (const int ratio : Artwork::shippedRatios) {
        if (!save(Artwork::ShippedBannerName(Artwork::bannerSize, ratio),
                  Artwork::Banner(Artwork::bannerSize, ratio).toImage()))
            return 1;
    }
    for (const int side : Artwork::iconSides) {
        if (!save(Artwork::ShippedIconName(side), Artwork::Icon(side)))
            return 1;
    }
    return 0;
}
