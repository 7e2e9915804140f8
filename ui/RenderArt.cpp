// Renders the banner at the sizes the main window shows it, for the build to ship as images:
// drawing it at start-up cost the window its first text layout in large fonts.
//
//   velmora-render-art <output folder>

#include "Artwork.h"
#include "ArtworkSizes.h"

#include <QDir>
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
        if (!Artwork::Banner(Artwork::bannerSize, ratio).save(name, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
