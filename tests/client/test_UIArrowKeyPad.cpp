// SPDX-License-Identifier: GPL-3.0-or-later
// The arrow key pad: directions in 50-point steps, a stroke at the lift of a
// swipe, a repeat after the finger rests for 0.5 s, and what a cancelled
// touch leaves behind. The pad's event is recorded as the controller reads it.
#include "UIArrowKeyPad.h"

#include "support/platform/FingerSimulator.h"
#include "support/platform/ManualClock.h"
#include "platform/TouchTracker.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(ArrowKeyPadDirection, WholeStepsOf50PointsDecideAndTiesGoToTheHorizontal)
{
    using P = UIArrowKeyPad;
    EXPECT_EQ(P::calcDirection(0, 0, 0, 0), P::DirectionNone);
    EXPECT_EQ(P::calcDirection(10, 10, 59.9f, 59.9f), P::DirectionNone);
    EXPECT_EQ(P::calcDirection(10, 10, -39.9f, 10), P::DirectionNone);
    EXPECT_EQ(P::calcDirection(0, 0, 50, 0), P::DirectionRight);
    EXPECT_EQ(P::calcDirection(0, 0, -50, 0), P::DirectionLeft);
    EXPECT_EQ(P::calcDirection(0, 100, 0, 20), P::DirectionUp);
    EXPECT_EQ(P::calcDirection(0, 0, 0, 50), P::DirectionDown);
    EXPECT_EQ(P::calcDirection(0, 0, 60, 60), P::DirectionRight);
    EXPECT_EQ(P::calcDirection(0, 0, 60, 90), P::DirectionRight); // 1 step each way
    EXPECT_EQ(P::calcDirection(0, 0, 40, 120), P::DirectionDown); // 0 across, 2 down
    EXPECT_EQ(P::calcDirection(0, 0, -120, 110), P::DirectionLeft);
    EXPECT_EQ(P::calcDirection(0, 0, 99, -149), P::DirectionUp);
}

struct Fired {
    bool pressed;
    int32_t direction;
    bool operator==(const Fired& o) const { return pressed == o.pressed && direction == o.direction; }
};
std::ostream& operator<<(std::ostream& out, const Fired& f)
{
    return out << (f.pressed ? "down " : "up ") << f.direction;
}
using Log = std::vector<Fired>;
constexpr Fired downRight{true, 8}, upRight{false, 8}, downUp{true, 1}, upUp{false, 1}, downLeft{true, 4},
    upLeft{false, 4};

class ArrowKeyPad : public ::testing::Test {
protected:
    void SetUp() override
    {
        TouchTracker::instance().forgetTaps();
        window.resize(480, 320);
        pad = new UIArrowKeyPad(&window);
        pad->setGeometry(200, 200, 150, 60);
        pad->addTarget(&window, Control::Action([this](Control*, Event*) {
            log.push_back({pad->isPressed(), pad->getDirection()});
        }), UIArrowKeyPad::ControlEventArrowKey);
        window.show();
    }
    void swipe(QPointF from, QPointF to)
    {
        fingers.press(0, pad, from);
        fingers.move(0, pad, to);
        fingers.release(0, pad, to);
    }

    ScopedManualClock clock;
    QWidget window;
    UIArrowKeyPad* pad = nullptr;
    FingerSimulator fingers;
    Log log;
};

TEST_F(ArrowKeyPad, ASwipeStrikesOnceAtTheLiftFromWhereItCameDown)
{
    fingers.tap(pad, {40, 30});
    swipe({40, 30}, {89.9, 30 + 49.9});
    EXPECT_EQ(log, Log{});
    swipe({10, 30}, {60, 30});
    EXPECT_EQ(log, (Log{downRight, upRight}));
    log.clear();
    swipe({60, 50}, {60, -30});
    EXPECT_EQ(log, (Log{downUp, upUp}));
    log.clear();
    // Out to the right, back past the start: the lift point decides.
    fingers.press(0, pad, {80, 30});
    fingers.move(0, pad, {140, 30});
    fingers.move(0, pad, {20, 30});
    fingers.release(0, pad, {20, 30});
    EXPECT_EQ(log, (Log{downLeft, upLeft}));
    log.clear();
    swipe({10, 0}, {70, 60});
    EXPECT_EQ(log, (Log{downRight, upRight}));
    EXPECT_FALSE(pad->isWaitingToRepeat());
}

TEST_F(ArrowKeyPad, AFingerThatRestsRepeatsTheLastDirectionUntilItLifts)
{
    fingers.press(0, pad, {10, 30});
    fingers.move(0, pad, {70, 30});
    clock.advance(0.3);
    fingers.move(0, pad, {75, 30}); // each move with a direction restarts the delay
    clock.advance(0.49);
    EXPECT_EQ(log, Log{});
    clock.advance(0.01); // the repeat starts now; its first key down comes 0.1 s later
    EXPECT_TRUE(pad->isRepeating());
    EXPECT_EQ(log, Log{});
    clock.advance(0.1);
    EXPECT_EQ(log, (Log{downRight}));
    fingers.move(0, pad, {10, -100}); // a running repeat keeps its direction
    clock.advance(0.2);
    EXPECT_EQ(log, (Log{downRight, downRight, downRight}));
    fingers.release(0, pad, {10, -100});
    EXPECT_EQ(log, (Log{downRight, downRight, downRight, upRight}));
    EXPECT_FALSE(pad->isRepeating());
    clock.advance(1);
    EXPECT_EQ(log.size(), 4u);
}

TEST_F(ArrowKeyPad, OutAndBackStillRepeatsTheLastDirectionThatHadOne)
{
    fingers.press(0, pad, {60, 30});
    fingers.move(0, pad, {60, -30}); // up
    fingers.move(0, pad, {60, 20});  // back near the start: no direction, the delay runs on
    clock.advance(0.6);
    EXPECT_EQ(log, (Log{downUp}));
    fingers.release(0, pad, {60, 20});
    EXPECT_EQ(log, (Log{downUp, upUp}));
}

TEST_F(ArrowKeyPad, ACancelledTouchStrikesNothingAndEndsARunningRepeat)
{
    fingers.press(0, pad, {10, 30});
    fingers.move(0, pad, {70, 30});
    fingers.cancelAll();
    clock.advance(2);
    EXPECT_EQ(log, Log{});
    EXPECT_FALSE(pad->isWaitingToRepeat());

    fingers.press(0, pad, {10, 30});
    fingers.move(0, pad, {70, 30});
    clock.advance(0.6);
    fingers.cancelAll();
    clock.advance(2);
    EXPECT_EQ(log, (Log{downRight, upRight}));
    EXPECT_FALSE(pad->isRepeating());
}

} // namespace
