// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingSwitch.h"

#include <QPainter>

SettingSwitch::SettingSwitch(QWidget* parent) : platform::Control(parent)
{
    setTouchMargin(20);
    resize(sizeHint());
    addTarget(this, platform::Control::Action([this](platform::Control*, platform::Event* event) {
        setOn(!isOn());
        sendActionsForControlEvents(platform::ControlEventValueChanged, event);
    }), platform::ControlEventTouchUpInside);
}

void SettingSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(isOn() ? QColor(0x34, 0xc7, 0x59) : QColor(0xe9, 0xe9, 0xeb));
    painter.drawRoundedRect(track, radius, radius);
    const qreal knob = track.height() - 4;
    const qreal x = isOn() ? track.right() - 2 - knob : track.left() + 2;
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(QRectF(x, track.top() + 3, knob, knob));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}
