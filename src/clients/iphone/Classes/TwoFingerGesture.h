// SPDX-License-Identifier: GPL-3.0-or-later
// TwoFingerGesture: two fingers on the touch pad. It begins when a second
// finger comes down and lasts until the last finger lifts; meanwhile the
// pad's one-finger behaviour rests. Sliding the fingers turns the wheel, one
// step per the chosen distance of the fingers' mean travel, the remainder
// carried to the next movement; lifting two fingers that never went beyond
// the tap slop is a tap. A finger that comes or goes meanwhile moves nothing,
// and a finger left alone on the pad scrolls nothing.
#pragma once

#include <QList>
#include <optional>

class QWidget;
namespace platform {
class Touch;
}

class TwoFingerGesture {
public:
    enum class Change {
        None,   // nothing that the pad acts on
        Began,  // a second finger came down
        Tapped, // the last finger lifted: a tap of two fingers
        Slid,   // the last finger lifted after a slide (or more fingers)
    };

    bool isActive() const { return active_; }

    // A finger came down on the pad or lifted from it; `onPad` are the
    // fingers still there, their locations read in `view`.
    Change fingersChanged(const QList<platform::Touch*>& onPad, const QWidget* view);
    // Fingers moved: the whole wheel steps the slide makes, positive when
    // the fingers moved towards the top, with `stepPoints` of travel a step.
    // Nothing while the gesture is still a tap.
    int fingersMoved(const QList<platform::Touch*>& onPad, const QWidget* view, float stepPoints);
    // The system took the fingers away: the gesture ends with nothing done.
    void cancel();

private:
    static std::optional<double> meanY(const QList<platform::Touch*>& fingers, const QWidget* view);

    bool active_ = false;
    bool tap_ = false;     // no finger has gone beyond the tap slop
    int mostFingers_ = 0;
    double referenceY_ = 0.0; // the fingers' mean height at the last movement
    double carry_ = 0.0;      // travel towards the top not yet turned into steps
};
