#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>

// The program's banner and icon, drawn here rather than shipped as images, so that they are
// sharp at any screen scale.
namespace Artwork {

// The strip across the top of the main window: the program's name, what it does, and a hint
// that a click opens the help page.
QPixmap Banner(const QSize &size, qreal devicePixelRatio = 1.0);
// The banner as the build rendered it when it has that size and ratio, else drawn now.
QPixmap ShippedBanner(const QSize &size, qreal devicePixelRatio = 1.0);

// The icon's picture at one side, drawn now.
QImage Icon(int side);
// The window icon at the usual sizes, as the build rendered them.
QIcon WindowIcon();

} // namespace Artwork
