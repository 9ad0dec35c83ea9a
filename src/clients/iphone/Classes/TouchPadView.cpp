// SPDX-License-Identifier: GPL-3.0-or-later
#include "TouchPadView.h"

#include <QPointer>

TouchPadView::TouchPadView(QWidget* parent) : platform::Control(parent)
{
    // The whole pad is the finger's: a finger that slides off it keeps
    // moving the pointer rather than being "outside".
    setTouchMargin(10000);
    setMultipleTouchEnabled(true);
}

void TouchPadView::touchesBegan(const platform::TouchSet& touches, platform::Event* event)
{
    QPointer<TouchPadView> self(this);
    platform::Control::touchesBegan(touches, event);
    if (self)
        sendActionsForControlEvents(ControlEventFingerDown, event);
}

void TouchPadView::touchesMoved(const platform::TouchSet& touches, platform::Event* event)
{
    QPointer<TouchPadView> self(this);
    platform::Control::touchesMoved(touches, event);
    if (self)
        sendActionsForControlEvents(ControlEventFingerMoved, event);
}

void TouchPadView::touchesEnded(const platform::TouchSet& touches, platform::Event* event)
{
    QPointer<TouchPadView> self(this);
    platform::Control::touchesEnded(touches, event);
    if (self)
        sendActionsForControlEvents(ControlEventFingerUp, event);
}

void TouchPadView::touchesCancelled(const platform::TouchSet& touches, platform::Event* event)
{
    QPointer<TouchPadView> self(this);
    platform::Control::touchesCancelled(touches, event);
    if (self)
        sendActionsForControlEvents(ControlEventFingersCancelled, event);
}

void TouchPadView::paintEvent(QPaintEvent*) {}
