// SPDX-License-Identifier: GPL-3.0-or-later
// The touch event handed to touch handlers and control actions: every finger
// that is on the screen at that moment.
#pragma once

#include "platform/Touch.h"

namespace platform {

class Event {
public:
    Event() = default;
    Event(QList<Touch*> touches, double timestamp) : touches_(std::move(touches)), timestamp_(timestamp) {}

    TouchSet allTouches() const { return TouchSet(touches_); }
    // The touches that came down on `view` or on any view inside it.
    TouchSet touchesForView(const QWidget* view) const;
    // One of them, or null (what touchesForView(view).anyObject() gives).
    Touch* anyTouchForView(const QWidget* view) const;
    double timestamp() const { return timestamp_; }

private:
    static bool cameDownOn(const Touch* touch, const QWidget* view);

    QList<Touch*> touches_;
    double timestamp_ = 0;
};

} // namespace platform
