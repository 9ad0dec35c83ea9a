// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocalAddresses.h"

#include <ifaddrs.h>
#include <net/if.h>

bool isAddressOfThisHost(in_addr address)
{
    if ((ntohl(address.s_addr) >> 24) == 127)
        return true;
    // A datagram from 0.0.0.0 was sent on this computer before any address
    // was chosen for it (a broadcast through a route with no source address).
    if (address.s_addr == htonl(INADDR_ANY))
        return true;
    // Asked afresh for each query: interfaces come and go (Wi-Fi, VPN), and
    // queries are rare enough (one every few seconds per phone).
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return false;
    bool found = false;
    for (const ifaddrs* entry = interfaces; entry && !found; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET)
            found = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr == address.s_addr;
    }
    freeifaddrs(interfaces);
    return found;
}

std::optional<unsigned> interfaceIndexOf(in_addr address)
{
    // Asked afresh too: the address may move to another interface.
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return std::nullopt;
    std::optional<unsigned> index;
    for (const ifaddrs* entry = interfaces; entry && !index; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET && entry->ifa_name
            && reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr == address.s_addr) {
            if (const unsigned found = if_nametoindex(entry->ifa_name))
                index = found;
        }
    }
    freeifaddrs(interfaces);
    return index;
}
