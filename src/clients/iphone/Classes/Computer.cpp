// SPDX-License-Identifier: GPL-3.0-or-later
#include "Computer.h"

#include "ComputerName.h"
#include "SettingsKeys.h"

#include <QVariant>

namespace {

bool isScalar(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

// A hand-edited settings file may hold a number where a text belongs; take
// it as text rather than drop it. Lists, dictionaries and nulls are absent.
std::optional<QString> textFrom(const QVariantMap& dictionary, const QString& key)
{
    const QVariant value = dictionary.value(key);
    if (!isScalar(value))
        return std::nullopt;
    return value.toString();
}

std::optional<int> integerFrom(const QVariantMap& dictionary, const QString& key)
{
    const QVariant value = dictionary.value(key);
    if (!isScalar(value) || value.typeId() == QMetaType::Bool)
        return std::nullopt;
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

} // namespace

std::shared_ptr<Computer> Computer::initWithInfo(const QString& name, const QString& os)
{
    auto computer = std::make_shared<Computer>();
    computer->setComputerName(cleanComputerName(name));
    computer->setOs(os);
    computer->setDiscoverd(false);
    computer->setIp(QString(""));
    computer->setPort(defaultPort);
    return computer;
}

std::shared_ptr<Computer> Computer::initWithDictionary(const QVariantMap& dictionary)
{
    auto computer = std::make_shared<Computer>();
    if (const std::optional<QString> name = textFrom(dictionary, settingsKey::kComputerName))
        computer->setComputerName(cleanComputerName(*name));
    computer->setOs(textFrom(dictionary, settingsKey::kOs));
    computer->setIp(textFrom(dictionary, settingsKey::kIp));
    computer->setPort(integerFrom(dictionary, settingsKey::kPort));
    computer->setDiscoverd(false);
    return computer;
}

QVariantMap Computer::encodeWithDictionary() const
{
    QVariantMap dictionary;
    if (computerName_)
        dictionary.insert(settingsKey::kComputerName, *computerName_);
    if (os_)
        dictionary.insert(settingsKey::kOs, *os_);
    if (ip_)
        dictionary.insert(settingsKey::kIp, *ip_);
    if (port_)
        dictionary.insert(settingsKey::kPort, *port_);
    return dictionary;
}
