// SPDX-License-Identifier: GPL-3.0-or-later
// Whether an IPv4 address can be reached, and how, read from the machine's
// network interfaces without sending anything.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sockaddr;

namespace platform {

using NetworkReachabilityFlags = std::uint32_t;

enum : NetworkReachabilityFlags {
    kNetworkReachabilityFlagsReachable = 1u << 1,
    kNetworkReachabilityFlagsConnectionRequired = 1u << 2,
    kNetworkReachabilityFlagsIsDirect = 1u << 17,
    kNetworkReachabilityFlagsIsWWAN = 1u << 18,
};

// One IPv4 address of a network interface, as the kernel lists it.
struct NetworkInterfaceAddress {
    std::string name;
    bool up = false;
    bool running = false;
    bool loopback = false;
    bool broadcast = false;    // can reach the whole segment with one datagram
    bool pointToPoint = false;
    bool wwan = false;         // a cellular modem
    std::uint32_t address = 0; // IPv4, host byte order
    std::uint32_t netmask = 0;
};

// A reachability handle for one IPv4 target. Its flags come from the
// machine's interfaces:
// - an interface that is up and running, not loopback, and whose subnet holds
//   the target → reachable and directly attached;
// - a link-local target (169.254/16) is on every broadcast-capable segment,
//   so any such interface with an IPv4 address → reachable and directly attached;
// - otherwise any usable non-loopback interface → reachable through a gateway;
// - the cellular bit when the interface used is a WWAN modem.
// No connection is ever set up on demand here, so "connection required" is never set.
class NetworkReachability {
public:
    using InterfaceLister = std::function<std::optional<std::vector<NetworkInterfaceAddress>>()>;
    using FlagsResolver = std::function<std::optional<NetworkReachabilityFlags>(std::uint32_t targetAddress)>;

    // nullptr unless `address` is an AF_INET socket address.
    static std::shared_ptr<NetworkReachability> createWithAddress(const sockaddr* address);

    // Reads the current flags; false (and `flags` untouched) when they cannot be read.
    bool getFlags(NetworkReachabilityFlags* flags) const;

    std::uint32_t targetAddress() const { return target_; }

    // Test seams: where interfaces come from (getifaddrs by default) and,
    // above that, where flags come from (the interfaces by default). An empty
    // function restores the default.
    static void setInterfaceLister(InterfaceLister lister);
    static void setFlagsResolver(FlagsResolver resolver);

    static NetworkReachabilityFlags flagsForTarget(std::uint32_t target, const std::vector<NetworkInterfaceAddress>& interfaces);
    static std::optional<std::vector<NetworkInterfaceAddress>> systemInterfaces();

    explicit NetworkReachability(std::uint32_t targetAddress) : target_(targetAddress) {}

private:
    std::uint32_t target_;
};

} // namespace platform
