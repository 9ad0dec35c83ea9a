// SPDX-License-Identifier: GPL-3.0-or-later
// The touch pad's two-finger gestures and its stored pointer and scroll
// settings, with the real form, real touches through the platform layer,
// virtual time and a receiver double on 127.0.0.1 that sees every packet.
#include "PointerMotion.h"
#include "PointerSettings.h"
#include "SettingsKeys.h"
#include "TouchPadView.h"
#include "TouchPadViewController.h"
#include "WireFormat.h"

#include "platform/Alert.h"
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"
#include "platform/UserDefaults.h"

#include "support/AppTestEnvironment.h"
#include "support/TouchPadScreenTest.h"
#include "support/SessionRecorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace platform;

namespace {

constexpr int kUp = REMOTE_WHEEL_UP;
constexpr int kDown = REMOTE_WHEEL_DOWN;

SentPacket mouse(int buttons, int dx = 0, int dy = 0)
{
    return SentPacket::mouse(buttons, dx, dy);
}

// The sums of the movement packets' deltas; fails on any other packet.
QPoint totalMovement(const SentPackets& packets)
{
    QPoint total;
    for (const SentPacket& packet : packets) {
        EXPECT_EQ(packet.kind, SentPacket::Kind::Mouse);
        EXPECT_EQ(packet.buttons, 0);
        total += QPoint(packet.dx, packet.dy);
    }
    return total;
}

class TouchPadGestureTest : public TouchPadScreenTest {
protected:
    void SetUp() override
    {
        TouchPadScreenTest::SetUp();
        ASSERT_TRUE(session.connected());
    }

    static void store(const QVariant& value, const QString& key)
    {
        UserDefaults::standardUserDefaults().setObject(value, key);
    }

    // Both fingers move by `dy`, one after the other, as a touch screen
    // reports two fingers that move together.
    void slideBoth(double dy)
    {
        finger0.ry() += dy;
        finger1.ry() += dy;
        fingers.move(0, pad, finger0);
        fingers.move(1, pad, finger1);
    }
    void putTwoFingersDown()
    {
        fingers.press(0, pad, finger0);
        fingers.press(1, pad, finger1);
    }
    void liftTwoFingers()
    {
        fingers.release(1, pad, finger1);
        fingers.release(0, pad, finger0);
    }

    SessionRecorder session;
    QPointF finger0{100, 200};
    QPointF finger1{150, 200};
};

TEST_F(TouchPadGestureTest, ATwoFingerSlideTurnsTheWheelOneStepPerTenPointsAndCarriesTheRest)
{
    putTwoFingersDown();
    EXPECT_EQ(session.takePackets(), SentPackets{});
    slideBoth(-7); // 7 points: no step yet, the 7 are kept
    EXPECT_EQ(session.takePackets(), SentPackets{});
    slideBoth(-7); // 14: one step, 4 carried
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(kUp)});
    slideBoth(-7); // 21: the carried 4 make the second step
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(kUp)});
    slideBoth(-29); // 50: three more in one movement, one packet each
    EXPECT_EQ(session.takePackets(), SentPackets(3, mouse(kUp)));
    slideBoth(25); // back down 25 points: two steps down, 5 carried
    EXPECT_EQ(session.takePackets(), SentPackets(2, mouse(kDown)));
    EXPECT_TRUE(screen.isTwoFingerGestureActive());
    liftTwoFingers();
    env.advance(1.0);
    // The pointer never moved and no lift clicked.
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_FALSE(screen.isTwoFingerGestureActive());
    EXPECT_TRUE(Alert::history().empty());
}

TEST_F(TouchPadGestureTest, ATwoFingerTapIsARightClickWhicheverFingerLiftsFirst)
{
    putTwoFingersDown();
    liftTwoFingers();
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(REMOTE_BUTTON_RIGHT), mouse(0)}));
    env.advance(1.0); // no left click follows, and no double tap
    EXPECT_EQ(session.takePackets(), SentPackets{});

    putTwoFingersDown();
    fingers.release(0, pad, finger0);
    EXPECT_EQ(session.takePackets(), SentPackets{});
    fingers.release(1, pad, finger1);
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(REMOTE_BUTTON_RIGHT), mouse(0)}));
    env.advance(1.0);
    EXPECT_EQ(session.takePackets(), SentPackets{});

    // A slide is no tap, and three fingers are not two.
    putTwoFingersDown();
    slideBoth(-30);
    liftTwoFingers();
    EXPECT_EQ(session.takePackets(), SentPackets(3, mouse(kUp)));
    putTwoFingersDown();
    fingers.press(2, pad, {200, 200});
    fingers.release(2, pad, {200, 200});
    liftTwoFingers();
    env.advance(1.0);
    EXPECT_EQ(session.takePackets(), SentPackets{});
}

TEST_F(TouchPadGestureTest, ASecondFingerDuringAOneFingerSlideStopsThePointerWithoutAJump)
{
    fingers.press(0, pad, {100, 100});
    fingers.move(0, pad, {110, 100});
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(0, 10, 0)});

    fingers.press(1, pad, {250, 300}); // far away: its mean would be a jump
    fingers.move(0, pad, {130, 100});
    fingers.move(1, pad, {240, 300});
    EXPECT_EQ(session.takePackets(), SentPackets{});
    fingers.release(1, pad, {240, 300});
    fingers.move(0, pad, {150, 100}); // the finger left alone moves nothing either
    fingers.release(0, pad, {150, 100});
    env.advance(1.0);
    EXPECT_EQ(session.takePackets(), SentPackets{});

    // The next touch is the one-finger pad again.
    fingers.press(0, pad, {100, 100});
    fingers.move(0, pad, {95, 103});
    fingers.release(0, pad, {95, 103});
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(0, -5, 3)});
}

TEST_F(TouchPadGestureTest, DoublePointerSpeedDoublesTheMovementAndCarriesFractions)
{
    store(2.0, settingsKey::kPointerSpeed);
    fingers.press(0, pad, {100, 100});
    fingers.move(0, pad, {110.5, 97}); // 21, -6
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(0, 21, -6)});
    fingers.release(0, pad, {110.5, 97});

    env.advance(1.0);
    fingers.press(0, pad, {100, 100});
    for (int i = 1; i <= 100; ++i)
        fingers.move(0, pad, {100 + 0.4 * i, 100});
    fingers.release(0, pad, {140, 100});
    EXPECT_EQ(totalMovement(session.takePackets()), QPoint(80, 0));
}

TEST_F(TouchPadGestureTest, AccelerationFollowsItsCurveAndSlowMovementsAddUp)
{
    store(true, settingsKey::kPointerAcceleration);
    fingers.press(0, pad, {100, 100});
    // Up to 2 points an event the gain is 1; 100 moves of 0.4 points are 40 points, not 0.
    for (int i = 1; i <= 100; ++i)
        fingers.move(0, pad, {100 + 0.4 * i, 100});
    EXPECT_EQ(totalMovement(session.takePackets()), QPoint(40, 0));
    fingers.move(0, pad, {152, 100}); // 12 points: gain 1 + 0.1 * (12 - 2) = 2
    fingers.move(0, pad, {152, 70});  // 30 points: gain held at 3
    fingers.release(0, pad, {152, 70});
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(0, 24, 0), mouse(0, 0, -90)}));

    // With double speed as well: 12 points are 2 x 2 x 12.
    store(2.0, settingsKey::kPointerSpeed);
    env.advance(1.0);
    fingers.press(0, pad, {100, 100});
    fingers.move(0, pad, {100, 112});
    fingers.release(0, pad, {100, 112});
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(0, 0, 48)});
}

TEST_F(TouchPadGestureTest, TheCurveIsFlatToTwoPointsThenRisesToThreeTimes)
{
    EXPECT_EQ(PointerMotion::accelerationGain(0.0), 1.0);
    EXPECT_EQ(PointerMotion::accelerationGain(2.0), 1.0);
    EXPECT_DOUBLE_EQ(PointerMotion::accelerationGain(7.0), 1.5);
    EXPECT_DOUBLE_EQ(PointerMotion::accelerationGain(22.0), 3.0);
    EXPECT_EQ(PointerMotion::accelerationGain(1000.0), 3.0);
    EXPECT_EQ(PointerMotion::accelerationGain(std::numeric_limits<double>::quiet_NaN()), 1.0);

    // A movement that the gain takes beyond the 16-bit field is held at its
    // ends rather than wrapped round into the opposite direction.
    PointerMotion motion;
    PointerSettings fast;
    fast.pointerSpeed = 3.0;
    fast.acceleration = true;
    motion.begin(fast);
    EXPECT_EQ(motion.move({0, 0}, {30000, -30000}), (PointerMotion::Delta{32767, -32768}));
}

TEST_F(TouchPadGestureTest, NaturalScrollingTurnsTheStripAndTheTwoFingerSlideTheOtherWay)
{
    store(true, settingsKey::kNaturalScrolling);
    const QPointF start = QRectF(wheel->rect()).center();
    fingers.press(0, wheel, start);
    fingers.move(0, wheel, start - QPointF(0, 10));
    fingers.move(0, wheel, start + QPointF(0, 1));
    fingers.release(0, wheel, start + QPointF(0, 1));
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(kDown), mouse(kUp)}));

    env.advance(1.0);
    putTwoFingersDown();
    slideBoth(-20);
    liftTwoFingers();
    EXPECT_EQ(session.takePackets(), SentPackets(2, mouse(kDown)));
}

TEST_F(TouchPadGestureTest, ScrollSpeedShortensTheDistanceOfAStepOnTheStripAndThePad)
{
    store(2.0, settingsKey::kScrollSpeed); // a step per 5 points
    const QPointF start = QRectF(wheel->rect()).center();
    fingers.press(0, wheel, start);
    fingers.move(0, wheel, start - QPointF(0, 4));
    EXPECT_EQ(session.takePackets(), SentPackets{});
    fingers.move(0, wheel, start - QPointF(0, 5));
    fingers.release(0, wheel, start - QPointF(0, 5));
    EXPECT_EQ(session.takePackets(), SentPackets{mouse(kUp)});

    env.advance(1.0);
    putTwoFingersDown();
    slideBoth(-12); // two steps, 2 points carried
    slideBoth(-3);  // the third
    liftTwoFingers();
    EXPECT_EQ(session.takePackets(), SentPackets(3, mouse(kUp)));
}

TEST_F(TouchPadGestureTest, ASettingChangedBetweenTouchesAppliesAtTheNextTouch)
{
    fingers.press(0, pad, {100, 100});
    store(2.0, settingsKey::kPointerSpeed); // while the finger is down: not yet
    fingers.move(0, pad, {105, 100});
    fingers.release(0, pad, {105, 100});
    env.advance(1.0);
    fingers.press(0, pad, {100, 100});
    fingers.move(0, pad, {105, 100});
    fingers.release(0, pad, {105, 100});
    EXPECT_EQ(session.takePackets(), (SentPackets{mouse(0, 5, 0), mouse(0, 10, 0)}));
}

TEST(PointerSettings, AbsentOrUnusableValuesReadAsTheDefaultsAndOthersAreHeldInRange)
{
    AppTestEnvironment env;
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    EXPECT_EQ(PointerSettings::current(), PointerSettings{});
    EXPECT_TRUE(PointerSettings::current().movesOneToOne());
    EXPECT_EQ(PointerSettings::current().wheelStepPoints(), 10.0f);

    defaults.setObject(QStringLiteral("fast"), settingsKey::kPointerSpeed);
    defaults.setObject(true, settingsKey::kScrollSpeed);
    EXPECT_EQ(PointerSettings::current(), PointerSettings{});
    defaults.setObject(std::nan(""), settingsKey::kPointerSpeed);
    defaults.setObject(std::numeric_limits<double>::infinity(), settingsKey::kScrollSpeed);
    EXPECT_EQ(PointerSettings::current(), PointerSettings{});

    defaults.setObject(1e9, settingsKey::kPointerSpeed);
    defaults.setObject(-4, settingsKey::kScrollSpeed);
    const PointerSettings held = PointerSettings::current();
    EXPECT_EQ(held.pointerSpeed, PointerSettings::kMaximumSpeed);
    EXPECT_EQ(held.scrollSpeed, PointerSettings::kMinimumSpeed);
    EXPECT_EQ(held.wheelStepPoints(), 20.0f);
}

} // namespace
