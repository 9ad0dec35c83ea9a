// SPDX-License-Identifier: GPL-3.0-or-later
// The record of one receiver host: its name, address, port and system, and
// whether discovery found it, stored in the settings as a dictionary. Every
// property may be absent (a stored entry with a key missing); lists,
// notifications and the login screen share a record through std::shared_ptr.
#pragma once

#include "WireFormat.h"

#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class Computer {
public:
    static constexpr int defaultPort = REMOTE_DEFAULT_PORT;

    // Both take the name as cleanComputerName leaves it (ComputerName.h).
    // A computer named `name` running `os`: not discovered, address "" and
    // the receiver's default port.
    static std::shared_ptr<Computer> initWithInfo(const QString& name, const QString& os);

    // A computer from its stored form; a missing key leaves its property
    // absent, and the record is never marked discovered.
    static std::shared_ptr<Computer> initWithDictionary(const QVariantMap& dictionary);

    // The stored form: "ComputerName", "Os", "Ip" and "Port", nothing else.
    // An absent property is left out rather than stored as an empty value.
    QVariantMap encodeWithDictionary() const;

    const std::optional<QString>& computerName() const { return computerName_; }
    void setComputerName(std::optional<QString> computerName) { computerName_ = std::move(computerName); }

    const std::optional<QString>& ip() const { return ip_; }
    void setIp(std::optional<QString> ip) { ip_ = std::move(ip); }

    const std::optional<int>& port() const { return port_; }
    void setPort(std::optional<int> port) { port_ = port; }

    const std::optional<QString>& os() const { return os_; }
    void setOs(std::optional<QString> os) { os_ = std::move(os); }

    const std::optional<bool>& discoverd() const { return discoverd_; }
    void setDiscoverd(std::optional<bool> discoverd) { discoverd_ = discoverd; }

private:
    std::optional<QString> computerName_;
    std::optional<QString> ip_;
    std::optional<int> port_;
    std::optional<QString> os_;
    std::optional<bool> discoverd_;
};
