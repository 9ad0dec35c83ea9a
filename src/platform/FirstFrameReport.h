// SPDX-License-Identifier: GPL-3.0-or-later
// Tells whoever started the program when its first frame is on the screen.
// When the environment variable QUILLON_FIRST_FRAME_FD names an open file
// descriptor, the line "first frame" is written to it once the window has
// painted its first frame and that frame has gone to the window system, and
// the descriptor is closed. The start-up benchmark and the Wayland test read
// it; without the variable nothing happens.
#pragma once

class QWidget;

namespace platform::FirstFrameReport {

inline constexpr const char* kVariable = "QUILLON_FIRST_FRAME_FD";

void watch(QWidget* window);

} // namespace platform::FirstFrameReport
