// SPDX-License-Identifier: GPL-3.0-or-later
// The touch pad screen with its real form, real touches through the platform
// layer, virtual time, and a receiver double on 127.0.0.1 that sees every
// packet: pointer movement, taps and clicks, drag lock, the wheel strip, the
// buttons, the sounds and the connection checks.
#include "RemoteProtocol.h"
#include "TouchPadView.h"
#include "TouchPadViewController.h"

#include "platform/Alert.h"
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"
#include "platform/NotificationCenter.h"
#include "platform/TouchTracker.h"

#include "support/AppTestEnvironment.h"
#include "support/TouchPadScreenTest.h"
#include "support/SessionRecorder.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <gtest/gtest.h>

using namespace platform;

namespace {

const AlertRecord kNoSession{"Connection Error", "Please, connect to your computer before use the functions.", "OK"};

SentPacket mouse(int buttons, int dx = 0, int dy = 0)
{
    return SentPacket::mouse(buttons, dx, dy);
}

class TouchPadTest : public TouchPadScreenTest {
protected:
    // Lets the double-tap window run out, so the next touch is a lone one.
    void pause() { env.advance(1.0); }
};

class TouchPadSessionTest : public TouchPadTest {
protected:
    void SetUp() override
    {
        TouchPadTest::SetUp();
        ASSERT_TRUE(session.connected());
    }
    SessionRecorder session;
};

TEST_F(TouchPadSessionTest, MovementIsTruncatedTowardsZeroAndTheFractionIsDropped)
{
    fingers.press(0, pad, {100, 100});
    EXPECT_EQ(session.takePackets(), SentPackets{}); // touching down sends nothing

    fingers.move(0, pad, {98.3, 100});       // -1.7 points
    fingers.move(0, pad, {98.3, 100});       // no change at all
    fingers.move(0, pad, {102.2, 96.1});     // +3.9, -3.9
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(0, -1, 0), mouse(0, 0, 0), mouse(0, 3, -3)}));

    // Half a point per event never adds up to a movement.
    for (int i = 1; i <= 6; ++i)
        fingers.move(0, pad, {102.2 + 0.5 * i, 96.1 + 0.5 * i});
    EXPECT_EQ(session.takePackets(), SentPackets(6, mouse(0, 0, 0)));
    fingers.release(0, pad, {105.2, 99.1});
    EXPECT_EQ(session.takePackets(), SentPackets{}); // a moved touch lifts with no click
    env.advance(1.0);
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_TRUE(Alert::history().empty());
}

TEST_F(TouchPadSessionTest, ASingleTapClicksFourTenthsOfASecondAfterTheLift)
{
    fingers.tap(pad, {50, 50});
    EXPECT_EQ(session.takePackets(), SentPackets{});
    env.advance(0.39);
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_TRUE(env.takeSounds().isEmpty());
    env.advance(0.01);
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(1), mouse(0)}));
    EXPECT_EQ(env.takeSounds(), (QStringList{"keypress", "keyrelease"}));
    EXPECT_FALSE(screen.isClickPending());

    // The smallest movement between down and up is no tap.
    pause();
    fingers.press(0, pad, {50, 50});
    fingers.release(0, pad, {50.25, 50});
    env.advance(1.0);
    EXPECT_EQ(session.takePackets(), SentPackets{});
}

TEST_F(TouchPadSessionTest, ADoubleTapClicksTwiceAtTheSecondLiftAndAThirdTapDoesNothing)
{
    fingers.tap(pad, {50, 50});
    env.advance(0.1);
    fingers.tap(pad, {51, 50}); // a double tap need not hit the same spot
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(1), mouse(0), mouse(1), mouse(0)}));
    env.advance(0.1);
    fingers.tap(pad, {50, 50});
    env.advance(1.0);
    EXPECT_EQ(session.takePackets(), SentPackets{});
}

TEST_F(TouchPadSessionTest, ASecondTapAfterTheFirstClickWasSentClicksOnceMore)
{
    // A long double-click interval lets the second tap come after the 0.4 s click.
    QStyleHints* hints = QGuiApplication::styleHints();
    const int interval = hints->mouseDoubleClickInterval();
    hints->setMouseDoubleClickInterval(700);
    fingers.tap(pad, {50, 50});
    env.advance(0.5);
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(1), mouse(0)}));
    fingers.tap(pad, {50, 50});
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(1), mouse(0)}));
    hints->setMouseDoubleClickInterval(interval);
}

// Tap, then touch again at (50, 50) and move through `slide`, lifting at its
// last point. While the second touch is within the tap slop it may still be
// the double click: its movement is held back. Beyond the slop the button
// goes down first, then the held-back movement and the rest follow with it
// held; lifted within the slop it is the double click, nothing moved.
TEST_F(TouchPadSessionTest, TheDragLockPressesWhereTheFingerCameDownAndATrembleIsADoubleClick)
{
    const qreal slop = TouchTracker::instance().tapSlop();
    ASSERT_EQ(slop, 10) << "the rows are written for a 10-point slop";
    struct Row {
        const char* what;
        std::vector<QPointF> slide;
        SentPackets sent;
    };
    const Row rows[] = {
        {"a slide: 10 points held back, then the press and every movement with the button held",
         {{60, 50}, {70, 60}, {80, 70}},
         {mouse(1), mouse(1, 10, 0), mouse(1, 10, 10), mouse(1, 10, 10), mouse(0)}},
        {"a tremble within the slop: the double click, nothing moved",
         {{51, 50}, {59, 50}},
         {mouse(1), mouse(0), mouse(1), mouse(0)}},
        {"a jump beyond the slop at once: nothing held back",
         {{50, 65}},
         {mouse(1), mouse(1, 0, 15), mouse(0)}},
        {"there and back within the slop, then away: the held-back movement came to nothing",
         {{55, 50}, {50, 50}, {50, 65}},
         {mouse(1), mouse(1, 0, 15), mouse(0)}},
        {"a slide that crosses the slop within one event: the held-back part first",
         {{53, 54}, {59, 62}, {60, 63}},
         {mouse(1), mouse(1, 3, 4), mouse(1, 6, 8), mouse(1, 1, 1), mouse(0)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        pause();
        fingers.tap(pad, {50, 50});
        env.advance(0.1);
        fingers.press(0, pad, {50, 50});
        for (const QPointF& at : row.slide)
            fingers.move(0, pad, at);
        fingers.release(0, pad, row.slide.back());
        env.advance(1.0); // a click still pending would go out now
        EXPECT_EQ(session.takePackets(), row.sent);
        EXPECT_FALSE(screen.holdingLbutton());

        // Nothing is left behind for the next touch: no stray release, no
        // held-back movement.
        pause();
        fingers.press(0, pad, {10, 10});
        fingers.move(0, pad, {12, 10});
        fingers.release(0, pad, {12, 10});
        EXPECT_EQ(session.takePackets(), SentPackets{mouse(0, 2, 0)});
    }
}

TEST_F(TouchPadSessionTest, TheWheelStepsOncePerTenPointsAndOncePerEvent)
{
    fingers.press(0, wheel, {18, 200});
    fingers.move(0, wheel, {18, 190.1}); // 9.9 points up: not yet
    EXPECT_EQ(session.takePackets(), SentPackets{});
    fingers.move(0, wheel, {18, 190});   // 10 points from the touch-down
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(8)});
    fingers.move(0, wheel, {18, 225});   // 35 points down in one event: one step
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(16)});
    fingers.move(0, wheel, {18, 230});
    fingers.move(0, wheel, {18, 235.5}); // 10.5 from the last step
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(16)});
    EXPECT_EQ(env.takeSounds(), (QStringList{"keypress", "keypress", "keypress"}));

    fingers.release(0, wheel, {18, 235.5});
    EXPECT_EQ(session.takePackets(), SentPackets{}); // a moved touch is no middle click
    EXPECT_EQ(env.takeSounds(), QStringList{"keyrelease"});
}

TEST_F(TouchPadSessionTest, AWheelTapIsAMiddleClickThatKeepsTheHeldButtons)
{
    fingers.tap(wheel, {18, 100});
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(2), mouse(0)}));
    EXPECT_EQ(env.takeSounds(), (QStringList{"keypress", "keyrelease"}));

    pause();
    fingers.press(1, screen.rightButton(), {40, 40});
    fingers.tap(wheel, {18, 100});
    fingers.release(1, screen.rightButton(), {40, 40});
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(4), mouse(6), mouse(4), mouse(0)}));
}

TEST_F(TouchPadSessionTest, TheButtonsPressAndReleaseTogether)
{
    fingers.press(0, screen.rightButton(), {40, 40});
    fingers.tap(screen.leftButton(), {40, 40});
    fingers.release(0, screen.rightButton(), {40, 40});
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(4), mouse(5), mouse(4), mouse(0)}));
    EXPECT_EQ(env.takeSounds(), (QStringList{"keypress", "keypress", "keyrelease", "keyrelease"}));
}

TEST_F(TouchPadSessionTest, MovingOnThePadWhileAButtonIsHeldDragsWithIt)
{
    // The finger on the button is inside the screen too; only the pad's own
    // finger moves the pointer.
    fingers.press(0, screen.leftButton(), {40, 40});
    fingers.press(1, pad, {100, 100});
    fingers.move(1, pad, {112, 95});
    fingers.move(1, pad, {130, 95});
    fingers.release(1, pad, {130, 95});
    fingers.release(0, screen.leftButton(), {40, 40});
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(1), mouse(1, 12, -5), mouse(1, 18, 0), mouse(0)}));
}

TEST_F(TouchPadSessionTest, AppearingClearsTheHeldButtonsWithoutSending)
{
    fingers.press(0, screen.rightButton(), {40, 40});
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(4)});
    screen.viewDidAppear(false);
    EXPECT_EQ(screen.buttonMask(), 0);
    fingers.press(1, pad, {10, 10});
    fingers.move(1, pad, {11, 10});
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(0, 1, 0)});
}

TEST_F(TouchPadSessionTest, ACancelledDragLockReleasesTheButton)
{
    fingers.tap(pad, {50, 50});
    env.advance(0.1);
    fingers.press(0, pad, {50, 50});
    fingers.move(0, pad, {70, 50});
    fingers.cancelAll();
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(1), mouse(1, 20, 0), mouse(0)}));
    EXPECT_FALSE(screen.holdingLbutton());
}

TEST_F(TouchPadSessionTest, AnOlderPendingClickDoesNotHideTheNewerOneFromADoubleTap)
{
    const qreal far = QGuiApplication::styleHints()->touchDoubleTapDistance() + 40;
    fingers.tap(pad, {20, 20});
    env.advance(0.2);
    fingers.tap(pad, {20 + far, 20 + far}); // too far to be a double tap: a second pending click
    env.advance(0.2);
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(1), mouse(0)})); // the first tap's click
    fingers.tap(pad, {20 + far, 20 + far}); // a double tap on the second spot
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(1), mouse(0), mouse(1), mouse(0)}));
    env.advance(1.0);
    EXPECT_EQ(session.takePackets(), SentPackets{}); // its single click was cancelled, not sent late
}

TEST_F(TouchPadSessionTest, InMotionModeThePadIsTheLeftButton)
{
    screen.setMotionMode(true);
    fingers.press(0, pad, {50, 50});
    fingers.move(0, pad, {80, 60});
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(1)});
    fingers.release(0, pad, {80, 60});
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(0)});
    fingers.tap(pad, {50, 50}); // no tap handling either
    env.advance(1.0);
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(1), mouse(0)}));
    EXPECT_FALSE(screen.isClickPending());
}

TEST_F(TouchPadTest, WithoutASessionReleasesWarnAndPressesDoNot)
{
    closeAppSession();
    fingers.press(0, screen.leftButton(), {40, 40});
    fingers.press(1, screen.rightButton(), {40, 40});
    EXPECT_TRUE(Alert::history().empty());
    fingers.release(0, screen.leftButton(), {40, 40});
    fingers.release(1, screen.rightButton(), {40, 40});
    EXPECT_EQ(Alert::history().size(), 2u);
    EXPECT_EQ(env.takeSounds(), (QStringList{"keypress", "keypress", "keyrelease", "keyrelease"}));

    Alert::dismissAll(); // the sheets would take the next touches
    Alert::clearHistory();
    pause();
    fingers.tap(pad, {50, 50});
    EXPECT_EQ(Alert::history().size(), 1u); // at the lift
    Alert::dismissAll();
    env.advance(0.4);
    EXPECT_EQ(Alert::history().size(), 2u); // and when the delayed click goes out

    Alert::dismissAll(); // the sheets would take the next touches
    Alert::clearHistory();
    pause();
    fingers.press(0, wheel, {18, 100});
    EXPECT_TRUE(Alert::history().empty());
    fingers.release(0, wheel, {18, 100});
    ASSERT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0], kNoSession);
}

TEST_F(TouchPadTest, TheTabBarControlAndTheKeyboardButtonPostTheirNotifications)
{
    std::vector<std::pair<QString, std::optional<long long>>> posted;
    auto& center = NotificationCenter::defaultCenter();
    const auto token = center.addObserver(&posted, QString(), [&](const Notification& n) {
        posted.emplace_back(n.name(), n.integerObject());
    });
    fingers.tap(screen.toggleTabBarButton(), {20, 16});
    fingers.tap(screen.keyboardButton(), {20, 16});
    center.removeObserver(token);
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].first, "Toggle TabBar");
    EXPECT_FALSE(posted[0].second.has_value());
    EXPECT_EQ(posted[1].first, "Goto TabBar");
    EXPECT_EQ(posted[1].second, 1);
}

TEST(TouchPadDeltaTest, DeltasAreCutTowardsZeroIntoSixteenBits)
{
    EXPECT_EQ(pointDelta(98.3f, 100.0f), -1);
    EXPECT_EQ(pointDelta(100.0f, 98.3f), 1);
    EXPECT_EQ(pointDelta(100.5f, 100.0f), 0);
    EXPECT_EQ(truncatedToInt16(70000.0), int16_t(70000 - 65536)); // the low 16 bits, as the field holds them
    EXPECT_EQ(truncatedToInt16(-32769.0), 32767);
    EXPECT_EQ(truncatedToInt16(1e30), int16_t(-1)); // held at the 32-bit end first: defined, not undefined
    EXPECT_EQ(truncatedToInt16(std::nan("")), 0);
}

} // namespace
