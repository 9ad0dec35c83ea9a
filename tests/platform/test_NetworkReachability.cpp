// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NetworkReachability.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

using namespace platform;

namespace {

std::uint32_t ip(const char* text)
{
    return ntohl(inet_addr(text));
}

NetworkInterfaceAddress loopback()
{
    NetworkInterfaceAddress i;
    i.name = "lo";
    i.up = i.running = i.loopback = true;
    i.address = ip("127.0.0.1");
    i.netmask = ip("255.0.0.0");
    return i;
}

NetworkInterfaceAddress lan(const char* name, const char* address, const char* mask = "255.255.255.0")
{
    NetworkInterfaceAddress i;
    i.name = name;
    i.up = i.running = i.broadcast = true;
    i.address = ip(address);
    i.netmask = ip(mask);
    return i;
}

NetworkInterfaceAddress modem()
{
    NetworkInterfaceAddress i;
    i.name = "wwan0";
    i.up = i.running = i.pointToPoint = i.wwan = true;
    i.address = ip("10.64.3.7");
    i.netmask = ip("255.255.255.255");
    return i;
}

const std::uint32_t linkLocal = 0xA9FE0000u;
const NetworkReachabilityFlags direct = kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsIsDirect;

struct InterfaceSeamGuard {
    ~InterfaceSeamGuard()
    {
        NetworkReachability::setInterfaceLister({});
        NetworkReachability::setFlagsResolver({});
    }
};

} // namespace

TEST(NetworkReachability, TheLinkLocalNetworkIsDirectOnAnyUsableBroadcastSegment)
{
    EXPECT_EQ(NetworkReachability::flagsForTarget(linkLocal, {loopback(), lan("wlan0", "192.168.1.20")}), direct);
    EXPECT_EQ(NetworkReachability::flagsForTarget(linkLocal, {lan("eth0", "169.254.10.2", "255.255.0.0")}), direct);

    // Nothing but loopback; a segment that is down, or not running (no carrier).
    EXPECT_EQ(NetworkReachability::flagsForTarget(linkLocal, {loopback()}), 0u);
    auto down = lan("wlan0", "192.168.1.20");
    down.up = false;
    auto noCarrier = lan("eth0", "192.168.2.20");
    noCarrier.running = false;
    EXPECT_EQ(NetworkReachability::flagsForTarget(linkLocal, {loopback(), down, noCarrier}), 0u);
    EXPECT_EQ(NetworkReachability::flagsForTarget(linkLocal, {}), 0u);
}

TEST(NetworkReachability, ACellularModemAloneIsNoLocalNetworkButSaysCellular)
{
    EXPECT_EQ(NetworkReachability::flagsForTarget(linkLocal, {loopback(), modem()}), 0u);
    EXPECT_EQ(NetworkReachability::flagsForTarget(ip("93.184.216.34"), {loopback(), modem()}),
        kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsIsWWAN);
    // With Wi-Fi as well, the segment wins.
    EXPECT_EQ(NetworkReachability::flagsForTarget(linkLocal, {modem(), lan("wlan0", "192.168.1.20")}), direct);
    EXPECT_EQ(NetworkReachability::flagsForTarget(ip("93.184.216.34"), {modem(), lan("wlan0", "192.168.1.20")}),
        kNetworkReachabilityFlagsReachable);
}

TEST(NetworkReachability, OtherTargetsAreDirectOnlyInsideAnInterfacesSubnet)
{
    const std::vector<NetworkInterfaceAddress> interfaces{loopback(), lan("eth0", "192.168.1.20")};
    EXPECT_EQ(NetworkReachability::flagsForTarget(ip("192.168.1.99"), interfaces), direct);
    EXPECT_EQ(NetworkReachability::flagsForTarget(ip("192.168.7.1"), interfaces), kNetworkReachabilityFlagsReachable);
}

TEST(NetworkReachability, HandlesReadFlagsFromTheInjectedInterfacesAndReportUnreadableOnes)
{
    InterfaceSeamGuard guard;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(linkLocal);
    auto handle = NetworkReachability::createWithAddress(reinterpret_cast<const sockaddr*>(&target));
    ASSERT_TRUE(handle);
    EXPECT_EQ(handle->targetAddress(), linkLocal);

    NetworkReachability::setInterfaceLister([] { return std::vector<NetworkInterfaceAddress>{loopback(), lan("eth0", "10.0.0.5")}; });
    NetworkReachabilityFlags flags = 0xDEAD;
    EXPECT_TRUE(handle->getFlags(&flags));
    EXPECT_EQ(flags, direct);

    NetworkReachability::setInterfaceLister([] { return std::nullopt; });
    flags = 0xDEAD;
    EXPECT_FALSE(handle->getFlags(&flags));
    EXPECT_EQ(flags, 0xDEADu);

    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    EXPECT_FALSE(NetworkReachability::createWithAddress(reinterpret_cast<const sockaddr*>(&v6)));
    EXPECT_FALSE(NetworkReachability::createWithAddress(nullptr));
}

TEST(NetworkReachability, TheSystemListHasLoopbackAsLoopback)
{
    const auto interfaces = NetworkReachability::systemInterfaces();
    ASSERT_TRUE(interfaces);
    bool sawLoopback = false;
    for (const auto& i : *interfaces)
        if (i.address == ip("127.0.0.1"))
            sawLoopback = i.loopback;
    EXPECT_TRUE(sawLoopback);
}
