// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for UPower, written for the tests: it owns org.freedesktop.UPower
// on a bus of the test's own (a private session bus) and serves the display
// device's Type, IsPresent, Percentage and State at
// /org/freedesktop/UPower/devices/DisplayDevice, announcing each change with
// PropertiesChanged as UPower does. It answers on the test's main thread:
// the test turns the event loop while it waits.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace platform {

class StandInUPower : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UPower.Device")
    Q_PROPERTY(uint Type MEMBER type_)
    Q_PROPERTY(bool IsPresent MEMBER present_)
    Q_PROPERTY(double Percentage MEMBER percentage_)
    Q_PROPERTY(uint State MEMBER state_)

public:
    // UPower's device states the tests use.
    static constexpr uint kCharging = 1;
    static constexpr uint kDischarging = 2;

    // Connects to the bus at `address` and takes UPower's name, with a
    // discharging battery at `percentage`. Null, with `why`, when it cannot.
    static std::unique_ptr<StandInUPower> start(const QString& address, double percentage, QString& why);
    // Gives up the name and leaves the bus.
    ~StandInUPower() override;

    void setBattery(double percentage, uint state) { set(kTypeBattery, true, percentage, state); }
    // A machine on mains only: the display device is no battery.
    void setNoBattery() { set(0, false, 0, 0); }

private:
    static constexpr uint kTypeBattery = 2;
    explicit StandInUPower(QString connection) : connection_(std::move(connection)) {}
    void set(uint type, bool present, double percentage, uint state);

    QString connection_;
    uint type_ = kTypeBattery;
    bool present_ = true;
    double percentage_ = 100;
    uint state_ = kDischarging;
};

} // namespace platform
