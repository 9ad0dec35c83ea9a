// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Accelerometer.h"

#include "platform/RunLoop.h"
#include "platform/Timer.h"

#include <QAccelerometer>

#include <algorithm>

namespace platform {

namespace {

// QAccelerometer, created only when sampling starts, so that a machine
// without a sensor pays nothing until motion is asked for.
class SensorAccelerationSource : public AccelerationSource {
public:
    void start() override
    {
        if (!sensor_) {
            sensor_ = std::make_unique<QAccelerometer>();
            sensor_->setAccelerationMode(QAccelerometer::Combined);
        }
        sensor_->start();
    }

    void stop() override
    {
        if (sensor_)
            sensor_->stop();
    }

    std::optional<SensorReading> latestReading() const override
    {
        if (!sensor_ || !sensor_->isActive())
            return std::nullopt;
        const QAccelerometerReading* reading = sensor_->reading();
        if (!reading)
            return std::nullopt;
        return SensorReading{reading->x(), reading->y(), reading->z()};
    }

private:
    std::unique_ptr<QAccelerometer> sensor_;
};

} // namespace

std::shared_ptr<AccelerationSource> makeSensorAccelerationSource()
{
    return std::make_shared<SensorAccelerationSource>();
}

void InjectedAccelerationSource::setAcceleration(double x, double y, double z)
{
    const double g = Accelerometer::standardGravity;
    reading_ = SensorReading{-x * g, -y * g, -z * g};
}

Accelerometer& Accelerometer::sharedAccelerometer()
{
    static Accelerometer accelerometer;
    return accelerometer;
}

Accelerometer::Accelerometer() = default;

Accelerometer::~Accelerometer()
{
    stopSampling();
}

Acceleration Accelerometer::fromSensorReading(const SensorReading& reading)
{
    // Qt reports the force holding the device; the phone reports gravity
    // itself, in g: the same axes with every sign turned over.
    return Acceleration{-reading.x / standardGravity, -reading.y / standardGravity, -reading.z / standardGravity, 0.0};
}

void Accelerometer::setUpdateInterval(double seconds)
{
    updateInterval_ = std::clamp(seconds, 0.01, 1.0);
    if (sampleTimer_)
        restartSampling();
}

void Accelerometer::setDelegate(AccelerometerDelegate* delegate)
{
    delegate_ = delegate;
    if (delegate_)
        restartSampling();
    else
        stopSampling();
}

void Accelerometer::setSource(std::shared_ptr<AccelerationSource> source)
{
    const bool sampling = static_cast<bool>(sampleTimer_);
    stopSampling();
    source_ = std::move(source);
    if (sampling)
        restartSampling();
}

void Accelerometer::restartSampling()
{
    if (sampleTimer_) {
        sampleTimer_->invalidate();
        sampleTimer_.reset();
    }
    if (!source_)
        source_ = makeSensorAccelerationSource();
    if (!sourceStarted_) {
        source_->start();
        sourceStarted_ = true;
    }
    sampleTimer_ = Timer::scheduledTimer(updateInterval_, true, [this] { sample(); });
}

void Accelerometer::stopSampling()
{
    if (sampleTimer_) {
        sampleTimer_->invalidate();
        sampleTimer_.reset();
    }
    if (source_ && sourceStarted_)
        source_->stop();
    sourceStarted_ = false;
}

void Accelerometer::sample()
{
    if (!delegate_ || !source_)
        return;
    const std::optional<SensorReading> reading = source_->latestReading();
    if (!reading)
        return;
    Acceleration acceleration = fromSensorReading(*reading);
    acceleration.timestamp = RunLoop::main().now();
    delegate_->didAccelerate(this, acceleration);
}

} // namespace platform
