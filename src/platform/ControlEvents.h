// SPDX-License-Identifier: GPL-3.0-or-later
// The events a control reports to its targets, and the states it shows.
#pragma once

#include <cstdint>

namespace platform {

using ControlEvents = uint32_t;

enum : ControlEvents {
    ControlEventTouchDown = 1u << 0,
    ControlEventTouchDownRepeat = 1u << 1, // a touch down with a tap count above 1
    ControlEventTouchDragInside = 1u << 2,
    ControlEventTouchDragOutside = 1u << 3,
    ControlEventTouchDragEnter = 1u << 4,
    ControlEventTouchDragExit = 1u << 5,
    ControlEventTouchUpInside = 1u << 6,
    ControlEventTouchUpOutside = 1u << 7,
    ControlEventTouchCancel = 1u << 8,
    ControlEventValueChanged = 1u << 12,
    // Bits 24 to 27 are free for a control's own events, e.g. 0x01000000.
    ControlEventApplicationReserved = 0x0F000000u,
    ControlEventAllTouchEvents = 0x00000FFFu,
    ControlEventAllEvents = 0xFFFFFFFFu,
};

using ControlState = uint32_t;

enum : ControlState {
    ControlStateNormal = 0,
    ControlStateHighlighted = 1u << 0,
    ControlStateDisabled = 1u << 1,
    ControlStateSelected = 1u << 2,
};

} // namespace platform
