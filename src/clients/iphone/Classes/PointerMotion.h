// SPDX-License-Identifier: GPL-3.0-or-later
// PointerMotion: finger travel on a pointer control turned into the 16-bit
// movement of mouse events at the pointer speed and acceleration the user
// chose. With the default settings it is the plain cut towards zero of
// PointerDelta.h; otherwise the part of a point cut off in one event is
// carried to the next, so that slow movements add up instead of being lost.
#pragma once

#include "PointerDelta.h"
#include "PointerSettings.h"

#include <cstdint>

class PointerMotion {
public:
    // The acceleration curve, by the finger's travel d in one movement event
    // (a touch screen reports about 60 a second, so d follows the finger's
    // speed): gain 1 up to kAccelerationThreshold points, then growing by
    // kAccelerationSlope per point, held at kMaximumAcceleration.
    static constexpr double kAccelerationThreshold = 2.0;
    static constexpr double kAccelerationSlope = 0.1;
    static constexpr double kMaximumAcceleration = 3.0;
    static double accelerationGain(double distance);

    struct Delta {
        int16_t dx = 0;
        int16_t dy = 0;
        friend bool operator==(const Delta& a, const Delta& b) { return a.dx == b.dx && a.dy == b.dy; }
    };

    // A new touch: the settings it moves by, and no fraction carried over
    // from the touch before.
    void begin(const PointerSettings& settings);
    const PointerSettings& settings() const { return settings_; }

    // The movement for a finger that went from `from` to `to` (points).
    Delta move(const FloatPoint& from, const FloatPoint& to);

private:
    PointerSettings settings_;
    double carryX_ = 0.0;
    double carryY_ = 0.0;
};
