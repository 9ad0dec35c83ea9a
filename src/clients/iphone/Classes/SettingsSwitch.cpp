// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsSwitch.h"

#include "platform/Theme.h"

#include <QPainter>

namespace theme = platform::theme;
namespace phone = platform::phone;

SettingsSwitch::SettingsSwitch(QWidget* parent) : platform::Control(parent)
{
    setTouchMargin(20);
    resize(sizeHint());
    addTarget(this, platform::Control::Action([this](platform::Control*, platform::Event* event) {
        setOn(!isOn());
        sendActionsForControlEvents(platform::ControlEventValueChanged, event);
    }), platform::ControlEventTouchUpInside);
}

void SettingsSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme::color(isOn() ? phone::kSwitchOn : phone::kSwitchOff));
    painter.drawRoundedRect(track, radius, radius);
    const qreal knob = track.height() - 4;
    const qreal x = isOn() ? track.right() - 2 - knob : track.left() + 2;
    painter.setBrush(theme::shade(phone::kKnobShadowAlpha));
    painter.drawEllipse(QRectF(x, track.top() + 3, knob, knob));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}
