// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the remote panel's icons and pad surfaces as PNG files at twice their
// size in points. Run it after changing a drawing:
//
//     cmake --build <build> --target draw_remote_images
//     QT_QPA_PLATFORM=offscreen <build>/tools/draw_remote_images src/clients/iphone/Resources/remote
#include "platform/PhoneLook.h"

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

// The phone's colours, from PhoneLook.h (0xRRGGBB).
QColor rgb(std::uint32_t value)
{
    return QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF));
}

namespace phone = platform::phone;
const QColor kGlyph = rgb(phone::kGlyph);
const QColor kSoftGlyph = rgb(phone::kSoftGlyph);
const QColor kTint = rgb(phone::kTint);
const QColor kRed = rgb(phone::kDestructive);
const QColor kBorder = rgb(phone::kSurfaceBorder);
const QColor kSurface = rgb(phone::kSurface);
const QColor kSurfacePressed = rgb(phone::kSurfacePressed);
const QColor kWell = rgb(phone::kWell);
const QColor kWellPressed = rgb(phone::kWellPressed);

using Drawing = std::function<void(QPainter&, const QColor&)>;

QDir outputDir;

// Painter coordinates are points; the file has two pixels per point.
void save(const QString& name, QSizeF points, const QColor& color, const Drawing& draw)
{
    QImage image((points * 2).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(2, 2);
    draw(painter, color);
    painter.end();
    const QString path = outputDir.filePath(name + ".png");
    if (!image.save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

void saveGlyph(const QString& name, qreal size, const QColor& color, const Drawing& draw)
{
    save(name, QSizeF(size, size), color, draw);
}

// A glyph with a tinted twin for its pressed state.
void saveGlyphPair(const QString& name, qreal size, const QColor& color, const Drawing& draw)
{
    save(name, QSizeF(size, size), color, draw);
    save(name + "_pressed", QSizeF(size, size), kTint, draw);
}

QPen line(const QColor& color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A chevron pointing up inside a size-by-size box, turned by `degrees`.
Drawing chevron(qreal size, qreal degrees, qreal width, qreal offset = 0)
{
    return [=](QPainter& p, const QColor& c) {
        p.translate(size / 2, size / 2);
        p.rotate(degrees);
        p.setPen(line(c, width));
        const qreal h = size * 0.22;
        p.drawPolyline(QPolygonF({QPointF(-size * 0.32, h + offset), QPointF(0, -h + offset),
                                  QPointF(size * 0.32, h + offset)}));
    };
}

QPolygonF triangle(qreal left, qreal top, qreal width, qreal height, bool pointsRight)
{
    if (pointsRight)
        return QPolygonF({QPointF(left, top), QPointF(left + width, top + height / 2), QPointF(left, top + height)});
    return QPolygonF({QPointF(left + width, top), QPointF(left, top + height / 2), QPointF(left + width, top + height)});
}

void fillPolygon(QPainter& p, const QColor& c, const QPolygonF& polygon)
{
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    p.fillPath(path, c);
}

void fillRoundedRect(QPainter& p, const QColor& c, const QRectF& rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    p.fillPath(path, c);
}

void drawSurface(QPainter& p, const QRectF& rect, qreal radius, const QColor& fill)
{
    QPainterPath path;
    path.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.fillPath(path, fill);
    p.setPen(QPen(kBorder, 1));
    p.drawPath(path);
}

void drawTopBar()
{
    saveGlyph("power", 22, kRed, [](QPainter& p, const QColor& c) {
        p.setPen(line(c, 2.4));
        p.drawArc(QRectF(3, 4, 16, 16), 60 * 16, -300 * 16);
        p.drawLine(QPointF(11, 2), QPointF(11, 11));
    });
    saveGlyphPair("tabbar", 24, kSoftGlyph, [](QPainter& p, const QColor& c) {
        p.setPen(line(c, 2));
        p.drawRoundedRect(QRectF(3, 4, 18, 16), 3, 3);
        p.drawLine(QPointF(3, 14.5), QPointF(21, 14.5));
        for (qreal x : {7.5, 12.0, 16.5})
            p.drawPoint(QPointF(x, 17.5));
    });
    saveGlyphPair("settings", 24, kSoftGlyph, [](QPainter& p, const QColor& c) {
        // Three sliders: the usual sign for adjustments.
        p.setPen(line(c, 2));
        const qreal knobs[] = {15, 8, 13};
        for (int i = 0; i < 3; ++i) {
            const qreal y = 6 + i * 6;
            p.drawLine(QPointF(3, y), QPointF(21, y));
            p.setBrush(rgb(phone::kGroupedBackground)); // hollow against the panel
            p.drawEllipse(QPointF(knobs[i], y), 2.4, 2.4);
        }
    });
}

void drawPads()
{
    save("arrow_pad", QSizeF(196, 196), kSurface, [](QPainter& p, const QColor&) {
        drawSurface(p, QRectF(0, 0, 196, 196), 98, kSurface);
        p.setPen(QPen(rgb(phone::kSwipeRing), 1));
        p.drawEllipse(QPointF(98, 98), 62, 62); // the swipe ring's inner edge
    });
    save("arrow_pad_pressed", QSizeF(196, 196), kSurface, [](QPainter& p, const QColor&) {
        drawSurface(p, QRectF(0, 0, 196, 196), 98, kSurfacePressed);
        p.setPen(QPen(rgb(phone::kSwipeRingPressed), 1));
        p.drawEllipse(QPointF(98, 98), 62, 62);
    });
    save("select", QSizeF(72, 72), kWell, [](QPainter& p, const QColor&) {
        drawSurface(p, QRectF(0, 0, 72, 72), 36, kWell);
    });
    save("select_pressed", QSizeF(72, 72), kWell, [](QPainter& p, const QColor&) {
        drawSurface(p, QRectF(0, 0, 72, 72), 36, kWellPressed);
    });
    // The page strip's surface stretches on a taller screen (its round ends
    // keep their size); its grip and words are a picture of their own that
    // stays in the middle.
    save("page_pad", QSizeF(84, 196), kSurface, [](QPainter& p, const QColor&) {
        drawSurface(p, QRectF(0, 0, 84, 196), 42, kSurface);
    });
    save("page_pad_pressed", QSizeF(84, 196), kSurface, [](QPainter& p, const QColor&) {
        drawSurface(p, QRectF(0, 0, 84, 196), 42, kSurfacePressed);
    });
    save("page_grip", QSizeF(60, 68), kSurface, [](QPainter& p, const QColor&) {
        // Grip lines: the strip is dragged, not pressed.
        p.setPen(line(rgb(phone::kGrip), 2));
        for (qreal y : {22.0, 28.0, 34.0, 40.0, 46.0})
            p.drawLine(QPointF(18, y), QPointF(42, y));
        QFont font;
        font.setPixelSize(10);
        font.setWeight(QFont::DemiBold);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
        p.setFont(font);
        p.setPen(rgb(phone::kSurfaceText));
        p.drawText(QRectF(0, 48, 60, 20), Qt::AlignCenter, "PAGE");
        p.drawText(QRectF(0, 0, 60, 20), Qt::AlignCenter, "DRAG");
    });
    saveGlyphPair("arrow_up", 22, kSoftGlyph, chevron(22, 0, 2.6));
    saveGlyphPair("arrow_right", 22, kSoftGlyph, chevron(22, 90, 2.6));
    saveGlyphPair("arrow_down", 22, kSoftGlyph, chevron(22, 180, 2.6));
    saveGlyphPair("arrow_left", 22, kSoftGlyph, chevron(22, 270, 2.6));
    for (auto [name, degrees] : {std::pair<const char*, qreal>{"page_up", 0}, {"page_down", 180}}) {
        saveGlyphPair(name, 24, kSoftGlyph, [degrees](QPainter& p, const QColor& c) {
            p.save();
            chevron(24, degrees, 2.4, -3.5)(p, c);
            p.restore();
            chevron(24, degrees, 2.4, 3.5)(p, c);
        });
    }
}

void drawNavigation()
{
    saveGlyph("back", 22, kGlyph, [](QPainter& p, const QColor& c) {
        p.setPen(line(c, 2.2));
        QPainterPath path(QPointF(5, 9));
        path.lineTo(13, 9);
        path.arcTo(QRectF(9, 9, 9, 9), 90, -180);
        path.lineTo(7, 18);
        p.drawPath(path);
        p.drawPolyline(QPolygonF({QPointF(8.5, 5), QPointF(4.5, 9), QPointF(8.5, 13)}));
    });
    saveGlyph("home", 22, kGlyph, [](QPainter& p, const QColor& c) {
        p.setPen(line(c, 2.2));
        p.drawPolyline(QPolygonF({QPointF(2.5, 11), QPointF(11, 3), QPointF(19.5, 11)}));
        p.drawPolyline(QPolygonF({QPointF(5, 9), QPointF(5, 19), QPointF(17, 19), QPointF(17, 9)}));
        p.drawLine(QPointF(11, 19), QPointF(11, 14));
    });
    saveGlyph("menu", 22, kGlyph, [](QPainter& p, const QColor& c) {
        p.setPen(line(c, 2.2));
        for (qreal y : {5.0, 11.0, 17.0})
            p.drawLine(QPointF(4, y), QPointF(18, y));
    });
    saveGlyph("info", 22, kGlyph, [](QPainter& p, const QColor& c) {
        p.setPen(line(c, 2));
        p.drawEllipse(QPointF(11, 11), 9, 9);
        p.setPen(line(c, 2.4));
        p.drawLine(QPointF(11, 10), QPointF(11, 15.5));
        p.drawPoint(QPointF(11, 6.5));
    });
}

void drawTransport()
{
    saveGlyph("play_pause", 22, kGlyph, [](QPainter& p, const QColor& c) {
        fillPolygon(p, c, triangle(2, 5, 9, 12, true));
        fillRoundedRect(p, c, QRectF(13, 5, 2.8, 12), 1);
        fillRoundedRect(p, c, QRectF(17.5, 5, 2.8, 12), 1);
    });
    saveGlyph("stop", 22, kGlyph, [](QPainter& p, const QColor& c) { fillRoundedRect(p, c, QRectF(5, 5, 12, 12), 2); });
    saveGlyph("rewind", 22, kGlyph, [](QPainter& p, const QColor& c) {
        fillPolygon(p, c, triangle(1.5, 5, 9.5, 12, false));
        fillPolygon(p, c, triangle(10.5, 5, 9.5, 12, false));
    });
    saveGlyph("forward", 22, kGlyph, [](QPainter& p, const QColor& c) {
        fillPolygon(p, c, triangle(1.5, 5, 9.5, 12, true));
        fillPolygon(p, c, triangle(10.5, 5, 9.5, 12, true));
    });
    saveGlyph("previous", 22, kGlyph, [](QPainter& p, const QColor& c) {
        fillRoundedRect(p, c, QRectF(2.5, 5, 2.6, 12), 1);
        fillPolygon(p, c, triangle(5, 5, 8, 12, false));
        fillPolygon(p, c, triangle(12, 5, 8, 12, false));
    });
    saveGlyph("next", 22, kGlyph, [](QPainter& p, const QColor& c) {
        fillPolygon(p, c, triangle(2, 5, 8, 12, true));
        fillPolygon(p, c, triangle(9, 5, 8, 12, true));
        fillRoundedRect(p, c, QRectF(16.9, 5, 2.6, 12), 1);
    });
}

void drawVolumeAndChannel()
{
    saveGlyph("plus", 14, kGlyph, [](QPainter& p, const QColor& c) {
        p.setPen(line(c, 2.2));
        p.drawLine(QPointF(7, 2), QPointF(7, 12));
        p.drawLine(QPointF(2, 7), QPointF(12, 7));
    });
    saveGlyph("minus", 14, kGlyph, [](QPainter& p, const QColor& c) {
        p.setPen(line(c, 2.2));
        p.drawLine(QPointF(2, 7), QPointF(12, 7));
    });
    saveGlyph("channel_up", 14, kGlyph, chevron(14, 0, 2.2));
    saveGlyph("channel_down", 14, kGlyph, chevron(14, 180, 2.2));
    saveGlyph("mute", 18, kGlyph, [](QPainter& p, const QColor& c) {
        fillPolygon(p, c, QPolygonF({QPointF(1.5, 6.5), QPointF(5, 6.5), QPointF(9.5, 2.5), QPointF(9.5, 15.5),
                                     QPointF(5, 11.5), QPointF(1.5, 11.5)}));
        p.setPen(line(c, 1.8));
        p.drawLine(QPointF(12, 6.5), QPointF(17, 11.5));
        p.drawLine(QPointF(17, 6.5), QPointF(12, 11.5));
    });
    saveGlyph("record", 14, kRed, [](QPainter& p, const QColor& c) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(7, 7), 5.5, 5.5);
    });
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    outputDir = QDir(QString::fromLocal8Bit(argv[1]));
    if (!outputDir.mkpath("."))
        return 1;
    drawTopBar();
    drawPads();
    drawNavigation();
    drawTransport();
    drawVolumeAndChannel();
    return 0;
}
