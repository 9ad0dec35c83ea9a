// SPDX-License-Identifier: GPL-3.0-or-later
#include "PointerMotion.h"

#include <algorithm>
#include <cmath>
#include <limits>

double PointerMotion::accelerationGain(double distance)
{
    if (!(distance > kAccelerationThreshold)) // also a distance that is not a number
        return 1.0;
    return std::min(kMaximumAcceleration, 1.0 + kAccelerationSlope * (distance - kAccelerationThreshold));
}

void PointerMotion::begin(const PointerSettings& settings)
{
    settings_ = settings;
    carryX_ = 0.0;
    carryY_ = 0.0;
}

namespace {
// Adds `travel` to the carried fraction and takes out the whole points. A
// gain can take a movement beyond the 16-bit field: it is held at the ends
// (wrapped round it would point the other way) and the excess dropped.
int16_t takeWholePoints(double& carry, double travel)
{
    carry += travel;
    if (!std::isfinite(carry))
        carry = 0.0;
    const double whole = std::trunc(carry);
    carry -= whole;
    return int16_t(std::clamp(whole, double(std::numeric_limits<int16_t>::min()),
                              double(std::numeric_limits<int16_t>::max())));
}
} // namespace

PointerMotion::Delta PointerMotion::move(const FloatPoint& from, const FloatPoint& to)
{
    if (settings_.movesOneToOne())
        return {pointDelta(to.x, from.x), pointDelta(to.y, from.y)};
    // The differences in 32-bit float, as the one-to-one path takes them.
    const double x = double(to.x - from.x);
    const double y = double(to.y - from.y);
    double gain = settings_.pointerSpeed;
    if (settings_.acceleration)
        gain *= accelerationGain(std::hypot(x, y));
    return {takeWholePoints(carryX_, x * gain), takeWholePoints(carryY_, y * gain)};
}
