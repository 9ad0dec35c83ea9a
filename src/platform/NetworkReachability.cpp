// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NetworkReachability.h"

#include <QFile>
#include <QString>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace platform {

namespace {

NetworkReachability::InterfaceLister& interfaceLister()
{
    static NetworkReachability::InterfaceLister lister;
    return lister;
}

NetworkReachability::FlagsResolver& flagsResolver()
{
    static NetworkReachability::FlagsResolver resolver;
    return resolver;
}

bool isLinkLocal(std::uint32_t address)
{
    return (address & 0xFFFF0000u) == 0xA9FE0000u; // 169.254.0.0/16
}

// The kernel marks a cellular modem's network device with DEVTYPE=wwan.
bool isWwanDevice(const std::string& name)
{
    if (name.rfind("wwan", 0) == 0)
        return true;
    QFile uevent(QStringLiteral("/sys/class/net/%1/uevent").arg(QString::fromStdString(name)));
    if (!uevent.open(QIODevice::ReadOnly))
        return false;
    return uevent.readAll().contains("DEVTYPE=wwan");
}

} // namespace

std::shared_ptr<NetworkReachability> NetworkReachability::createWithAddress(const sockaddr* address)
{
    if (!address || address->sa_family != AF_INET)
        return nullptr;
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
    return std::make_shared<NetworkReachability>(ntohl(ipv4->sin_addr.s_addr));
}

bool NetworkReachability::getFlags(NetworkReachabilityFlags* flags) const
{
    std::optional<NetworkReachabilityFlags> current;
    if (const auto& resolver = flagsResolver()) {
        current = resolver(target_);
    } else {
        const auto& lister = interfaceLister();
        const auto interfaces = lister ? lister() : systemInterfaces();
        if (interfaces)
            current = flagsForTarget(target_, *interfaces);
    }
    if (!current)
        return false;
    if (flags)
        *flags = *current;
    return true;
}

void NetworkReachability::setInterfaceLister(InterfaceLister lister)
{
    interfaceLister() = std::move(lister);
}

void NetworkReachability::setFlagsResolver(FlagsResolver resolver)
{
    flagsResolver() = std::move(resolver);
}

NetworkReachabilityFlags NetworkReachability::flagsForTarget(std::uint32_t target, const std::vector<NetworkInterfaceAddress>& interfaces)
{
    auto usable = [](const NetworkInterfaceAddress& i) { return i.up && i.running && !i.loopback && i.address != 0; };
    auto cellular = [](const NetworkInterfaceAddress& i) { return i.wwan ? kNetworkReachabilityFlagsIsWWAN : 0u; };
    const NetworkReachabilityFlags direct = kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsIsDirect;

    // A segment whose subnet holds the target.
    for (const auto& i : interfaces)
        if (usable(i) && i.netmask != 0 && (i.address & i.netmask) == (target & i.netmask))
            return direct | cellular(i);

    // Link-local hosts can be on any segment that a broadcast reaches.
    if (isLinkLocal(target)) {
        for (const auto& i : interfaces)
            if (usable(i) && i.broadcast && !i.pointToPoint)
                return direct | cellular(i);
    }

    // Anything else goes through a gateway; a wired or wireless one first.
    const NetworkInterfaceAddress* viaGateway = nullptr;
    for (const auto& i : interfaces)
        if (usable(i) && (!viaGateway || (viaGateway->wwan && !i.wwan)))
            viaGateway = &i;
    if (viaGateway && !isLinkLocal(target))
        return kNetworkReachabilityFlagsReachable | cellular(*viaGateway);
    return 0;
}

std::optional<std::vector<NetworkInterfaceAddress>> NetworkReachability::systemInterfaces()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return std::nullopt;
    std::vector<NetworkInterfaceAddress> result;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        NetworkInterfaceAddress i;
        i.name = entry->ifa_name ? entry->ifa_name : "";
        i.up = entry->ifa_flags & IFF_UP;
        i.running = entry->ifa_flags & IFF_RUNNING;
        i.loopback = entry->ifa_flags & IFF_LOOPBACK;
        i.broadcast = entry->ifa_flags & IFF_BROADCAST;
        i.pointToPoint = entry->ifa_flags & IFF_POINTOPOINT;
        i.address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        if (entry->ifa_netmask && entry->ifa_netmask->sa_family == AF_INET)
            i.netmask = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
        i.wwan = isWwanDevice(i.name);
        result.push_back(std::move(i));
    }
    freeifaddrs(list);
    return result;
}

} // namespace platform
