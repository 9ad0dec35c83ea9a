// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Battery.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr int kReplyTimeoutMs = 5000;
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// UPower's device types and states, as far as the strip needs them.
constexpr uint kTypeBattery = 2;
constexpr uint kStateCharging = 1;
constexpr uint kStateFullyCharged = 4;
constexpr uint kStatePendingCharge = 5;

} // namespace

Battery::Battery(QObject* parent) : QObject(parent) {}

Battery::~Battery()
{
    if (!ownConnection_.isEmpty()) {
        bus_.reset();
        QDBusConnection::disconnectFromBus(ownConnection_);
    }
}

void Battery::start()
{
    if (bus_)
        return;
    const QString address = qEnvironmentVariable(kBusVariable);
    if (address.isEmpty()) {
        bus_ = std::make_unique<QDBusConnection>(QDBusConnection::systemBus());
    } else {
        ownConnection_ = QStringLiteral("quillon-upower-%1").arg(quintptr(this), 0, 16);
        bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, ownConnection_));
    }
    if (!bus_->isConnected())
        return; // no bus, no UPower: no battery
    const QString service = QLatin1String(kService);
    const QString path = QLatin1String(kDisplayDevice);
    bus_->connect(service, path, kPropertiesInterface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    watcher_ = new QDBusServiceWatcher(service, *bus_,
                                       QDBusServiceWatcher::WatchForRegistration
                                           | QDBusServiceWatcher::WatchForUnregistration,
                                       this);
    connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, &Battery::readAll);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &Battery::forget);
    readAll();
}

void Battery::readAll()
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kDisplayDevice),
                                                       kPropertiesInterface, QStringLiteral("GetAll"));
    call << QLatin1String(kDeviceInterface);
    auto* pending = new QDBusPendingCallWatcher(bus_->asyncCall(call, kReplyTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* reply) {
        reply->deleteLater();
        const QDBusPendingReply<QVariantMap> all = *reply;
        if (all.isError()) {
            forget(); // no UPower, or no display device
            return;
        }
        properties_ = all.value();
        apply(properties_);
    });
}

void Battery::propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
{
    if (interface != QLatin1String(kDeviceInterface))
        return;
    for (auto it = changed.cbegin(); it != changed.cend(); ++it)
        properties_.insert(it.key(), it.value());
    if (!invalidated.isEmpty()) {
        readAll(); // told only that they changed, not to what
        return;
    }
    apply(properties_);
}

void Battery::apply(const QVariantMap& properties)
{
    // What the system bus says is still checked: a value of the wrong type
    // or out of range shows no battery rather than a wrong one.
    const QVariant type = properties.value(QStringLiteral("Type"));
    const QVariant isPresent = properties.value(QStringLiteral("IsPresent"));
    const QVariant percentage = properties.value(QStringLiteral("Percentage"));
    const QVariant state = properties.value(QStringLiteral("State"));
    bool typeOk = false, stateOk = false, levelOk = false;
    const uint typeValue = type.toUInt(&typeOk);
    const uint stateValue = state.toUInt(&stateOk);
    const double levelValue = percentage.toDouble(&levelOk);
    const bool present = typeOk && typeValue == kTypeBattery && isPresent.toBool() && levelOk
                         && std::isfinite(levelValue);
    const double level = present ? std::clamp(levelValue, 0.0, 100.0) : 0.0;
    const bool charging = present && stateOk
                          && (stateValue == kStateCharging || stateValue == kStateFullyCharged
                              || stateValue == kStatePendingCharge);
    if (present == present_ && level == level_ && charging == charging_)
        return;
    present_ = present;
    level_ = level;
    charging_ = charging;
    emit changed();
}

void Battery::forget()
{
    properties_.clear();
    apply(properties_);
}

} // namespace platform
