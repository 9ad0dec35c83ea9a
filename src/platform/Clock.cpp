// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Clock.h"

#include <cmath>

namespace platform {

std::int64_t secondsToNs(double seconds)
{
    // Rounded to whole nanoseconds so that 0.1 s ten times is exactly 1 s.
    return static_cast<std::int64_t>(std::llround(seconds * 1e9));
}

double nsToSeconds(std::int64_t ns)
{
    return static_cast<double>(ns) / 1e9;
}

} // namespace platform
