// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Image.h"

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

QPixmap Image::pixmap() const
{
    if (!pixels_)
        return QPixmap();
    if (!pixels_->read) {
        pixels_->read = true;
        pixels_->pixmap = QPixmap(pixels_->path);
        if (!pixels_->pixmap.isNull())
            pixels_->pixmap.setDevicePixelRatio(pixels_->devicePixelRatio);
    }
    return pixels_->pixmap;
}

} // namespace platform
