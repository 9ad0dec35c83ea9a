// SPDX-License-Identifier: GPL-3.0-or-later
// The device's battery as UPower reports it over D-Bus (its display device,
// which stands for all of a machine's batteries): the charge and whether it
// is charging, kept up to date by UPower's PropertiesChanged signal. A
// machine without a battery, or without UPower, has none, and a UPower that
// comes or goes later is followed. UPower lives on the system bus; the
// environment variable QUILLON_UPOWER_BUS names another bus by its address
// (the tests serve a stand-in UPower on a private one).
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <memory>

class QDBusConnection;
class QDBusServiceWatcher;

namespace platform {

class Battery : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kBusVariable = "QUILLON_UPOWER_BUS";
    static constexpr const char* kService = "org.freedesktop.UPower";
    static constexpr const char* kDisplayDevice = "/org/freedesktop/UPower/devices/DisplayDevice";
    static constexpr const char* kDeviceInterface = "org.freedesktop.UPower.Device";

    explicit Battery(QObject* parent = nullptr);
    ~Battery() override;

    // Connects to the bus and asks UPower; there is no battery until it answers.
    void start();

    bool isPresent() const { return present_; }
    // The charge, 0 to 100.
    double level() const { return level_; }
    bool isCharging() const { return charging_; }

signals:
    void changed();

private slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void readAll();
    void apply(const QVariantMap& properties);
    void forget();

    std::unique_ptr<QDBusConnection> bus_;
    QString ownConnection_; // the name of a connection this object opened itself
    QDBusServiceWatcher* watcher_ = nullptr;
    QVariantMap properties_;
    bool present_ = false;
    double level_ = 0;
    bool charging_ = false;
};

} // namespace platform
