// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic the pointer controls share: touch locations as two 32-bit
// floats, and float differences cut towards zero into the signed 16-bit
// movement of a mouse event. These carry no fraction forward; PointerMotion
// does when the pointer speed or acceleration asks for it.
#pragma once

#include <QPointF>

#include <cmath>
#include <cstdint>

struct FloatPoint {
    float x = 0.0f;
    float y = 0.0f;

    static FloatPoint from(const QPointF& p) { return {float(p.x()), float(p.y())}; }
    friend bool operator==(const FloatPoint& a, const FloatPoint& b) { return a.x == b.x && a.y == b.y; }
    friend bool operator!=(const FloatPoint& a, const FloatPoint& b) { return !(a == b); }
};

// Truncates towards zero and keeps the low 16 bits, as a 16-bit field of a
// packet does. Values beyond the 32-bit range (or not a number) are held at
// its ends first, so the conversion itself is always defined.
inline int16_t truncatedToInt16(double value)
{
    if (std::isnan(value))
        return 0;
    const double whole = std::trunc(value);
    const int64_t held = whole >= 2147483647.0 ? 2147483647 : whole <= -2147483648.0 ? -2147483648LL : int64_t(whole);
    return int16_t(uint16_t(uint32_t(held) & 0xFFFFu));
}

// `to - from` in 32-bit float, truncated to a 16-bit movement.
inline int16_t pointDelta(float to, float from)
{
    return truncatedToInt16(double(to - from));
}
