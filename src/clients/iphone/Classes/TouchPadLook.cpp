// SPDX-License-Identifier: GPL-3.0-or-later
#include "TouchPadLook.h"

#include "platform/PhoneLook.h"
#include "platform/Theme.h"

#include "ui_TouchPadView.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace phone = platform::phone;
using platform::theme::color;

namespace {
constexpr qreal kPadRadius = 14;
constexpr qreal kWheelRadius = 12;
} // namespace

TouchPadSurface::TouchPadSurface(QWidget* parent) : QWidget(parent) {}

void TouchPadSurface::setKind(Kind kind)
{
    kind_ = kind;
    update();
}

void TouchPadSurface::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The border's line lies on the pixel inside the edge, its corners half a
    // point tighter than the surface's.
    const QRectF edge = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient light;
    if (kind_ == Pad) {
        light = QLinearGradient(edge.topLeft(), edge.bottomLeft());
        light.setColorAt(0, color(phone::kPadTop));
        light.setColorAt(1, color(phone::kPadBottom));
    } else {
        light = QLinearGradient(edge.topLeft(), edge.topRight());
        light.setColorAt(0, color(phone::kWheelEdge));
        light.setColorAt(0.5, color(phone::kWheelMiddle));
        light.setColorAt(1, color(phone::kWheelEdge));
    }
    const qreal radius = kind_ == Pad ? kPadRadius : kWheelRadius;
    QPainterPath outline;
    outline.addRoundedRect(edge, radius - 0.5, radius - 0.5);
    painter.fillPath(outline, light);
    painter.setPen(QPen(color(phone::kPadBorder), 1));
    painter.drawPath(outline);
}

void applyTouchPadLook(Ui::TouchPadScreen& ui)
{
    QWidget* root = ui.touchPad->parentWidget();
    root->setAutoFillBackground(true);
    QPalette palette = root->palette();
    palette.setColor(QPalette::Window, color(phone::kGroupedBackground));
    root->setPalette(palette);

    ui.padBackdrop->setKind(TouchPadSurface::Pad);
    ui.wheelBackdrop->setKind(TouchPadSurface::Wheel);
    QPalette hint = ui.padHint->palette();
    hint.setColor(QPalette::WindowText, color(phone::kPadHint));
    ui.padHint->setPalette(hint);
}
