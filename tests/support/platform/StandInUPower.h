// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for UPower, written for the tests: it owns org.freedesktop.UPower
// on a bus of the test's own (a private session bus) and serves the display
// device's properties (Type, IsPresent, Percentage, State) at
// /org/freedesktop/UPower/devices/DisplayDevice, announcing every change
// with PropertiesChanged as UPower does. It runs on the test's main thread:
// the test turns the event loop while it waits.
#pragma once

#include <QString>

#include <memory>

namespace platform {

class StandInUPowerDevice;

class StandInUPower {
public:
    // UPower's device states the tests use.
    static constexpr unsigned kCharging = 1;
    static constexpr unsigned kDischarging = 2;

    // Connects to the bus at `address` and takes UPower's name, with a
    // battery at `percentage`. Null, with `why`, when that fails.
    static std::unique_ptr<StandInUPower> start(const QString& address, double percentage, QString& why);
    // Gives up the name and leaves the bus.
    ~StandInUPower();
    StandInUPower(const StandInUPower&) = delete;
    StandInUPower& operator=(const StandInUPower&) = delete;

    // A battery at `percentage` in `state`.
    void setBattery(double percentage, unsigned state);
    // A machine on mains only: the display device is no battery.
    void setNoBattery();

private:
    StandInUPower(QString connection, std::unique_ptr<StandInUPowerDevice> device);

    QString connection_;
    std::unique_ptr<StandInUPowerDevice> device_;
};

} // namespace platform
