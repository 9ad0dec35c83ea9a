// SPDX-License-Identifier: GPL-3.0-or-later
// The status bar strip and the view animations it uses: hidden and shown,
// at once or animated, in either orientation; the connected computer's
// name and the lock; the battery, read from a stand-in UPower on a private
// session bus, and absent without one.
#include "platform/StatusBar.h"
#include "platform/StatusBarView.h"
#include "platform/Theme.h"
#include "platform/ViewAnimation.h"

#include "support/platform/StandInUPower.h"

#include "support/GenerousWait.h"
#include "support/PrivateSessionBus.h"
#include "support/ScopedEnvironment.h"

#include <QTest>
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
        StatusBar::shared().setConnectionName(QString());
        StatusBar::shared().setSessionSecure(false);
    }

    // Dark points (text and glyphs) in a part of the strip as drawn now.
    int inkIn(const QRect& area) const
    {
        const QImage image = strip->grab().toImage();
        int ink = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                ink += qGray(image.pixel(x, y)) < 128;
        return ink;
    }
    QRect leftEnd() const { return QRect(0, 0, 40, 20); }
    QRect rightEnd() const { return QRect(280, 0, 40, 20); }

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

TEST_F(StatusBarTest, TheConnectedComputerIsNamedAndALockShowsWhileTheSessionIsSecure)
{
    strip->setClockText("9:41");
    EXPECT_EQ(inkIn(leftEnd()), 0) << "nothing connected, nothing named";
    StatusBar::shared().setConnectionName("Den");
    EXPECT_GT(inkIn(leftEnd()), 10);
    StatusBar::shared().setConnectionName(QString());
    EXPECT_EQ(inkIn(leftEnd()), 0);

    const QRect lock(0, 0, 16, 20);
    StatusBar::shared().setSessionSecure(true);
    EXPECT_GT(inkIn(lock), 10) << "the lock";
    StatusBar::shared().setConnectionName("Den");
    EXPECT_GT(inkIn(QRect(16, 0, 24, 20)), 10) << "the name after it";
    StatusBar::shared().setSessionSecure(false);
    StatusBar::shared().setConnectionName(QString());
    EXPECT_EQ(inkIn(lock), 0);

    // A name from the network stays on one line and stops short of the clock.
    const QRect clock(140, 0, 40, 20);
    const int clockAlone = inkIn(clock);
    for (const QString& name : {QString(200, QChar('W')), QStringLiteral("first\nsecond\u2028third\tfourth")}) {
        StatusBar::shared().setConnectionName(name);
        EXPECT_GT(inkIn(leftEnd()), 10);
        EXPECT_EQ(inkIn(clock), clockAlone) << "the name runs under the clock";
    }
}

class BatteryTest : public StatusBarTest {
protected:
    void SetUp() override
    {
        std::string why;
        bus = PrivateSessionBus::start(why);
        if (!bus)
            GTEST_SKIP() << "no private bus: " << why;
        environment.set(Battery::kBusVariable, bus->address());
        StatusBarTest::SetUp();
        strip->setClockText("9:41");
    }
    // Waits, turning the event loop, until the strip's battery is `present`.
    bool waitForBattery(bool present)
    {
        return QTest::qWaitFor([&] { return strip->battery().isPresent() == present; }, int(kGenerousWait.count()));
    }

    std::unique_ptr<PrivateSessionBus> bus;
    ScopedEnvironment environment;
};

TEST_F(BatteryTest, NoBatteryWithoutUPowerThenUPowersBatteryFollowedThroughItsChanges)
{
    strip->grab(); // drawn: the battery is asked for
    QTest::qWait(200);
    EXPECT_FALSE(strip->battery().isPresent());
    EXPECT_EQ(inkIn(rightEnd()), 0);

    QString why;
    auto upower = StandInUPower::start(QString::fromStdString(bus->address()), 80, why);
    ASSERT_NE(upower, nullptr) << why.toStdString();
    ASSERT_TRUE(waitForBattery(true)) << "UPower started after the app";
    EXPECT_DOUBLE_EQ(strip->battery().level(), 80);
    EXPECT_FALSE(strip->battery().isCharging());
    const int full = inkIn(rightEnd());
    EXPECT_GT(full, 40);

    upower->setBattery(10, StandInUPower::kCharging);
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip->battery().level() == 10; }, int(kGenerousWait.count())));
    EXPECT_TRUE(strip->battery().isCharging());
    EXPECT_LT(inkIn(rightEnd()), full) << "less of it filled";

    upower->setNoBattery(); // a machine on mains only
    ASSERT_TRUE(waitForBattery(false));
    EXPECT_EQ(inkIn(rightEnd()), 0);
    upower->setBattery(50, StandInUPower::kDischarging);
    ASSERT_TRUE(waitForBattery(true));
    upower.reset(); // UPower leaves the bus
    ASSERT_TRUE(waitForBattery(false));
    EXPECT_EQ(inkIn(rightEnd()), 0);
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
