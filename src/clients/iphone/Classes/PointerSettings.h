// SPDX-License-Identifier: GPL-3.0-or-later
// PointerSettings: how the touch pad, the wheel strip and the track ball turn
// finger travel into pointer movement and wheel steps, as the settings sheet
// stores them. Absent keys read as the defaults, which move the pointer one
// point per point of finger travel and turn the wheel one step per 10 points
// in the traditional direction, exactly as the pad does without settings.
#pragma once

#include <QString>

namespace platform {
class UserDefaults;
}

struct PointerSettings {
    // The sliders' ranges and steps; stored values outside are held at the ends.
    static constexpr double kMinimumSpeed = 0.5;
    static constexpr double kMaximumSpeed = 3.0;
    static constexpr double kSpeedStep = 0.1;
    // Finger travel for one wheel step at scroll speed 1.
    static constexpr float kWheelStepPoints = 10.0f;

    // Pointer points per point of finger travel, before acceleration.
    double pointerSpeed = 1.0;
    // Faster finger movements move the pointer further (see PointerMotion).
    bool acceleration = false;
    // Wheel steps per kWheelStepPoints of finger travel.
    double scrollSpeed = 1.0;
    // Content follows the fingers: moving up scrolls down.
    bool naturalScrolling = false;

    // The settings as stored now. A value that is not a finite number reads
    // as the default.
    static PointerSettings load(const platform::UserDefaults& defaults);
    static PointerSettings current();

    // The pad moves exactly as without settings: deltas cut towards zero,
    // no fraction carried.
    bool movesOneToOne() const { return pointerSpeed == 1.0 && !acceleration; }
    // Finger travel for one wheel step.
    float wheelStepPoints() const { return float(double(kWheelStepPoints) / scrollSpeed); }

    friend bool operator==(const PointerSettings& a, const PointerSettings& b)
    {
        return a.pointerSpeed == b.pointerSpeed && a.acceleration == b.acceleration && a.scrollSpeed == b.scrollSpeed
            && a.naturalScrolling == b.naturalScrolling;
    }
};
