#include "LocalAddresses.h"

#include <ifaddrs.h>

bool isAddressOfThisHost(in_addr address)
{
    if ((ntohl(address.s_addr) >> 24) == 127)
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
