// SPDX-License-Identifier: GPL-3.0-or-later
#include "Reachability.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class ReachabilityTest : public testing::Test {
protected:
    void TearDown() override
    {
        NetworkReachability::setFlagsResolver({});
        NetworkReachability::setInterfaceLister({});
    }

    void reportFlags(std::optional<NetworkReachabilityFlags> flags)
    {
        NetworkReachability::setFlagsResolver([this, flags](std::uint32_t target) {
            targets.push_back(target);
            return flags;
        });
    }

    std::vector<std::uint32_t> targets;
};

constexpr NetworkReachabilityFlags reachable = kNetworkReachabilityFlagsReachable;
constexpr NetworkReachabilityFlags required = kNetworkReachabilityFlagsConnectionRequired;
constexpr NetworkReachabilityFlags direct = kNetworkReachabilityFlagsIsDirect;
constexpr NetworkReachabilityFlags cellular = kNetworkReachabilityFlagsIsWWAN;

} // namespace

TEST_F(ReachabilityTest, TheStatusFollowsTheFlagTable)
{
    const struct {
        std::optional<NetworkReachabilityFlags> flags;
        int status;
    } table[] = {
        {reachable | direct, 2},                       // reachable, on an attached network
        {reachable, 0},                                // only through a gateway
        {reachable | required | direct, 0},            // a connection to set up first
        {reachable | required | cellular | direct, 2}, // accepted on the cellular path
        {0u, 0},                                       // nothing
        {std::nullopt, 0},                             // flags that cannot be read
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.flags ? *row.flags : 0xFFFFFFFFu);
        Reachability reachability;
        reportFlags(row.flags);
        EXPECT_EQ(reachability.localWiFiConnectionStatus(), row.status);
    }
    for (std::uint32_t target : targets)
        EXPECT_EQ(target, 0xA9FE0000u); // 169.254.0.0
}

TEST_F(ReachabilityTest, TheFlagsAreHandedBackOnlyWhenTheyCouldBeRead)
{
    Reachability reachability;
    NetworkReachabilityFlags flags = 0x1234;
    reportFlags(reachable | required);
    EXPECT_FALSE(reachability.isAdHocWiFiNetworkAvailableFlags(&flags));
    EXPECT_EQ(flags, reachable | required);
    EXPECT_FALSE(reachability.isAdHocWiFiNetworkAvailableFlags(nullptr));

    reportFlags(reachable);
    EXPECT_TRUE(reachability.isAdHocWiFiNetworkAvailableFlags(nullptr));

    reportFlags(std::nullopt);
    flags = 0x1234;
    EXPECT_FALSE(reachability.isAdHocWiFiNetworkAvailableFlags(&flags));
    EXPECT_EQ(flags, 0x1234u);
}

TEST_F(ReachabilityTest, ReachableWithoutAConnectionMeansReachableAndNoConnectionOrCellular)
{
    EXPECT_TRUE(Reachability::isReachableWithoutRequiringConnection(reachable));
    EXPECT_TRUE(Reachability::isReachableWithoutRequiringConnection(reachable | required | cellular));
    EXPECT_FALSE(Reachability::isReachableWithoutRequiringConnection(reachable | required));
    EXPECT_FALSE(Reachability::isReachableWithoutRequiringConnection(required | cellular | direct));
    EXPECT_FALSE(Reachability::isReachableWithoutRequiringConnection(0));
}

TEST_F(ReachabilityTest, TheLinkLocalHandleIsCreatedOnceAndCachedUnderItsAddress)
{
    Reachability reachability;
    EXPECT_TRUE(reachability.reachabilityQueries().empty());
    reportFlags(reachable | direct);

    reachability.localWiFiConnectionStatus();
    ASSERT_EQ(reachability.reachabilityQueries().size(), 1u);
    const auto query = reachability.reachabilityQueries().at("169.254.0.0");
    const auto handle = query->reachabilityRef();
    ASSERT_TRUE(handle);
    EXPECT_EQ(handle->targetAddress(), 0xA9FE0000u);
    EXPECT_EQ(query->hostNameOrAddress(), "169.254.0.0");
    EXPECT_TRUE(query->runLoops().empty());

    reachability.localWiFiConnectionStatus();
    EXPECT_EQ(reachability.reachabilityQueries().size(), 1u);
    EXPECT_EQ(reachability.reachabilityQueries().at("169.254.0.0")->reachabilityRef(), handle);
    EXPECT_EQ(targets.size(), 2u); // but the flags are read afresh each time
}

TEST_F(ReachabilityTest, TheSharedInstanceIsOneAndWatchesNothing)
{
    Reachability* shared = Reachability::sharedReachability();
    EXPECT_EQ(shared, Reachability::sharedReachability());
    EXPECT_FALSE(shared->networkStatusNotificationsEnabled());
    EXPECT_FALSE(shared->hostName().has_value());
    EXPECT_FALSE(shared->address().has_value());
}

TEST_F(ReachabilityTest, AnswersFromTheMachinesInterfaces)
{
    NetworkInterfaceAddress lo;
    lo.name = "lo";
    lo.up = lo.running = lo.loopback = true;
    lo.address = 0x7F000001u;
    lo.netmask = 0xFF000000u;
    NetworkInterfaceAddress wifi;
    wifi.name = "wlan0";
    wifi.up = wifi.running = wifi.broadcast = true;
    wifi.address = 0xC0A80114u; // 192.168.1.20
    wifi.netmask = 0xFFFFFF00u;
    NetworkInterfaceAddress modem;
    modem.name = "wwan0";
    modem.up = modem.running = modem.pointToPoint = modem.wwan = true;
    modem.address = 0x0A400307u;
    modem.netmask = 0xFFFFFFFFu;

    Reachability reachability;
    std::vector<NetworkInterfaceAddress> interfaces{lo, wifi};
    NetworkReachability::setInterfaceLister([&] { return interfaces; });
    EXPECT_EQ(reachability.localWiFiConnectionStatus(), Reachability::ReachableViaWiFiNetwork);

    interfaces = {lo, modem};
    EXPECT_EQ(reachability.localWiFiConnectionStatus(), Reachability::NotReachable);
    interfaces = {lo};
    EXPECT_EQ(reachability.localWiFiConnectionStatus(), Reachability::NotReachable);
}
