// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Button.h"

#include "platform/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace platform {

Button::Button(QWidget* parent) : Button(RoundedRect, parent) {}

Button::Button(ButtonType type, QWidget* parent) : Control(parent), type_(type)
{
    setFont(theme::font(15, type == RoundedRect ? QFont::DemiBold : QFont::Normal));
}

void Button::setButtonType(ButtonType type)
{
    type_ = type;
    update();
}

template <class V>
const V* Button::lookup(const std::map<ControlState, V>& values, ControlState state)
{
    if (auto it = values.find(state); it != values.end())
        return &it->second;
    for (ControlState part : {ControlStateDisabled, ControlStateSelected, ControlStateHighlighted})
        if (state & part)
            if (auto it = values.find(part); it != values.end())
                return &it->second;
    if (auto it = values.find(ControlStateNormal); it != values.end())
        return &it->second;
    return nullptr;
}

void Button::setTitle(const QString& title, ControlState state)
{
    look_.titles[state] = title;
    updateGeometry();
    update();
}

void Button::setImage(const Image& image, ControlState state)
{
    look_.images[state] = image;
    updateGeometry();
    update();
}

void Button::setBackgroundImage(const Image& image, ControlState state)
{
    look_.backgrounds[state] = image;
    update();
}

void Button::setTitleColor(const QColor& color, ControlState state)
{
    look_.titleColors[state] = color;
    update();
}

QString Button::titleForState(ControlState state) const
{
    const QString* title = lookup(look_.titles, state);
    return title ? *title : QString();
}

QPixmap Button::imageForState(ControlState state) const
{
    const Image* image = lookup(look_.images, state);
    return image ? image->pixmap() : QPixmap();
}

QPixmap Button::backgroundImageForState(ControlState state) const
{
    const Image* image = lookup(look_.backgrounds, state);
    return image ? image->pixmap() : QPixmap();
}

QColor Button::titleColorForState(ControlState state) const
{
    if (const QColor* color = lookup(look_.titleColors, state))
        return *color;
    if (type_ == RoundedRect)
        return (state & ControlStateSelected) ? QColor(Qt::white) : theme::tint();
    return backgroundImageForState(state).isNull() ? theme::tint() : QColor(Qt::white);
}

void Button::setAdjustsImageWhenHighlighted(bool adjusts)
{
    adjustsImageWhenHighlighted_ = adjusts;
    update();
}

bool Button::hasOwnHighlightedLook() const
{
    const ControlState touched = state();
    return look_.images.count(touched) || look_.backgrounds.count(touched)
        || look_.images.count(ControlStateHighlighted) || look_.backgrounds.count(ControlStateHighlighted);
}

QSize Button::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QPixmap image = currentImage();
    const int textWidth = metrics.horizontalAdvance(currentTitle());
    const int width = textWidth + (image.isNull() ? 0 : image.width() + 6) + 24;
    const int height = qMax(metrics.height(), image.isNull() ? 0 : image.height()) + 16;
    return {qMax(width, 44), qMax(height, 36)};
}

void Button::paintRoundedChrome(QPainter& painter, const QRectF& area) const
{
    const qreal radius = qMin<qreal>(10, area.height() / 4);
    QPainterPath path;
    path.addRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    const ControlState current = state();
    QColor fill = theme::cellBackground();
    if (current & ControlStateSelected)
        fill = theme::tint();
    if (current & ControlStateHighlighted)
        fill = (current & ControlStateSelected) ? theme::tint().darker(130) : theme::color(phone::kButtonHighlight);
    painter.fillPath(path, fill);
    painter.setPen(QPen(theme::buttonBorder(), 1));
    painter.drawPath(path);
}

void Button::paintContent(QPainter& painter, const QRectF& area) const
{
    const QPixmap image = currentImage();
    const QString title = currentTitle();
    const QFontMetricsF metrics(font());
    QSizeF imageSize = image.isNull() ? QSizeF() : QSizeF(image.size()) / image.devicePixelRatio();
    if (!imageSize.isEmpty()) {
        // Images shrink to fit a smaller button but never grow past their size.
        imageSize.scale(imageSize.boundedTo(area.size() - QSizeF(4, 4)), Qt::KeepAspectRatio);
    }
    const qreal gap = (!imageSize.isEmpty() && !title.isEmpty()) ? 6 : 0;
    const qreal textWidth = qMin(metrics.horizontalAdvance(title), area.width() - imageSize.width() - gap);
    const qreal total = imageSize.width() + gap + textWidth;
    qreal x = area.left() + (area.width() - total) / 2;
    if (!imageSize.isEmpty()) {
        const QRectF target(QPointF(x, area.top() + (area.height() - imageSize.height()) / 2), imageSize);
        painter.drawPixmap(target, image, QRectF(image.rect()));
        x += imageSize.width() + gap;
    }
    if (!title.isEmpty()) {
        painter.setPen(currentTitleColor());
        painter.setFont(font());
        const QString shown = metrics.elidedText(title, Qt::ElideRight, textWidth + 1);
        painter.drawText(QRectF(x, area.top(), textWidth + 1, area.height()), Qt::AlignCenter, shown);
    }
}

void Button::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area = rect();
    const Image* background = lookup(look_.backgrounds, state());
    if (background && !background->pixmap().isNull())
        background->draw(painter, area);
    else if (type_ == RoundedRect)
        paintRoundedChrome(painter, area);

    if (!isEnabled())
        painter.setOpacity(0.4);
    paintContent(painter, area);
    painter.setOpacity(1);

    // The pressed look: a touched custom button without a look of its own darkens.
    if (type_ == Custom && isHighlighted() && adjustsImageWhenHighlighted_ && !hasOwnHighlightedLook()) {
        QPainterPath path;
        path.addRoundedRect(area, 6, 6);
        painter.fillPath(path, theme::shade(phone::kPressedShadeAlpha));
    }
}

} // namespace platform
