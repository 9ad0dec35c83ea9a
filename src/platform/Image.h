// SPDX-License-Identifier: GPL-3.0-or-later
// An image as the screens hand it to buttons: pixels at hand, or a file (a
// resource) that is read only when the image is first wanted, as a button
// wants it when it is drawn. A screen built at start-up but not yet seen then
// reads none of its images, and copies of an image share the one reading.
#pragma once

#include <QMargins>
#include <QPixmap>
#include <QString>

#include <memory>

class QPainter;
class QRectF;

namespace platform {

// Reads an image file (a resource) in the format its name ends with. Qt
// would otherwise load every image format plugin installed to let each look
// at the file first, which costs start-up a millisecond for the tab bar's
// icons alone. A file whose name does not say its format is read as Qt
// reads any file. Like QImageReader, a name ending in "@2x" gives a pixmap
// of two pixels a point.
QPixmap readImageFile(const QString& path);

class Image {
public:
    Image() = default;
    // Pixels at hand stand for an image wherever one is asked for.
    Image(const QPixmap& pixmap); // NOLINT(google-explicit-constructor)
    // `devicePixelRatio`: the file's pixels per point (2 for an image drawn
    // at twice its size for sharp scaling).
    static Image fromFile(const QString& path, qreal devicePixelRatio = 1);

    // The pixels; a file is read the first time (a null pixmap if it cannot be).
    QPixmap pixmap() const;

    // The same image with edges (in points) that keep their size when it is
    // drawn larger or smaller: only the part between them stretches, so a
    // pill-shaped surface drawn taller keeps its round ends.
    Image stretchable(const QMargins& caps) const;
    const QMargins& caps() const { return caps_; }
    // Draws the image over `target`, stretched (between its caps, if any).
    void draw(QPainter& painter, const QRectF& target) const;

private:
    struct Pixels {
        QString path;
        qreal devicePixelRatio = 1;
        bool read = false;
        QPixmap pixmap;
    };
    std::shared_ptr<Pixels> pixels_;
    QMargins caps_;
};

} // namespace platform
