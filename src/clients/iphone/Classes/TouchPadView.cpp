// SPDX-License-Identifier: GPL-3.0-or-later
#include "TouchPadView.h"

TouchPadView::TouchPadView(QWidget* parent) : platform::Control(parent)
{
    // The whole pad is the finger's: a finger that slides off it keeps
    // moving the pointer rather than being "outside".
    setTouchMargin(10000);
}

void TouchPadView::paintEvent(QPaintEvent*) {}
