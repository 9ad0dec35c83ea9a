// SPDX-License-Identifier: GPL-3.0-or-later
// The status bar strip and the view animations it uses: hidden and shown,
// at once or animated, in either orientation.
#include "platform/StatusBar.h"
#include "platform/StatusBarView.h"
#include "platform/Theme.h"
#include "platform/ViewAnimation.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StatusBar::shared().setHidden(false, false);
        StatusBar::shared().setOrientation(InterfaceOrientation::Portrait, false);
        window.resize(320, 480);
        strip = new StatusBarView(&window);
        window.show();
    }
    void TearDown() override
    {
        ViewAnimation::setAnimationsEnabled(true);
        StatusBar::shared().setHidden(false, false);
        StatusBar::shared().setOrientation(InterfaceOrientation::Portrait, false);
    }

    QWidget window;
    StatusBarView* strip = nullptr;
};

TEST_F(StatusBarTest, TheStripIsTwentyPointsAcrossTheTopAndHidesAtOnce)
{
    EXPECT_EQ(strip->geometry(), QRect(0, 0, 320, 20));
    EXPECT_TRUE(strip->isVisible());
    std::vector<bool> changes;
    QObject::connect(&StatusBar::shared(), &StatusBar::hiddenChanged, strip, [&](bool hidden, bool) { changes.push_back(hidden); });
    StatusBar::shared().setHidden(true, false);
    EXPECT_TRUE(StatusBar::shared().isHidden());
    EXPECT_FALSE(strip->isVisible());
    StatusBar::shared().setHidden(true, false); // no change, no signal
    StatusBar::shared().setHidden(false, false);
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->geometry(), QRect(0, 0, 320, 20));
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
}

TEST_F(StatusBarTest, AnimatedHidingSlidesAwayAndAQuickShowWins)
{
    StatusBar::shared().setHidden(true, true);
    EXPECT_TRUE(strip->isVisible()); // on its way out
    ViewAnimation::finishAll();
    EXPECT_FALSE(strip->isVisible());
    EXPECT_EQ(strip->geometry().bottom(), -1);

    StatusBar::shared().setHidden(false, true);
    StatusBar::shared().setHidden(true, true);
    StatusBar::shared().setHidden(false, true);
    ViewAnimation::finishAll();
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->geometry(), QRect(0, 0, 320, 20));
    EXPECT_EQ(ViewAnimation::alpha(strip), 1.0);
}

// The keyboard's preview slides the bar away; a screen that shows it at once
// (the remote panel as it appears) must get a drawn strip, whether the slide
// is still under way or has ended.
TEST_F(StatusBarTest, AShowWithoutAnimationAfterAnAnimatedHideDrawsTheStrip)
{
    QPalette dark = window.palette();
    dark.setColor(QPalette::Window, Qt::black);
    window.setPalette(dark);
    window.setAutoFillBackground(true);
    auto stripPixel = [&] { return window.grab().toImage().pixelColor(2, 2); };
    ASSERT_EQ(stripPixel(), theme::barBackground());

    for (const bool slideEnded : {false, true}) {
        SCOPED_TRACE(slideEnded ? "after the slide" : "during the slide");
        StatusBar::shared().setHidden(true, true);
        if (slideEnded)
            ViewAnimation::finishAll();
        StatusBar::shared().setHidden(false, false);
        ViewAnimation::finishAll(); // whatever was still running has had its say
        EXPECT_TRUE(strip->isVisible());
        EXPECT_EQ(strip->geometry(), QRect(0, 0, 320, 20));
        EXPECT_EQ(ViewAnimation::alpha(strip), 1.0);
        EXPECT_EQ(stripPixel(), theme::barBackground());
    }
}

TEST_F(StatusBarTest, InLandscapeTheStripSpansTheLongEdge)
{
    window.resize(480, 320);
    StatusBar::shared().setOrientation(InterfaceOrientation::LandscapeRight, true);
    EXPECT_EQ(StatusBar::shared().orientation(), InterfaceOrientation::LandscapeRight);
    EXPECT_TRUE(isLandscape(StatusBar::shared().orientation()));
    EXPECT_EQ(strip->geometry(), QRect(0, 0, 480, 20));
}

TEST(ViewAnimationTest, ChangesLandAtOnceWhenAnimationsAreOffAndTheCallbackRunsOnce)
{
    QWidget view;
    view.setGeometry(0, 0, 10, 10);
    int finished = 0;
    ViewAnimation::setAnimationsEnabled(false);
    ViewAnimation().setFrame(&view, QRect(5, 5, 20, 20)).setAlpha(&view, 0.5).whenFinished([&] { ++finished; }).commit();
    EXPECT_EQ(view.geometry(), QRect(5, 5, 20, 20));
    EXPECT_DOUBLE_EQ(ViewAnimation::alpha(&view), 0.5);
    EXPECT_EQ(finished, 1);

    ViewAnimation::setAnimationsEnabled(true);
    ViewAnimation animation; // the screens' 0.3 seconds
    animation.setFrame(&view, QRect(0, 0, 40, 40)).setAlpha(&view, 1).whenFinished([&] { ++finished; }).commit();
    EXPECT_EQ(finished, 1);
    ViewAnimation::finishAll();
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(view.geometry(), QRect(0, 0, 40, 40));
    EXPECT_EQ(view.graphicsEffect(), nullptr); // fully opaque again: no effect left
}

} // namespace
