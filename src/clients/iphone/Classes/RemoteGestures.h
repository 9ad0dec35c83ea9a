// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of the remote panel's two gesture pads, as plain functions:
// a swipe on the arrow pad picks an arrow key, a drag on the page pad moves
// one page per 40 points. Points are the pads' own coordinates in 32-bit
// floats, as touch locations are read.
#pragma once

#include <cstdint>

struct PadPoint {
    float x = 0;
    float y = 0;

    // Exact float equality: a page-pad tap is a touch that did not move at all.
    friend bool operator==(const PadPoint& a, const PadPoint& b) { return a.x == b.x && a.y == b.y; }
    friend bool operator!=(const PadPoint& a, const PadPoint& b) { return !(a == b); }
};

// Points of travel per arrow or page step.
constexpr float kPadStepPoints = 40.0f;

// Whole steps of travel from `from` to `to` along one axis: positive when
// `to` is smaller (left or up), truncated towards zero, within int16_t.
int16_t padSteps(float from, float to);

// The arrow key of a swipe from `down` to `up`: Up or Down when the vertical
// steps outnumber the horizontal ones, otherwise Left or Right (ties and
// swipes shorter than a step go to Left).
uint32_t arrowSwipeKeyCode(PadPoint down, PadPoint up);

// The page key for a drag step count: Page Up for a positive count (the
// finger went up), Page Down for a negative one, 0 for none.
uint32_t pageStepKeyCode(int16_t steps);
