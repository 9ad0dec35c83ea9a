// SPDX-License-Identifier: GPL-3.0-or-later
// Motion mode: the touch pad's motion button makes the screen the
// accelerometer's delegate; samples from an injected source on virtual time
// become mouse packets at a receiver double on 127.0.0.1.
#include "TouchPadViewController.h"

#include "platform/Accelerometer.h"
#include "platform/Alert.h"
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"

#include "support/AppTestEnvironment.h"
#include "support/SessionRecorder.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class MotionModeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Accelerometer::sharedAccelerometer().setSource(source);
        window.resize(320, 460);
        screen.view()->setParent(&window);
        window.show();
        screen.viewDidAppear(false);
    }
    void TearDown() override
    {
        Accelerometer::sharedAccelerometer().setDelegate(nullptr);
        Accelerometer::sharedAccelerometer().setSource(nullptr);
    }

    void holdMotionButton() { fingers.press(0, screen.motionButton(), {60, 16}); }
    void releaseMotionButton() { fingers.release(0, screen.motionButton(), {60, 16}); }
    // The phone reads (x, y) in g; the next sample picks it up.
    void tilt(double x, double y)
    {
        source->setAcceleration(x, y, -0.9);
        env.advance(0.1);
    }

    AppTestEnvironment env;
    std::shared_ptr<InjectedAccelerationSource> source = std::make_shared<InjectedAccelerationSource>();
    QWidget window;
    TouchPadViewController screen;
    FingerSimulator fingers;
};

class MotionModeSessionTest : public MotionModeTest {
protected:
    void SetUp() override
    {
        MotionModeTest::SetUp();
        ASSERT_TRUE(session.connected());
    }
    SessionRecorder session;
};

TEST_F(MotionModeSessionTest, TheFirstSampleSetsTheReferenceThenTiltMovesWithQuadraticGain)
{
    holdMotionButton();
    EXPECT_EQ(Accelerometer::sharedAccelerometer().delegate(), &screen);
    EXPECT_DOUBLE_EQ(Accelerometer::sharedAccelerometer().updateInterval(), 0.1);

    tilt(0.9, 0.9); // however far it is tilted, the first sample only takes the reference
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_FALSE(screen.needSetBasis());

    const struct {
        double x, y;
        SentPackets expected;
    } samples[] = {
        {0.05, -0.25, {}},                              // inside the dead zone on both axes
        {0.0, -0.3, {}},                                // the neutral pose costs no traffic
        {0.5, -0.3, {SentPacket::mouse(0, 51, 0)}},
        {-0.5, -0.3, {SentPacket::mouse(0, -51, 0)}},
        {0.0, 0.0, {SentPacket::mouse(0, 0, 18)}},      // flat on the table: down
        {0.0, -1.0, {SentPacket::mouse(0, 0, -99)}},    // upright: up
        {0.07, -0.3, {SentPacket::mouse(0, 1, 0)}},     // the first tilt past the dead zone
        {0.1, -0.3, {SentPacket::mouse(0, 2, 0)}},
        {1.0, -0.3, {SentPacket::mouse(0, 202, 0)}},
        {-2.0, -0.3, {SentPacket::mouse(0, -804, 0)}},
    };
    for (const auto& sample : samples) {
        SCOPED_TRACE(testing::Message() << "x " << sample.x << ", y " << sample.y);
        tilt(sample.x, sample.y);
        EXPECT_EQ(session.takePackets(), sample.expected);
    }

    releaseMotionButton();
    EXPECT_EQ(Accelerometer::sharedAccelerometer().delegate(), nullptr);
    tilt(0.5, -0.3);
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_TRUE(Alert::history().empty());
}

TEST_F(MotionModeSessionTest, AHeldLeftButtonTurnsTheTiltIntoADrag)
{
    fingers.press(1, screen.leftButton(), {40, 40});
    holdMotionButton();
    tilt(0.0, -0.3);
    tilt(0.5, -0.3);
    EXPECT_EQ(session.takePackets(), (SentPackets{SentPacket::mouse(1), SentPacket::mouse(1, 51, 0)}));
    releaseMotionButton();
    fingers.release(1, screen.leftButton(), {40, 40});
}

TEST_F(MotionModeSessionTest, StartingAgainSpendsOneMoreSampleOnTheReference)
{
    holdMotionButton();
    tilt(0.0, -0.3);
    releaseMotionButton();
    holdMotionButton();
    tilt(0.5, -0.3);
    EXPECT_EQ(session.takePackets(), SentPackets{});
    tilt(0.5, -0.3);
    EXPECT_EQ(session.takePackets(), SentPackets{SentPacket::mouse(0, 51, 0)});
    releaseMotionButton();
}

TEST_F(MotionModeTest, WithoutASessionSamplesAreDroppedAndTheReferenceWaits)
{
    closeAppSession();
    holdMotionButton();
    ASSERT_EQ(Alert::history().size(), 1u); // the start checks the connection once
    EXPECT_EQ(Alert::history()[0].title, "Connection Error");
    for (int i = 0; i < 5; ++i)
        tilt(0.5, -0.3);
    EXPECT_EQ(Alert::history().size(), 1u);
    EXPECT_TRUE(screen.needSetBasis());

    SessionRecorder session; // the user logs in meanwhile
    ASSERT_TRUE(session.connected());
    tilt(0.5, -0.3);
    EXPECT_EQ(session.takePackets(), SentPackets{}); // still the reference
    tilt(0.5, -0.3);
    EXPECT_EQ(session.takePackets(), SentPackets{SentPacket::mouse(0, 51, 0)});
    releaseMotionButton();
}

} // namespace
