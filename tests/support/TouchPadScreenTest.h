// SPDX-License-Identifier: GPL-3.0-or-later
// What the touch pad's screen tests start from: the app's test environment,
// the touch pad screen shown in a window of the phone's size, and fingers.
#pragma once

#include "support/AppTestEnvironment.h"
#include "TouchPadViewController.h"

#include "support/platform/FingerSimulator.h"
#include "platform/PhoneLook.h"

#include <QWidget>
#include <gtest/gtest.h>

class TouchPadScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(platform::phone::kScreenWidth, platform::phone::kContentHeight);
        screen.view()->setParent(&window);
        screen.view()->move(0, 0);
        window.show();
        screen.viewWillAppear(false);
        screen.viewDidAppear(false);
        pad = screen.touchPadView();
        wheel = screen.wheelButton();
    }

    AppTestEnvironment env;
    QWidget window;
    TouchPadViewController screen;
    platform::FingerSimulator fingers;
    QWidget* pad = nullptr;
    QWidget* wheel = nullptr;
};
