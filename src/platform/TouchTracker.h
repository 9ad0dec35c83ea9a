// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps every finger that is on the screen as a Touch and decides its tap
// count from the taps before it. One tracker serves the whole application,
// so that touches of several views can be read from one event.
#pragma once

#include "platform/Event.h"
#include "platform/Touch.h"

#include <QHash>
#include <functional>
#include <memory>

namespace platform {

class TouchTracker {
public:
    // Milliseconds; by default the main run loop's clock (a test's manual
    // clock when one is installed).
    using TimeSource = std::function<qint64()>;

    static TouchTracker& instance();

    void setClock(TimeSource clock);
    void resetClock();
    qint64 now() const;

    // Tap rules, from the platform's style hints.
    int doubleTapIntervalMs() const;
    qreal doubleTapDistance(bool mouse) const;
    qreal tapSlop() const;

    // `repeatsLastTap`: the window system has already judged this touch a
    // quick repeat of the tap before it (a mouse double-click, timed by the
    // event times rather than by when the events were handled), so it
    // continues that tap's count when the tap was on the same view.
    Touch* begin(quint64 key, QWidget* view, const QPointF& globalLocation, bool mouse, bool repeatsLastTap = false);
    Touch* find(quint64 key) const;
    void move(Touch* touch, const QPointF& globalLocation);
    // The same at a time already read from now(): one event, one reading.
    void move(Touch* touch, const QPointF& globalLocation, qint64 nowMs);
    void end(Touch* touch, const QPointF& globalLocation);
    void cancel(Touch* touch);
    // Forgets a touch once its last phase has been delivered.
    void remove(Touch* touch);
    // Forgets every touch of a view that is going away, without delivering anything.
    void forgetView(const QWidget* view);
    // Forgets the last tap, so that the next touch counts 1 (tests, screen changes).
    void forgetTaps();

    Event eventNow() const;
    Event eventAt(qint64 nowMs) const;
    // Every touch on the screen, in the order they came down. Shared, not
    // copied, by the events that hand them out.
    const QList<Touch*>& activeTouches() const { return active_; }

private:
    TouchTracker();

    struct Tap {
        QPointer<QWidget> view;
        QPointF globalLocation;
        qint64 liftedAtMs = 0;
        int tapCount = 0;
        bool valid = false;
        bool mouse = false;
    };
    struct Entry {
        quint64 key = 0;
        bool mouse = false;
        std::unique_ptr<Touch> touch;
    };

    TimeSource clock_;
    std::vector<Entry> entries_;
    QList<Touch*> active_; // the entries' touches
    Tap lastTap_;
};

} // namespace platform
