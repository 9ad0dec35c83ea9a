// SPDX-License-Identifier: GPL-3.0-or-later
// The track ball: movement by the finger's travel and a click on a tap, sent
// at once, without button state and without connection checks.
#include "RemoteProtocol.h"
#include "UITrackBall.h"

#include "platform/Alert.h"
#include "support/platform/FingerSimulator.h"

#include "support/AppTestEnvironment.h"
#include "support/SessionRecorder.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class TrackBallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(320, 460);
        ball = new UITrackBall(&window);
        ball->setGeometry(100, 100, 120, 120);
        window.show();
    }

    AppTestEnvironment env;
    QWidget window;
    UITrackBall* ball = nullptr;
    FingerSimulator fingers;
};

TEST_F(TrackBallTest, MovementIsTheFingersTravelCutTowardsZero)
{
    SessionRecorder session;
    ASSERT_TRUE(session.connected());
    fingers.press(0, ball, {50, 50});
    EXPECT_EQ(session.takePackets(), SentPackets{});
    fingers.move(0, ball, {53.9, 47.8}); // (3.9, -2.2)
    fingers.move(0, ball, {54.4, 47.3}); // half a point: the fraction was dropped
    fingers.move(0, ball, {200, 47.3});  // well outside the ball: still its finger
    EXPECT_EQ(session.takePackets(),
              (SentPackets{SentPacket::mouse(0, 3, -2), SentPacket::mouse(0, 0, 0), SentPacket::mouse(0, 145, 0)}));
    fingers.release(0, ball, {200, 47.3});
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_TRUE(env.takeSounds().isEmpty());
}

TEST_F(TrackBallTest, ATapClicksAtOnceAndAMovedLiftDoesNot)
{
    SessionRecorder session;
    ASSERT_TRUE(session.connected());
    fingers.tap(ball, {60, 60});
    EXPECT_EQ(session.takePackets(), (SentPackets{SentPacket::mouse(1), SentPacket::mouse(0)}));
    EXPECT_EQ(env.takeSounds(), (QStringList{"keypress", "keyrelease"}));

    env.advance(0.05);
    fingers.tap(ball, {60, 60}); // a double tap is two separate clicks
    EXPECT_EQ(session.takePackets(), (SentPackets{SentPacket::mouse(1), SentPacket::mouse(0)}));

    env.advance(1.0);
    fingers.press(0, ball, {60, 60});
    fingers.release(0, ball, {60.25, 60});
    EXPECT_EQ(session.takePackets(), SentPackets{});

    ball->rbuttonTouchDown();
    ball->rbuttonTouchUp();
    EXPECT_EQ(session.takePackets(), (SentPackets{SentPacket::mouse(4), SentPacket::mouse(0)}));
}

TEST_F(TrackBallTest, WithoutASessionNothingIsSentNorShownButTheSoundsPlay)
{
    closeAppSession();
    fingers.press(0, ball, {60, 60});
    fingers.move(0, ball, {70, 70});
    fingers.release(0, ball, {70, 70});
    fingers.tap(ball, {30, 30});
    EXPECT_TRUE(Alert::history().empty());
    EXPECT_EQ(env.takeSounds(), (QStringList{"keypress", "keyrelease"}));
    EXPECT_EQ(remote_is_connected(), 0);
}

} // namespace
