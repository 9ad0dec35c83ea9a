// SPDX-License-Identifier: GPL-3.0-or-later
#include "RemoteGestures.h"

#include "WireFormat.h"

#include <cmath>
#include <cstdlib>
#include <limits>

int16_t padSteps(float from, float to)
{
    const float steps = std::trunc((from - to) / kPadStepPoints);
    // A float outside the target range (or not a number) has no defined
    // integer conversion; a touch that far away is clamped instead.
    if (!(steps == steps))
        return 0;
    if (steps >= float(std::numeric_limits<int16_t>::max()))
        return std::numeric_limits<int16_t>::max();
    if (steps <= float(std::numeric_limits<int16_t>::min()))
        return std::numeric_limits<int16_t>::min();
    return int16_t(steps);
}

uint32_t arrowSwipeKeyCode(PadPoint down, PadPoint up)
{
    const int horizontal = padSteps(down.x, up.x); // positive: to the left
    const int vertical = padSteps(down.y, up.y);   // positive: upwards
    if (std::abs(vertical) > std::abs(horizontal))
        return vertical > 0 ? RemoteKeyCode::Up : RemoteKeyCode::Down;
    return horizontal >= 0 ? RemoteKeyCode::Left : RemoteKeyCode::Right;
}

uint32_t pageStepKeyCode(int16_t steps)
{
    if (steps > 0)
        return RemoteKeyCode::PageUp;
    if (steps < 0)
        return RemoteKeyCode::PageDown;
    return 0;
}
