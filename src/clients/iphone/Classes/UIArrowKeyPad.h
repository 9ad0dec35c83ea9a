// SPDX-License-Identifier: GPL-3.0-or-later
// UIArrowKeyPad: the swipe area of the keyboard's extended mode. A swipe
// becomes one arrow key stroke at the lift; a swipe that rests becomes a
// repeating arrow key. The pad sends nothing itself: it keeps a direction and
// a pressed flag and fires its own control event, on which the keyboard
// controller reads both and sends the arrow key down or up.
#pragma once

#include "platform/Button.h"

#include <QPointF>
#include <cstdint>
#include <memory>

namespace platform {
class Timer;
}

class UIArrowKeyPad : public platform::Button {
    Q_OBJECT

public:
    // The pad's application-defined control event.
    static constexpr platform::ControlEvents ControlEventArrowKey = 0x01000000u;

    // Directions are single bits.
    enum : int32_t { DirectionNone = 0, DirectionUp = 1, DirectionDown = 2, DirectionLeft = 4, DirectionRight = 8 };

    explicit UIArrowKeyPad(QWidget* parent = nullptr);
    ~UIArrowKeyPad() override;

    bool isPressed() const { return pressed_; }
    int32_t getDirection() const { return direction_; }

    // The direction of a movement in whole steps of 50 points; equal steps
    // go to the horizontal.
    static int32_t calcDirection(float x0, float y0, float x1, float y1);
    static int32_t calcDirection(const QPointF& start, const QPointF& end);

    void touchesBegan(const platform::TouchSet& touches, platform::Event* event) override;
    void touchesMoved(const platform::TouchSet& touches, platform::Event* event) override;
    void touchesEnded(const platform::TouchSet& touches, platform::Event* event) override;
    void touchesCancelled(const platform::TouchSet& touches, platform::Event* event) override;

    void invokeRepeatStart();
    void invokeRepeat();

    // For tests: whether a start delay is pending or a repeat is running.
    bool isWaitingToRepeat() const { return repeatStartTimer_ != nullptr; }
    bool isRepeating() const { return repeatTimer_ != nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointF pointOf(const platform::TouchSet& touches, platform::Event* event) const;
    void fire();
    void stopRepeatStartTimer();
    void stopRepeatTimer();

    QPointF arrowPreviousPoint_;
    QPointF pagePreviousPoint_;
    bool pressed_ = false;
    int32_t direction_ = DirectionNone;
    std::shared_ptr<platform::Timer> repeatStartTimer_;
    std::shared_ptr<platform::Timer> repeatTimer_;
    int32_t repeatDirection_ = DirectionNone;
};
