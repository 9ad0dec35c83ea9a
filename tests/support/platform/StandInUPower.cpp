// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StandInUPower.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

namespace platform {

namespace {
const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString kInterface = QStringLiteral("org.freedesktop.UPower.Device");
constexpr uint kTypeUnknown = 0;
constexpr uint kTypeBattery = 2;
} // namespace

// The exported object: its properties are what GetAll answers.
class StandInUPowerDevice : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UPower.Device")
    Q_PROPERTY(uint Type READ type)
    Q_PROPERTY(bool IsPresent READ isPresent)
    Q_PROPERTY(double Percentage READ percentage)
    Q_PROPERTY(uint State READ state)

public:
    explicit StandInUPowerDevice(const QString& connection) : connection_(connection) {}

    uint type() const { return type_; }
    bool isPresent() const { return present_; }
    double percentage() const { return percentage_; }
    uint state() const { return state_; }

    void set(uint type, bool present, double percentage, uint state)
    {
        type_ = type;
        present_ = present;
        percentage_ = percentage;
        state_ = state;
        QDBusMessage changed = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("PropertiesChanged"));
        changed << kInterface
                << QVariantMap{{QStringLiteral("Type"), type_},
                               {QStringLiteral("IsPresent"), present_},
                               {QStringLiteral("Percentage"), percentage_},
                               {QStringLiteral("State"), state_}}
                << QStringList();
        QDBusConnection(connection_).send(changed);
    }

private:
    QString connection_;
    uint type_ = kTypeBattery;
    bool present_ = true;
    double percentage_ = 100;
    uint state_ = StandInUPower::kDischarging;
};

std::unique_ptr<StandInUPower> StandInUPower::start(const QString& address, double percentage, QString& why)
{
    static int made = 0;
    const QString connection = QStringLiteral("stand-in-upower-%1").arg(++made);
    QDBusConnection bus = QDBusConnection::connectToBus(address, connection);
    auto device = std::make_unique<StandInUPowerDevice>(connection);
    device->set(kTypeBattery, true, percentage, kDischarging);
    if (!bus.isConnected()) {
        why = bus.lastError().message();
    } else if (!bus.registerObject(kPath, device.get(), QDBusConnection::ExportAllProperties)) {
        why = QStringLiteral("cannot serve ") + kPath;
    } else if (!bus.registerService(kService)) {
        why = QStringLiteral("cannot take ") + kService + QStringLiteral(": ") + bus.lastError().message();
    } else {
        return std::unique_ptr<StandInUPower>(new StandInUPower(connection, std::move(device)));
    }
    QDBusConnection::disconnectFromBus(connection);
    return nullptr;
}

StandInUPower::StandInUPower(QString connection, std::unique_ptr<StandInUPowerDevice> device)
    : connection_(std::move(connection)), device_(std::move(device))
{
}

StandInUPower::~StandInUPower()
{
    QDBusConnection bus(connection_);
    bus.unregisterService(kService);
    bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(connection_);
}

void StandInUPower::setBattery(double percentage, unsigned state)
{
    device_->set(kTypeBattery, true, percentage, state);
}

void StandInUPower::setNoBattery()
{
    device_->set(kTypeUnknown, false, 0, 0);
}

} // namespace platform

#include "StandInUPower.moc"
