// SPDX-License-Identifier: GPL-3.0-or-later
#include "Reachability.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

using namespace platform;

namespace {

const QString linkLocalKey = QStringLiteral("169.254.0.0");

sockaddr_in linkLocalTarget()
{
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = htonl(0xA9FE0000u); // 169.254.0.0
    return address;
}

} // namespace

Reachability* Reachability::sharedReachability()
{
    static Reachability shared;
    return &shared;
}

int Reachability::localWiFiConnectionStatus()
{
    NetworkReachabilityFlags flags = 0;
    if (isAdHocWiFiNetworkAvailableFlags(&flags) && (flags & kNetworkReachabilityFlagsIsDirect))
        return ReachableViaWiFiNetwork;
    return NotReachable;
}

bool Reachability::isAdHocWiFiNetworkAvailableFlags(NetworkReachabilityFlags* outFlags)
{
    auto& query = reachabilityQueries_[linkLocalKey];
    if (!query || !query->reachabilityRef()) {
        const sockaddr_in target = linkLocalTarget();
        query = std::make_shared<ReachabilityQuery>();
        query->setReachabilityRef(NetworkReachability::createWithAddress(reinterpret_cast<const sockaddr*>(&target)));
        query->setHostNameOrAddress(linkLocalKey);
    }

    NetworkReachabilityFlags flags = 0;
    if (!query->reachabilityRef() || !query->reachabilityRef()->getFlags(&flags))
        return false;
    if (outFlags)
        *outFlags = flags;
    return isReachableWithoutRequiringConnection(flags);
}

bool Reachability::isReachableWithoutRequiringConnection(NetworkReachabilityFlags flags)
{
    const bool reachable = flags & kNetworkReachabilityFlagsReachable;
    const bool connectionRequired = flags & kNetworkReachabilityFlagsConnectionRequired;
    const bool cellular = flags & kNetworkReachabilityFlagsIsWWAN;
    return reachable && (!connectionRequired || cellular);
}
