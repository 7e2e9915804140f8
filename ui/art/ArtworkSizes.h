#pragma once

#include <QSize>
#include <QString>

// The banner and icon sizes the build renders ahead (ui/RenderArt.cpp) and the program looks for.
namespace Artwork {

constexpr QSize bannerSize(770, 89);
constexpr int shippedRatios[] = {1, 2};
constexpr int iconSides[] = {16, 24, 32, 48, 64, 128, 256};

// The file name of a shipped banner, in the build's art folder and in the resources. It holds
// the pixels as they lie in memory (QImage::Format_ARGB32_Premultiplied, rows of width * 4
// bytes), stored uncompressed, so showing it decodes nothing.
inline QString ShippedBannerName(const QSize &size, int ratio)
{
    return QStringLiteral("banner-%1x%2@%3.argb").arg(size.width()).arg(size.height()).arg(ratio);
}

// The same for the window icon, one square picture per side.
inline QString ShippedIconName(int side)
{
    return QStringLiteral("icon-%1.argb").arg(side);
}

} // namespace Artwork
