// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsSlider.h"

#include "platform/Theme.h"
#include "platform/Touch.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace theme = platform::theme;

namespace {
constexpr qreal kKnob = 27; // the knob's diameter, points
}

SettingsSlider::SettingsSlider(QWidget* parent) : platform::Control(parent)
{
    setTouchMargin(30);
    resize(sizeHint());
}

void SettingsSlider::setRange(double minimum, double maximum, double step)
{
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    step_ = step > 0 ? step : 0.0;
    setValue(value_);
}

void SettingsSlider::setValue(double value)
{
    if (std::isnan(value))
        value = minimum_;
    value = std::clamp(value, minimum_, maximum_);
    if (step_ > 0) {
        // Counted in whole steps from the minimum, so 1.0 in a 0.5 to 3.0
        // range with steps of 0.1 is exactly 1.0.
        const double steps = std::round((value - minimum_) / step_);
        value = std::clamp(std::round((minimum_ + steps * step_) * 1e6) / 1e6, minimum_, maximum_);
    }
    if (value == value_)
        return;
    value_ = value;
    update();
}

qreal SettingsSlider::trackLeft() const
{
    return kKnob / 2;
}

qreal SettingsSlider::trackWidth() const
{
    return std::max<qreal>(1, width() - kKnob);
}

qreal SettingsSlider::knobCenterX() const
{
    const double span = maximum_ - minimum_;
    const double fraction = span > 0 ? (value_ - minimum_) / span : 0.0;
    return trackLeft() + fraction * trackWidth();
}

double SettingsSlider::valueAt(qreal x) const
{
    const double fraction = std::clamp((x - trackLeft()) / trackWidth(), 0.0, 1.0);
    return minimum_ + fraction * (maximum_ - minimum_);
}

bool SettingsSlider::beginTrackingWithTouch(platform::Touch* touch, platform::Event* event)
{
    follow(touch, event);
    return true;
}

bool SettingsSlider::continueTrackingWithTouch(platform::Touch* touch, platform::Event* event)
{
    follow(touch, event);
    return true;
}

void SettingsSlider::follow(platform::Touch* touch, platform::Event* event)
{
    const double before = value_;
    setValue(valueAt(touch->locationInView(this).x()));
    if (value_ != before)
        sendActionsForControlEvents(platform::ControlEventValueChanged, event);
}

void SettingsSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal middle = height() / 2.0;
    const qreal knobX = knobCenterX();
    const QRectF track(trackLeft(), middle - 2, trackWidth(), 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme::separator());
    painter.drawRoundedRect(track, 2, 2);
    painter.setBrush(theme::tint());
    painter.drawRoundedRect(QRectF(track.left(), track.top(), knobX - track.left(), track.height()), 2, 2);

    const QRectF knob(knobX - kKnob / 2, middle - kKnob / 2, kKnob, kKnob);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knob.translated(0, 1));
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor(0, 0, 0, 25), 0.5));
    painter.drawEllipse(knob);
}
