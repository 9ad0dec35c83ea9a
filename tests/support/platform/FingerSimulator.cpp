// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/platform/FingerSimulator.h"

#include <QCoreApplication>
#include <QPointingDevice>
#include <QTouchEvent>

namespace platform {

namespace {
qint64 nextDeviceId()
{
    static qint64 id = 0x51000;
    return ++id;
}

// The view a finger lands on: the deepest widget under it that takes touches.
QWidget* touchTargetAt(QWidget* window, const QPointF& global)
{
    QWidget* widget = window->childAt(window->mapFromGlobal(global).toPoint());
    if (!widget)
        widget = window;
    while (widget && !widget->testAttribute(Qt::WA_AcceptTouchEvents))
        widget = widget->parentWidget();
    return widget;
}
} // namespace

FingerSimulator::FingerSimulator()
    : device_(std::make_unique<QPointingDevice>(QStringLiteral("simulated fingers"), nextDeviceId(),
                                                QInputDevice::DeviceType::TouchScreen,
                                                QPointingDevice::PointerType::Finger,
                                                QInputDevice::Capability::Position, 10, 0))
{
}

FingerSimulator::~FingerSimulator() = default;

QWidget* FingerSimulator::target(int finger) const
{
    return fingers_.contains(finger) ? fingers_[finger].target.data() : nullptr;
}

void FingerSimulator::press(int finger, QWidget* in, const QPointF& position)
{
    const QPointF global = in->mapToGlobal(position);
    fingers_[finger] = {touchTargetAt(in->window(), global), global};
    send(finger, QEventPoint::Pressed, global);
}

void FingerSimulator::move(int finger, QWidget* in, const QPointF& position)
{
    if (!fingers_.contains(finger))
        return;
    const QPointF global = in->mapToGlobal(position);
    fingers_[finger].global = global;
    send(finger, QEventPoint::Updated, global);
}

void FingerSimulator::release(int finger, QWidget* in, const QPointF& position)
{
    if (!fingers_.contains(finger))
        return;
    const QPointF global = in->mapToGlobal(position);
    fingers_[finger].global = global;
    send(finger, QEventPoint::Released, global);
    fingers_.remove(finger);
}

void FingerSimulator::tap(QWidget* in, const QPointF& position)
{
    int finger = 0;
    while (fingers_.contains(finger))
        ++finger;
    press(finger, in, position);
    release(finger, in, position);
}

void FingerSimulator::cancelAll()
{
    QSet<QWidget*> targets;
    for (const Finger& finger : std::as_const(fingers_))
        if (finger.target)
            targets.insert(finger.target);
    fingers_.clear();
    for (QWidget* widget : targets) {
        QTouchEvent event(QEvent::TouchCancel, device_.get());
        QCoreApplication::sendEvent(widget, &event);
    }
}

void FingerSimulator::send(int finger, int state, const QPointF& global)
{
    QWidget* target = fingers_[finger].target;
    if (!target)
        return;
    // One event per view, holding every finger on that view: the moving one
    // with its new state, the others as stationary.
    QList<QEventPoint> points;
    int othersDown = 0;
    for (auto it = fingers_.cbegin(); it != fingers_.cend(); ++it) {
        if (it.value().target != target)
            continue;
        if (it.key() == finger) {
            const QPointF scene = target->window()->mapFromGlobal(global);
            points.append(QEventPoint(it.key(), QEventPoint::State(state), scene, global));
        } else {
            ++othersDown;
            const QPointF scene = target->window()->mapFromGlobal(it.value().global);
            points.append(QEventPoint(it.key(), QEventPoint::Stationary, scene, it.value().global));
        }
    }
    QEvent::Type type = QEvent::TouchUpdate;
    if (state == QEventPoint::Pressed && othersDown == 0)
        type = QEvent::TouchBegin;
    else if (state == QEventPoint::Released && othersDown == 0)
        type = QEvent::TouchEnd;
    QTouchEvent event(type, device_.get(), Qt::NoModifier, points);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace platform
