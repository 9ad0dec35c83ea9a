// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Image.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

namespace platform {

Image::Image(const QPixmap& pixmap) : pixels_(std::make_shared<Pixels>())
{
    pixels_->read = true;
    pixels_->pixmap = pixmap;
}

Image Image::fromFile(const QString& path, qreal devicePixelRatio)
{
    Image image;
    image.pixels_ = std::make_shared<Pixels>();
    image.pixels_->path = path;
    image.pixels_->devicePixelRatio = devicePixelRatio;
    return image;
}

QPixmap readImageFile(const QString& path)
{
    QImageReader reader(path, QFileInfo(path).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    return image.isNull() ? QPixmap(path) : QPixmap::fromImage(image);
}

QPixmap Image::pixmap() const
{
    if (!pixels_)
        return QPixmap();
    if (!pixels_->read) {
        pixels_->read = true;
        pixels_->pixmap = readImageFile(pixels_->path);
        if (!pixels_->pixmap.isNull())
            pixels_->pixmap.setDevicePixelRatio(pixels_->devicePixelRatio);
    }
    return pixels_->pixmap;
}

Image Image::stretchable(const QMargins& caps) const
{
    Image image = *this;
    image.caps_ = caps;
    return image;
}

void Image::draw(QPainter& painter, const QRectF& target) const
{
    const QPixmap pixels = pixmap();
    if (pixels.isNull())
        return;
    if (caps_.isNull()) {
        painter.drawPixmap(target, pixels, QRectF(pixels.rect()));
        return;
    }
    // Nine patches: the corners as they are, the edges stretched along
    // themselves, the middle both ways. Caps wider than the target shrink
    // with it.
    const qreal ratio = pixels.devicePixelRatio();
    const QRectF source(pixels.rect());
    const qreal xs[] = {source.left(), source.left() + caps_.left() * ratio, source.right() - caps_.right() * ratio,
                        source.right()};
    const qreal ys[] = {source.top(), source.top() + caps_.top() * ratio, source.bottom() - caps_.bottom() * ratio,
                        source.bottom()};
    const qreal squeezeX = qMin<qreal>(1, target.width() / qMax(1, caps_.left() + caps_.right()));
    const qreal squeezeY = qMin<qreal>(1, target.height() / qMax(1, caps_.top() + caps_.bottom()));
    const qreal xt[] = {target.left(), target.left() + caps_.left() * squeezeX,
                        target.right() - caps_.right() * squeezeX, target.right()};
    const qreal yt[] = {target.top(), target.top() + caps_.top() * squeezeY,
                        target.bottom() - caps_.bottom() * squeezeY, target.bottom()};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            const QRectF from(QPointF(xs[column], ys[row]), QPointF(xs[column + 1], ys[row + 1]));
            const QRectF to(QPointF(xt[column], yt[row]), QPointF(xt[column + 1], yt[row + 1]));
            if (from.width() > 0 && from.height() > 0 && to.width() > 0 && to.height() > 0)
                painter.drawPixmap(to, pixels, from);
        }
}

} // namespace platform
