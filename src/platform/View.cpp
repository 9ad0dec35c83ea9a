// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/View.h"

#include "platform/TouchTracker.h"

#include <QMouseEvent>
#include <QPointingDevice>
#include <QTouchEvent>

namespace platform {

namespace {
// The mouse is one finger with a key no touch screen point can have.
constexpr quint64 kMouseKey = ~quint64(0);

quint64 keyFor(const QInputDevice* device, int pointId)
{
    const quint64 deviceId = device ? quint64(device->systemId()) & 0xffffffffu : 0;
    return (deviceId << 32) | quint32(pointId);
}

bool isSynthesizedFromTouch(const QMouseEvent* event)
{
    const QInputDevice* device = event->device();
    return device && device->type() != QInputDevice::DeviceType::Mouse
        && device->type() != QInputDevice::DeviceType::TouchPad;
}
} // namespace

View::View(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_AcceptTouchEvents);
}

View::~View()
{
    TouchTracker::instance().forgetView(this);
}

void View::touchesBegan(const TouchSet&, Event*) {}
void View::touchesMoved(const TouchSet&, Event*) {}
void View::touchesEnded(const TouchSet&, Event*) {}
void View::touchesCancelled(const TouchSet&, Event*) {}

void View::awakeAllFromNib(QWidget* root)
{
    if (!root)
        return;
    if (auto* view = qobject_cast<View*>(root))
        view->awakeFromNib();
    for (View* view : root->findChildren<View*>())
        view->awakeFromNib();
}

bool View::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        if (!isEnabled())
            return QWidget::event(event); // a disabled view takes no input
        handleTouchEvent(static_cast<QTouchEvent*>(event));
        event->accept();
        return true;
    case QEvent::TouchCancel:
        cancelTouches();
        event->accept();
        return true;
    default:
        return QWidget::event(event);
    }
}

void View::handleTouchEvent(QTouchEvent* event)
{
    TouchTracker& tracker = TouchTracker::instance();
    const qint64 nowMs = tracker.now();
    TouchSet::Touches began, moved, ended;
    for (const QEventPoint& point : event->points()) {
        const quint64 key = keyFor(event->device(), point.id());
        switch (point.state()) {
        case QEventPoint::Pressed:
            if (!multipleTouchEnabled_ && !keys_.isEmpty()) {
                ignoredKeys_.insert(key);
                break;
            }
            keys_.insert(key);
            began.append(tracker.begin(key, this, point.globalPosition(), false));
            break;
        case QEventPoint::Updated:
            if (Touch* touch = keys_.contains(key) ? tracker.find(key) : nullptr) {
                tracker.move(touch, point.globalPosition(), nowMs);
                moved.append(touch);
            }
            break;
        case QEventPoint::Released:
            ignoredKeys_.remove(key);
            if (Touch* touch = keys_.contains(key) ? tracker.find(key) : nullptr) {
                tracker.end(touch, point.globalPosition());
                ended.append(touch);
            }
            keys_.remove(key);
            break;
        default:
            break;
        }
    }
    deliver(TouchSet(std::move(began)), TouchSet(std::move(moved)), TouchSet(std::move(ended)), nowMs);
}

void View::deliver(const TouchSet& began, const TouchSet& moved, const TouchSet& ended, qint64 nowMs)
{
    TouchTracker& tracker = TouchTracker::instance();
    Event event = tracker.eventAt(nowMs);
    // The handlers may hide or delete this view; the tracker keeps the touches
    // until they have been delivered. One phase needs no guard.
    const bool onePhase = began.isEmpty() + moved.isEmpty() + ended.isEmpty() >= 2;
    QPointer<View> self(onePhase ? nullptr : this);
    const auto alive = [&] { return onePhase || self; };
    if (!began.isEmpty())
        touchesBegan(began, &event);
    if (!moved.isEmpty() && alive())
        touchesMoved(moved, &event);
    if (!ended.isEmpty() && alive())
        touchesEnded(ended, &event);
    for (Touch* touch : ended)
        tracker.remove(touch);
}

void View::deliver(const QList<Touch*>& began, const QList<Touch*>& moved, const QList<Touch*>& ended)
{
    deliver(TouchSet(began), TouchSet(moved), TouchSet(ended), TouchTracker::instance().now());
}

void View::mousePressEvent(QMouseEvent* event)
{
    beginMouseTouch(event, false);
}

void View::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The window system hands the second of two quick presses over as a
    // double-click event in place of the press: it is the next touch, a
    // repeat of the tap before it, and its release follows as usual.
    beginMouseTouch(event, true);
}

void View::beginMouseTouch(QMouseEvent* event, bool repeatsLastTap)
{
    if (event->button() != Qt::LeftButton || isSynthesizedFromTouch(event) || keys_.contains(kMouseKey)) {
        event->ignore();
        return;
    }
    if (!multipleTouchEnabled_ && !keys_.isEmpty())
        return;
    keys_.insert(kMouseKey);
    Touch* touch = TouchTracker::instance().begin(kMouseKey, this, event->globalPosition(), true, repeatsLastTap);
    deliver({touch}, {}, {});
}

void View::mouseMoveEvent(QMouseEvent* event)
{
    if (isSynthesizedFromTouch(event) || !keys_.contains(kMouseKey))
        return;
    TouchTracker& tracker = TouchTracker::instance();
    if (Touch* touch = tracker.find(kMouseKey)) {
        tracker.move(touch, event->globalPosition());
        deliver({}, {touch}, {});
    }
}

void View::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || isSynthesizedFromTouch(event) || !keys_.contains(kMouseKey))
        return;
    keys_.remove(kMouseKey);
    TouchTracker& tracker = TouchTracker::instance();
    if (Touch* touch = tracker.find(kMouseKey)) {
        tracker.end(touch, event->globalPosition());
        deliver({}, {}, {touch});
    }
}

void View::cancelTouches()
{
    TouchTracker& tracker = TouchTracker::instance();
    QList<Touch*> cancelled;
    for (quint64 key : std::as_const(keys_))
        if (Touch* touch = tracker.find(key)) {
            tracker.cancel(touch);
            cancelled.append(touch);
        }
    keys_.clear();
    ignoredKeys_.clear();
    if (cancelled.isEmpty())
        return;
    Event event = tracker.eventNow();
    touchesCancelled(TouchSet(cancelled), &event);
    for (Touch* touch : cancelled)
        tracker.remove(touch);
}

void View::hideEvent(QHideEvent* event)
{
    cancelTouches();
    QWidget::hideEvent(event);
}

void View::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        cancelTouches();
    QWidget::changeEvent(event);
}

} // namespace platform
