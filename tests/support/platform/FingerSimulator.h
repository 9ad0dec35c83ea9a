// SPDX-License-Identifier: GPL-3.0-or-later
// Puts fingers on the screen without a touch screen: real QTouchEvents,
// delivered to the view under each finger as a touch screen would deliver
// them, with fractional positions. Tests and demos use it:
//
//     FingerSimulator fingers;
//     fingers.press(0, button, {10, 10});
//     fingers.press(1, otherButton, {5, 5});   // a second finger, held at once
//     fingers.release(0, button, {10, 10});
#pragma once

#include <QHash>
#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <memory>

class QPointingDevice;

namespace platform {

class FingerSimulator {
public:
    FingerSimulator();
    ~FingerSimulator();
    FingerSimulator(const FingerSimulator&) = delete;
    FingerSimulator& operator=(const FingerSimulator&) = delete;

    // Positions are in the coordinates of `in`.
    void press(int finger, QWidget* in, const QPointF& position);
    void move(int finger, QWidget* in, const QPointF& position);
    void release(int finger, QWidget* in, const QPointF& position);
    // The system takes every finger away (as when a call comes in).
    void cancelAll();
    void tap(QWidget* in, const QPointF& position);

    // The view that receives a finger, or null when it is not down.
    QWidget* target(int finger) const;
    const QPointingDevice* device() const { return device_.get(); }

private:
    struct Finger {
        QPointer<QWidget> target;
        QPointF global;
    };
    void send(int finger, int state, const QPointF& global);

    std::unique_ptr<QPointingDevice> device_;
    QHash<int, Finger> fingers_;
};

} // namespace platform
