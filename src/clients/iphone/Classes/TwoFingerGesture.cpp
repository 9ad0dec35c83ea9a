// SPDX-License-Identifier: GPL-3.0-or-later
#include "TwoFingerGesture.h"

#include "platform/Touch.h"

#include <algorithm>
#include <cmath>

std::optional<double> TwoFingerGesture::meanY(const QList<platform::Touch*>& fingers, const QWidget* view)
{
    if (fingers.isEmpty())
        return std::nullopt;
    double sum = 0.0;
    for (const platform::Touch* finger : fingers)
        sum += finger->locationInView(view).y();
    return sum / double(fingers.size());
}

TwoFingerGesture::Change TwoFingerGesture::fingersChanged(const QList<platform::Touch*>& onPad, const QWidget* view)
{
    const int count = int(onPad.size());
    if (!active_) {
        if (count < 2)
            return Change::None;
        active_ = true;
        tap_ = true;
        mostFingers_ = count;
        carry_ = 0.0;
        referenceY_ = *meanY(onPad, view);
        return Change::Began;
    }
    mostFingers_ = std::max(mostFingers_, count);
    if (count > 0) {
        // The mean jumps when a finger comes or goes; measure from the new one.
        referenceY_ = *meanY(onPad, view);
        return Change::None;
    }
    const bool tapped = tap_ && mostFingers_ == 2;
    cancel();
    return tapped ? Change::Tapped : Change::Slid;
}

int TwoFingerGesture::fingersMoved(const QList<platform::Touch*>& onPad, const QWidget* view, float stepPoints)
{
    if (!active_ || onPad.size() < 2)
        return 0;
    for (const platform::Touch* finger : onPad)
        if (finger->movedBeyondTapSlop())
            tap_ = false;
    const double y = *meanY(onPad, view);
    carry_ += referenceY_ - y;
    referenceY_ = y;
    // Travel within the tap slop is kept, so the first step comes as soon
    // as the slide is one.
    if (tap_ || !(stepPoints > 0.0f))
        return 0;
    const double steps = std::trunc(carry_ / double(stepPoints));
    carry_ -= steps * double(stepPoints);
    // Held within an int for any location; a pad is a few hundred points.
    return int(std::clamp(steps, -1000.0, 1000.0));
}

void TwoFingerGesture::cancel()
{
    active_ = false;
    tap_ = false;
    mostFingers_ = 0;
    carry_ = 0.0;
}
