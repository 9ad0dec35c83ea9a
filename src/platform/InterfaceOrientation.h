// SPDX-License-Identifier: GPL-3.0-or-later
// The ways the phone's interface can be turned, with the platform's values.
#pragma once

namespace platform {

enum class InterfaceOrientation {
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeRight = 3,
    LandscapeLeft = 4,
};

inline bool isLandscape(InterfaceOrientation orientation)
{
    return orientation == InterfaceOrientation::LandscapeRight || orientation == InterfaceOrientation::LandscapeLeft;
}

} // namespace platform
