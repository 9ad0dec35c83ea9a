// SPDX-License-Identifier: GPL-3.0-or-later
// This computer's IPv4 addresses and the networks they are on: whether an
// address belongs to this computer, so that discovery can also answer a
// client that shares its port on this computer; which interface carries an
// address, so that a receiver bound to one address can tell the queries
// broadcast on that address's network; and whether a query's source lies on
// the network of the interface it came in on, so that discovery answers no
// forged source from elsewhere.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

struct InterfaceAddress {
    unsigned index = 0; // of the interface
    in_addr address{};
    in_addr netmask{};
    std::optional<in_addr> peer; // the other end of a point-to-point link
};

// Every IPv4 address of this computer's interfaces, as the system lists them now.
std::vector<InterfaceAddress> readInterfaceAddresses();

// The table above, read again at most once per `maxAge`: interfaces come and
// go (Wi-Fi, VPN), but a flood of queries must not cost one listing each.
class LocalNetworks {
public:
    using Clock = std::chrono::steady_clock;
    using Reader = std::function<std::vector<InterfaceAddress>()>;

    explicit LocalNetworks(Reader read = readInterfaceAddresses,
                           std::chrono::milliseconds maxAge = std::chrono::seconds(1));

    // True for the loopback range, for 0.0.0.0 (a datagram sent on this
    // computer before it had an address) and for any address of an interface.
    bool isAddressOfThisHost(in_addr address, Clock::time_point now);
    // The index of the interface that holds `address`, if one does.
    std::optional<unsigned> interfaceIndexOf(in_addr address, Clock::time_point now);
    // Whether `source` lies on the network of one of the addresses of the
    // interface `index` (or is the far end of its point-to-point link).
    bool isOnNetworkOf(in_addr source, unsigned index, Clock::time_point now);

private:
    const std::vector<InterfaceAddress>& table(Clock::time_point now);

    Reader read_;
    std::chrono::milliseconds maxAge_;
    std::vector<InterfaceAddress> table_;
    std::optional<Clock::time_point> readAt_;
};
