// SPDX-License-Identifier: GPL-3.0-or-later
#include "TouchPadView.h"

#include <QPointer>

TouchPadView::TouchPadView(QWidget* parent) : platform::Control(parent)
{
    // The whole pad is the finger's: a finger that slides off it keeps
    // moving the pointer rather than being "outside".
    setTouchMargin(kEverywhereInside);
    setMultipleTouchEnabled(true);
}

template <typename ControlHandler>
void TouchPadView::thenReport(ControlHandler handle, platform::ControlEvents report, platform::Event* event)
{
    // The control's own handlers may end in a screen change that deletes the pad.
    QPointer<TouchPadView> self(this);
    handle();
    if (self)
        sendActionsForControlEvents(report, event);
}

void TouchPadView::touchesBegan(const platform::TouchSet& touches, platform::Event* event)
{
    thenReport([&] { platform::Control::touchesBegan(touches, event); }, ControlEventFingerDown, event);
}

void TouchPadView::touchesMoved(const platform::TouchSet& touches, platform::Event* event)
{
    thenReport([&] { platform::Control::touchesMoved(touches, event); }, ControlEventFingerMoved, event);
}

void TouchPadView::touchesEnded(const platform::TouchSet& touches, platform::Event* event)
{
    thenReport([&] { platform::Control::touchesEnded(touches, event); }, ControlEventFingerUp, event);
}

void TouchPadView::touchesCancelled(const platform::TouchSet& touches, platform::Event* event)
{
    thenReport([&] { platform::Control::touchesCancelled(touches, event); }, ControlEventFingersCancelled, event);
}

void TouchPadView::paintEvent(QPaintEvent*) {}
