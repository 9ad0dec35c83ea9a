// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/LocalAddresses.h"

#include <ifaddrs.h>
#include <net/if.h>

std::vector<InterfaceAddress> readInterfaceAddresses()
{
    std::vector<InterfaceAddress> addresses;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return addresses;
    for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_name)
            continue;
        InterfaceAddress address;
        address.index = if_nametoindex(entry->ifa_name);
        address.address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
        if (entry->ifa_netmask)
            address.netmask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr;
        if ((entry->ifa_flags & IFF_POINTOPOINT) && entry->ifa_dstaddr
            && entry->ifa_dstaddr->sa_family == AF_INET)
            address.peer = reinterpret_cast<const sockaddr_in*>(entry->ifa_dstaddr)->sin_addr;
        addresses.push_back(address);
    }
    freeifaddrs(interfaces);
    return addresses;
}

LocalNetworks::LocalNetworks(Reader read, std::chrono::milliseconds maxAge)
    : read_(std::move(read))
    , maxAge_(maxAge)
{
}

const std::vector<InterfaceAddress>& LocalNetworks::table(Clock::time_point now)
{
    if (!readAt_ || now - *readAt_ >= maxAge_ || now < *readAt_) {
        table_ = read_();
        readAt_ = now;
    }
    return table_;
}

bool LocalNetworks::isAddressOfThisHost(in_addr address, Clock::time_point now)
{
    if ((ntohl(address.s_addr) >> 24) == 127 || address.s_addr == htonl(INADDR_ANY))
        return true;
    for (const InterfaceAddress& entry : table(now)) {
        if (entry.address.s_addr == address.s_addr)
            return true;
    }
    return false;
}

std::optional<unsigned> LocalNetworks::interfaceIndexOf(in_addr address, Clock::time_point now)
{
    for (const InterfaceAddress& entry : table(now)) {
        if (entry.address.s_addr == address.s_addr && entry.index != 0)
            return entry.index;
    }
    return std::nullopt;
}

bool LocalNetworks::isOnNetworkOf(in_addr source, unsigned index, Clock::time_point now)
{
    for (const InterfaceAddress& entry : table(now)) {
        if (entry.index != index)
            continue;
        if (entry.peer && entry.peer->s_addr == source.s_addr)
            return true;
        const uint32_t mask = entry.netmask.s_addr;
        if (mask != 0 && (entry.address.s_addr & mask) == (source.s_addr & mask))
            return true;
    }
    return false;
}
