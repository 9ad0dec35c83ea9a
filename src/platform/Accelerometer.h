// SPDX-License-Identifier: GPL-3.0-or-later
// The device's accelerometer for motion mode: samples in g with the phone's
// signs, taken on the main run loop from Qt Sensors, or from a reading a test
// sets.
#pragma once

#include <memory>
#include <optional>

namespace platform {

class Accelerometer;
class Timer;

// One sample in units of g with the phone's signs: x grows towards the right
// edge, y towards the top edge, z out of the screen, and a phone at rest
// reads the direction of gravity (upright: y = -1; face up: z = -1).
struct Acceleration {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double timestamp = 0.0; // run-loop seconds
};

class AccelerometerDelegate {
public:
    virtual ~AccelerometerDelegate() = default;
    virtual void didAccelerate(Accelerometer* accelerometer, const Acceleration& acceleration) = 0;
};

// A raw sensor reading as Qt Sensors reports it: m/s^2, the force that holds
// the device (upright: y = +9.81; face up: z = +9.81).
struct SensorReading {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// Where readings come from: QAccelerometer in the app, an injected source in tests.
class AccelerationSource {
public:
    virtual ~AccelerationSource() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
    // The latest reading, empty while there is none (no sensor, not yet).
    virtual std::optional<SensorReading> latestReading() const = 0;
};

// A source that holds whatever reading the test sets.
class InjectedAccelerationSource : public AccelerationSource {
public:
    void start() override { active_ = true; }
    void stop() override { active_ = false; }
    std::optional<SensorReading> latestReading() const override { return reading_; }

    void setReading(const SensorReading& reading) { reading_ = reading; }
    // Sets the reading that the phone would report as (x, y, z) in g.
    void setAcceleration(double x, double y, double z);
    void clearReading() { reading_.reset(); }
    bool isActive() const { return active_; }

private:
    std::optional<SensorReading> reading_;
    bool active_ = false;
};

// The shared accelerometer: while it has a delegate it samples its source
// every update interval on the main run loop (so a manual clock drives it in
// tests) and hands each sample to the delegate on the main thread.
class Accelerometer {
public:
    static constexpr double standardGravity = 9.80665;

    static Accelerometer& sharedAccelerometer();

    Accelerometer();
    ~Accelerometer();
    Accelerometer(const Accelerometer&) = delete;
    Accelerometer& operator=(const Accelerometer&) = delete;

    double updateInterval() const { return updateInterval_; }
    // Seconds; held between 0.01 and 1.0 as on the phone.
    void setUpdateInterval(double seconds);

    AccelerometerDelegate* delegate() const { return delegate_; }
    // The accelerometer does not own its delegate; nullptr stops sampling.
    void setDelegate(AccelerometerDelegate* delegate);

    // nullptr goes back to QAccelerometer.
    void setSource(std::shared_ptr<AccelerationSource> source);

    static Acceleration fromSensorReading(const SensorReading& reading);

private:
    void restartSampling();
    void stopSampling();
    void sample();

    AccelerometerDelegate* delegate_ = nullptr;
    double updateInterval_ = 0.1;
    std::shared_ptr<AccelerationSource> source_;
    std::shared_ptr<Timer> sampleTimer_;
    bool sourceStarted_ = false;
};

std::shared_ptr<AccelerationSource> makeSensorAccelerationSource();

} // namespace platform
