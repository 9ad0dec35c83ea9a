// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Accelerometer.h"
#include "support/platform/ManualClock.h"

#include <gtest/gtest.h>

#include <vector>

using platform::Acceleration;
using platform::Accelerometer;
using platform::InjectedAccelerationSource;
using platform::ScopedManualClock;

namespace {

struct RecordingDelegate : platform::AccelerometerDelegate {
    void didAccelerate(Accelerometer* accelerometer, const Acceleration& acceleration) override
    {
        from = accelerometer;
        samples.push_back(acceleration);
    }
    Accelerometer* from = nullptr;
    std::vector<Acceleration> samples;
};

} // namespace

TEST(Accelerometer, TurnsQtReadingsIntoGWithThePhonesSigns)
{
    const double g = Accelerometer::standardGravity;
    // Upright: Qt reads +g on y, the phone -1.
    Acceleration upright = Accelerometer::fromSensorReading({0.0, g, 0.0});
    EXPECT_DOUBLE_EQ(upright.x, 0.0);
    EXPECT_DOUBLE_EQ(upright.y, -1.0);
    // Face up on a table: z = -1. Tilted with the right edge down: x = +0.5.
    EXPECT_DOUBLE_EQ(Accelerometer::fromSensorReading({0.0, 0.0, g}).z, -1.0);
    EXPECT_DOUBLE_EQ(Accelerometer::fromSensorReading({-0.5 * g, 0.0, 0.0}).x, 0.5);
}

TEST(Accelerometer, SamplesTheInjectedSourceEveryIntervalWhileItHasADelegate)
{
    ScopedManualClock clock;
    Accelerometer accelerometer;
    auto source = std::make_shared<InjectedAccelerationSource>();
    accelerometer.setSource(source);
    RecordingDelegate delegate;

    source->setReading({0.0, Accelerometer::standardGravity, 0.0});
    accelerometer.setUpdateInterval(0.1);
    accelerometer.setDelegate(&delegate);
    EXPECT_TRUE(source->isActive());

    clock.advance(0.1);
    ASSERT_EQ(delegate.samples.size(), 1u);
    EXPECT_EQ(delegate.from, &accelerometer);
    EXPECT_DOUBLE_EQ(delegate.samples[0].y, -1.0);
    EXPECT_NEAR(delegate.samples[0].timestamp, 0.1, 1e-9);

    source->setAcceleration(0.5, -0.3, 0.0); // set in the phone's terms
    clock.advance(0.2);
    ASSERT_EQ(delegate.samples.size(), 3u);
    EXPECT_DOUBLE_EQ(delegate.samples[2].x, 0.5);
    EXPECT_DOUBLE_EQ(delegate.samples[2].y, -0.3);

    accelerometer.setDelegate(nullptr);
    EXPECT_FALSE(source->isActive());
    clock.advance(1.0);
    EXPECT_EQ(delegate.samples.size(), 3u);
    EXPECT_DOUBLE_EQ(accelerometer.updateInterval(), 0.1); // unchanged by losing the delegate
}

TEST(Accelerometer, NoReadingNoSampleAndANewIntervalTakesEffectAtOnce)
{
    ScopedManualClock clock;
    Accelerometer accelerometer;
    auto source = std::make_shared<InjectedAccelerationSource>();
    accelerometer.setSource(source);
    RecordingDelegate delegate;
    accelerometer.setDelegate(&delegate);
    accelerometer.setUpdateInterval(0.5);

    clock.advance(1.0);
    EXPECT_TRUE(delegate.samples.empty()); // a sensor with nothing to say yet

    source->setAcceleration(0.0, 0.0, -1.0);
    clock.advance(1.0);
    EXPECT_EQ(delegate.samples.size(), 2u);

    accelerometer.setUpdateInterval(0.001); // held at 0.01 s
    EXPECT_DOUBLE_EQ(accelerometer.updateInterval(), 0.01);
    clock.advance(0.1);
    EXPECT_EQ(delegate.samples.size(), 12u);
    accelerometer.setDelegate(nullptr);
}
