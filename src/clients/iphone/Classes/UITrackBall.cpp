// SPDX-License-Identifier: GPL-3.0-or-later
#include "UITrackBall.h"

#include "RemoteProtocol.h"
#include "SoundServer.h"

using platform::Event;
using platform::Touch;
using platform::TouchSet;

UITrackBall::UITrackBall(QWidget* parent) : platform::Button(parent) {}

void UITrackBall::paintEvent(QPaintEvent* event)
{
    platform::Button::paintEvent(event);
}

void UITrackBall::sendMouseEvent(uint8_t buttons, int16_t dx, int16_t dy)
{
    remote_sendMouseEvent(buttons, dx, dy);
}

void UITrackBall::lbuttonTouchDown()
{
    sendMouseEvent(REMOTE_BUTTON_LEFT, 0, 0);
    play_mouse_buttonpress();
}

void UITrackBall::lbuttonTouchUp()
{
    sendMouseEvent(0, 0, 0);
    play_mouse_buttonrelease();
}

void UITrackBall::rbuttonTouchDown()
{
    sendMouseEvent(REMOTE_BUTTON_RIGHT, 0, 0);
    play_mouse_buttonpress();
}

void UITrackBall::rbuttonTouchUp()
{
    sendMouseEvent(0, 0, 0);
    play_mouse_buttonrelease();
}

void UITrackBall::touchesBegan(const TouchSet& touches, Event* event)
{
    platform::Button::touchesBegan(touches, event); // the pressed look
    Touch* touch = touches.anyObject();
    if (!touch)
        return;
    touchDownPoint_ = FloatPoint::from(touch->locationInView(this));
    previousTouchPoint_ = touchDownPoint_;
    motion_.begin(PointerSettings::current());
}

void UITrackBall::touchesMoved(const TouchSet& touches, Event* event)
{
    platform::Button::touchesMoved(touches, event);
    Touch* touch = event ? event->touchesForView(this).anyObject() : touches.anyObject();
    if (!touch)
        return;
    const FloatPoint p = FloatPoint::from(touch->locationInView(this));
    const PointerMotion::Delta delta = motion_.move(previousTouchPoint_, p);
    previousTouchPoint_ = p;
    sendMouseEvent(0, delta.dx, delta.dy);
}

void UITrackBall::touchesEnded(const TouchSet& touches, Event* event)
{
    platform::Button::touchesEnded(touches, event);
    Touch* touch = event ? event->touchesForView(this).anyObject() : touches.anyObject();
    if (!touch)
        return;
    if (FloatPoint::from(touch->locationInView(this)) == touchDownPoint_) {
        lbuttonTouchDown();
        lbuttonTouchUp();
    }
}

void UITrackBall::touchesCancelled(const TouchSet& touches, Event* event)
{
    platform::Button::touchesCancelled(touches, event);
}
