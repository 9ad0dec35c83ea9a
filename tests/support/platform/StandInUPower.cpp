// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/platform/StandInUPower.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace platform {

namespace {
const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
} // namespace

std::unique_ptr<StandInUPower> StandInUPower::start(const QString& address, double percentage, QString& why)
{
    static int made = 0;
    const QString connection = QStringLiteral("stand-in-upower-%1").arg(++made);
    std::unique_ptr<StandInUPower> upower(new StandInUPower(connection));
    upower->percentage_ = percentage;
    QDBusConnection bus = QDBusConnection::connectToBus(address, connection);
    if (!bus.isConnected())
        why = bus.lastError().message();
    else if (!bus.registerObject(kPath, upower.get(), QDBusConnection::ExportAllProperties))
        why = QStringLiteral("cannot serve ") + kPath;
    else if (!bus.registerService(kService))
        why = QStringLiteral("cannot take ") + kService + QStringLiteral(": ") + bus.lastError().message();
    else
        return upower;
    return nullptr; // its destructor leaves the bus
}

StandInUPower::~StandInUPower()
{
    QDBusConnection bus(connection_);
    bus.unregisterService(kService);
    bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(connection_);
}

void StandInUPower::set(uint type, bool present, double percentage, uint state)
{
    type_ = type;
    present_ = present;
    percentage_ = percentage;
    state_ = state;
    QDBusMessage changed = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("PropertiesChanged"));
    changed << QStringLiteral("org.freedesktop.UPower.Device")
            << QVariantMap{{QStringLiteral("Type"), type_},
                           {QStringLiteral("IsPresent"), present_},
                           {QStringLiteral("Percentage"), percentage_},
                           {QStringLiteral("State"), state_}}
            << QStringList();
    QDBusConnection(connection_).send(changed);
}

} // namespace platform
