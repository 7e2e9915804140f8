#include "ui/art/Artwork.h"
#include "ui/art/ArtworkSizes.h"

#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QResource>

namespace {

const QColor deepBlue(0x12, 0x3a, 0x6b);
const QColor teal(0x1f, 0x8a, 0x8a);
const QColor amber(0xf5, 0xb7, 0x31);

// Three stacked slabs: the entity, service and controller tiers the generator writes.
void drawTiers(QPainter &p, const QRectF &box, const QColor &slab, const QColor &accent)
{
    const qreal gap = box.height() * 0.09;
    const qreal h = (box.height() - 2 * gap) / 3.0;
    for (int i = 0; i < 3; ++i) {
        const qreal inset = box.width() * 0.08 * (2 - i);
        QRectF r(box.left() + inset, box.top() + i * (h + gap), box.width() - 2 * inset, h);
        p.setBrush(i == 1 ? accent : slab);
        p.drawRoundedRect(r, h * 0.3, h * 0.3);
    }
}

void drawMark(QPainter &p, const QRectF &box)
{
    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0, teal);
    fill.setColorAt(1, deepBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(box, box.width() * 0.22, box.width() * 0.22);
    p.setPen(Qt::NoPen);
    drawTiers(p, box.adjusted(box.width() * 0.2, box.height() * 0.24, -box.width() * 0.2,
                              -box.height() * 0.24),
              QColor(255, 255, 255, 235), amber);
}

// A picture the build shipped as raw pixels (see ArtworkSizes.h); a null image when it is not
// there as expected.
QImage shippedPixels(const QString &name, const QSize &pixels)
{
    const QResource shipped(QStringLiteral(":/art/") + name);
    if (!shipped.isValid() || shipped.compressionAlgorithm() != QResource::NoCompression
        || shipped.size() != qint64(pixels.width()) * pixels.height() * 4)
        return QImage();
    return QImage(shipped.data(), pixels.width(), pixels.height(), pixels.width() * 4,
                  QImage::Format_ARGB32_Premultiplied);
}

} // namespace

namespace Artwork {

QPixmap Banner(const QSize &size, qreal devicePixelRatio)
{
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(area.topLeft(), area.topRight());
    sky.setColorAt(0, deepBlue);
    sky.setColorAt(0.65, QColor(0x1a, 0x5c, 0x7e));
    sky.setColorAt(1, teal);
    p.fillRect(area, sky);

    // Faint code brackets in the background on the right.
    QFont ghost(QStringLiteral("DejaVu Sans Mono"));
    ghost.setPixelSize(int(area.height() * 1.1));
    ghost.setBold(true);
    p.setFont(ghost);
    p.setPen(QColor(255, 255, 255, 22));
    p.drawText(QRectF(area.width() * 0.55, -area.height() * 0.18, area.width() * 0.45,
                      area.height() * 1.3),
               Qt::AlignCenter, QStringLiteral("</>"));

    const qreal markSide = area.height() * 0.7;
    const QRectF mark(area.height() * 0.2, (area.height() - markSide) / 2, markSide, markSide);
    drawMark(p, mark);

    const qreal textLeft = mark.right() + area.height() * 0.2;
    QFont title = QGuiApplication::font();
    title.setPixelSize(int(area.height() * 0.36));
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    const QRectF titleBox(textLeft, area.height() * 0.1, area.width() - textLeft,
                          area.height() * 0.48);
    p.drawText(titleBox, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("VelmoraPHP"));

    QFont subtitle = title;
    subtitle.setBold(false);
    subtitle.setPixelSize(int(area.height() * 0.17));
    p.setFont(subtitle);
    p.setPen(QColor(0xdd, 0xec, 0xf5));
    p.drawText(QRectF(textLeft, area.height() * 0.6, area.width() - textLeft,
                      area.height() * 0.3),
               Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("基于MVC三层模式的PHP代码生成器 · 2.0版"));

    QFont hint = subtitle;
    hint.setPixelSize(int(area.height() * 0.14));
    p.setFont(hint);
    p.setPen(amber);
    p.drawText(area.adjusted(0, 0, -area.height() * 0.2, -area.height() * 0.1),
               Qt::AlignRight | Qt::AlignBottom, QStringLiteral("点击查看使用帮助 ›"));
    return pixmap;
}

QPixmap ShippedBanner(const QSize &size, qreal devicePixelRatio)
{
    const int ratio = qRound(devicePixelRatio);
    if (ratio >= 1 && qFuzzyCompare(devicePixelRatio, qreal(ratio))) {
        const QImage image = shippedPixels(ShippedBannerName(size, ratio), size * ratio);
        if (!image.isNull()) {
            QPixmap pixmap = QPixmap::fromImage(image);
            pixmap.setDevicePixelRatio(ratio);
            return pixmap;
        }
    }
    return Banner(size, devicePixelRatio);
}

QImage Icon(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawMark(p, QRectF(0.5, 0.5, side - 1.0, side - 1.0));
    return image;
}

QIcon WindowIcon()
{
    // Drawing seven gradients at start-up cost the window a few milliseconds.
    QIcon icon;
    for (const int side : iconSides) {
        const QImage shipped = shippedPixels(ShippedIconName(side), QSize(side, side));
        icon.addPixmap(QPixmap::fromImage(shipped.isNull() ? Icon(side) : shipped));
    }
    return icon;
}

} // namespace Artwork
