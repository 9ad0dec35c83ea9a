// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TouchTracker.h"

#include "platform/RunLoop.h"

#include <QGuiApplication>
#include <QLineF>
#include <QStyleHints>
#include <algorithm>

namespace platform {

namespace {
// Touches keep the run loop's time, so that tap counts and the screens'
// timers agree, also on a test's manual clock.
qint64 runLoopMs()
{
    return qRound64(RunLoop::main().now() * 1000.0);
}
} // namespace

TouchTracker& TouchTracker::instance()
{
    static TouchTracker tracker;
    return tracker;
}

TouchTracker::TouchTracker() : clock_(runLoopMs) {}

void TouchTracker::setClock(TimeSource clock)
{
    clock_ = clock ? std::move(clock) : TimeSource(runLoopMs);
}

void TouchTracker::resetClock()
{
    clock_ = runLoopMs;
}

qint64 TouchTracker::now() const
{
    return clock_();
}

int TouchTracker::doubleTapIntervalMs() const
{
    return QGuiApplication::styleHints()->mouseDoubleClickInterval();
}

qreal TouchTracker::doubleTapDistance(bool mouse) const
{
    const QStyleHints* hints = QGuiApplication::styleHints();
    return mouse ? hints->mouseDoubleClickDistance() : hints->touchDoubleTapDistance();
}

qreal TouchTracker::tapSlop() const
{
    return QGuiApplication::styleHints()->startDragDistance();
}

Touch* TouchTracker::begin(quint64 key, QWidget* view, const QPointF& globalLocation, bool mouse, bool repeatsLastTap)
{
    const qint64 nowMs = now();
    int tapCount = 1;
    // A touch that comes down soon after, and close to, the lift of a tap on
    // the same view continues that tap's count.
    const bool sameViewAsLastTap = lastTap_.valid && lastTap_.view == view && lastTap_.mouse == mouse;
    const bool soon = nowMs - lastTap_.liftedAtMs <= doubleTapIntervalMs();
    // The distance in the view's points, as the slop is measured.
    const bool close = view && QLineF(view->mapFromGlobal(lastTap_.globalLocation), view->mapFromGlobal(globalLocation))
                                       .length() <= doubleTapDistance(mouse);
    if (sameViewAsLastTap && (repeatsLastTap || (soon && close)))
        tapCount = lastTap_.tapCount + 1;

    remove(find(key));
    Entry entry;
    entry.key = key;
    entry.mouse = mouse;
    entry.touch = std::make_unique<Touch>(view, globalLocation, nowMs / 1000.0, tapCount, tapSlop());
    active_.append(entry.touch.get());
    entries_.push_back(std::move(entry));
    return entries_.back().touch.get();
}

Touch* TouchTracker::find(quint64 key) const
{
    for (const Entry& entry : entries_)
        if (entry.key == key)
            return entry.touch.get();
    return nullptr;
}

void TouchTracker::move(Touch* touch, const QPointF& globalLocation)
{
    move(touch, globalLocation, now());
}

void TouchTracker::move(Touch* touch, const QPointF& globalLocation, qint64 nowMs)
{
    touch->setPhase(TouchPhase::Moved);
    touch->moveTo(globalLocation, nowMs / 1000.0);
}

void TouchTracker::end(Touch* touch, const QPointF& globalLocation)
{
    const qint64 nowMs = now();
    touch->moveTo(globalLocation, nowMs / 1000.0);
    touch->setPhase(TouchPhase::Ended);
    auto it = std::find_if(entries_.begin(), entries_.end(), [touch](const Entry& e) { return e.touch.get() == touch; });
    const bool mouse = it != entries_.end() && it->mouse;
    if (touch->movedBeyondTapSlop()) {
        touch->setTapCount(0);
        lastTap_ = Tap();
        return;
    }
    lastTap_.view = touch->view();
    lastTap_.globalLocation = globalLocation;
    lastTap_.liftedAtMs = nowMs;
    lastTap_.tapCount = touch->tapCount();
    lastTap_.valid = true;
    lastTap_.mouse = mouse;
}

void TouchTracker::cancel(Touch* touch)
{
    touch->setPhase(TouchPhase::Cancelled);
    touch->setTimestamp(now() / 1000.0);
    lastTap_ = Tap();
}

void TouchTracker::remove(Touch* touch)
{
    if (!touch)
        return;
    active_.removeAll(touch);
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [touch](const Entry& e) { return e.touch.get() == touch; }),
                   entries_.end());
}

void TouchTracker::forgetView(const QWidget* view)
{
    const auto gone = [view](const Touch* touch) { return !touch->view() || touch->view() == view; };
    active_.removeIf(gone);
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return gone(e.touch.get()); }),
                   entries_.end());
    if (lastTap_.view == view)
        lastTap_ = Tap();
}

void TouchTracker::forgetTaps()
{
    lastTap_ = Tap();
}

Event TouchTracker::eventNow() const
{
    return eventAt(now());
}

Event TouchTracker::eventAt(qint64 nowMs) const
{
    return Event(active_, nowMs / 1000.0);
}

} // namespace platform
