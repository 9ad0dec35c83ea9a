// SPDX-License-Identifier: GPL-3.0-or-later
// The Wi-Fi check the app makes at start (it warns once when there is no
// local network), on the platform's NetworkReachability, with the cache of
// reachability handles it keeps by host name or address.
#pragma once

#include "platform/NetworkReachability.h"

#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace platform {
class RunLoop;
}

// One cached reachability handle and the key it is cached under.
class ReachabilityQuery {
public:
    const std::shared_ptr<platform::NetworkReachability>& reachabilityRef() const { return reachabilityRef_; }
    void setReachabilityRef(std::shared_ptr<platform::NetworkReachability> ref) { reachabilityRef_ = std::move(ref); }

    // Change notifications are never scheduled, so this stays empty.
    const std::vector<platform::RunLoop*>& runLoops() const { return runLoops_; }

    const QString& hostNameOrAddress() const { return hostNameOrAddress_; }
    void setHostNameOrAddress(const QString& key) { hostNameOrAddress_ = key; }

private:
    std::shared_ptr<platform::NetworkReachability> reachabilityRef_;
    std::vector<platform::RunLoop*> runLoops_;
    QString hostNameOrAddress_;
};

// Answers whether the local Wi-Fi network is there: whether the link-local
// network 169.254.0.0 can be reached directly, without setting up a connection.
class Reachability {
public:
    enum NetworkStatus : int {
        NotReachable = 0,
        ReachableViaWiFiNetwork = 2,
    };

    static Reachability* sharedReachability();

    Reachability() = default;
    Reachability(const Reachability&) = delete;
    Reachability& operator=(const Reachability&) = delete;

    // ReachableViaWiFiNetwork (2) or NotReachable (0).
    int localWiFiConnectionStatus();

    // Whether the link-local network is reachable without a connection
    // being set up; writes the flags through `outFlags` (which may be null)
    // when they could be read, and leaves it untouched otherwise.
    bool isAdHocWiFiNetworkAvailableFlags(platform::NetworkReachabilityFlags* outFlags);

    static bool isReachableWithoutRequiringConnection(platform::NetworkReachabilityFlags flags);

    bool networkStatusNotificationsEnabled() const { return networkStatusNotificationsEnabled_; }
    const std::optional<QString>& hostName() const { return hostName_; }
    const std::optional<QString>& address() const { return address_; }
    const std::map<QString, std::shared_ptr<ReachabilityQuery>>& reachabilityQueries() const { return reachabilityQueries_; }

private:
    bool networkStatusNotificationsEnabled_ = false;
    std::optional<QString> hostName_;
    std::optional<QString> address_;
    std::map<QString, std::shared_ptr<ReachabilityQuery>> reachabilityQueries_;
};
