// Renders the banner at the sizes the main window shows it, for the build to ship as pixels:
// drawing it at start-up cost the window its first text layout in large fonts.
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
    for (const int ratio : Artwork::shippedRatios) {
        const QString name = out.filePath(Artwork::ShippedBannerName(Artwork::bannerSize, ratio));
        const QImage pixels = Artwork::Banner(Artwork::bannerSize, ratio).toImage().convertToFormat(
            QImage::Format_ARGB32_Premultiplied);
        QFile file(name);
        const qsizetype size = pixels.sizeInBytes();
        if (pixels.bytesPerLine() != pixels.width() * 4 || !file.open(QIODevice::WriteOnly)
            || file.write(reinterpret_cast<const char *>(pixels.constBits()), size) != size) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
