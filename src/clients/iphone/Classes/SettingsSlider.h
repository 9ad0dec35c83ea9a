// SPDX-License-Identifier: GPL-3.0-or-later
// A slider for a setting: a track with a round knob. A finger that comes down
// on it puts the knob there and drags it; the value moves in whole steps and
// every change is reported as a value change while the finger moves.
#pragma once

#include "platform/Control.h"

class SettingsSlider : public platform::Control {
    Q_OBJECT

public:
    explicit SettingsSlider(QWidget* parent = nullptr);

    double value() const { return value_; }
    // Held within the range and moved onto the nearest step.
    void setValue(double value);
    double minimumValue() const { return minimum_; }
    double maximumValue() const { return maximum_; }
    void setRange(double minimum, double maximum, double step);

    // The knob's centre, in the slider's coordinates (tests, drawing).
    qreal knobCenterX() const;
    // The value a finger at `x` asks for.
    double valueAt(qreal x) const;

    QSize sizeHint() const override { return {120, 31}; }

    bool beginTrackingWithTouch(platform::Touch* touch, platform::Event* event) override;
    bool continueTrackingWithTouch(platform::Touch* touch, platform::Event* event) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void follow(platform::Touch* touch, platform::Event* event);
    qreal trackLeft() const;
    qreal trackWidth() const;

    double minimum_ = 0.0;
    double maximum_ = 1.0;
    double step_ = 0.1;
    double value_ = 0.0;
};
