// SPDX-License-Identifier: GPL-3.0-or-later
// A receiver started with --bind on a computer with two networks: it is found
// by broadcasts on the bound address's network and stays silent to those on
// the other. Each network is a veth pair made inside the test's private
// network, so nothing reaches a real interface.
#include "e2e/PrivateNetworkTest.h"
#include "e2e/ReceiverLog.h"

#include "support/LoopbackSockets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// A phone's socket on `address`, allowed to broadcast.
UniqueFd phoneAt(const char* address)
{
    UniqueFd phone = boundUdpSocket(address, 0);
    const int on = 1;
    if (!phone.valid() || setsockopt(phone.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return UniqueFd();
    return phone;
}

// Broadcasts the query out of `device` (its replies may come back on any).
bool broadcastThrough(int fd, const char* device, const char* address)
{
    in_pktinfo out{};
    out.ipi_ifindex = int(if_nametoindex(device));
    return out.ipi_ifindex != 0
           && sendDatagramWithPacketInfo(fd, ipv4Address(address, 25736), discoveryQuery(), out);
}

class BoundDiscovery : public PrivateNetworkTest {
protected:
    void SetUp() override
    {
        PrivateNetworkTest::SetUp();
        if (IsSkipped())
            return;
        // Two networks, each a veth pair: 10.77.0.0/24 (qa, qa2) and 10.78.0.0/24 (qb, qb2).
        const int made = std::system(
            "ip link add qa type veth peer name qa2 && ip link add qb type veth peer name qb2"
            " && ip addr add 10.77.0.1/24 dev qa && ip addr add 10.77.0.2/24 dev qa2"
            " && ip addr add 10.78.0.1/24 dev qb && ip addr add 10.78.0.2/24 dev qb2"
            " && for d in qa qa2 qb qb2; do ip link set $d up || exit 1; done"
            // Both ends are this computer's: take its own addresses as senders.
            " && for d in all qa qa2 qb qb2; do echo 1 > /proc/sys/net/ipv4/conf/$d/accept_local"
            " && echo 0 > /proc/sys/net/ipv4/conf/$d/rp_filter; done");
        if (made != 0)
            GTEST_SKIP() << "no veth pair could be made inside the private network (needs iproute2)";
    }
    void TearDown() override
    {
        if (!IsSkipped())
            std::system("ip link del qa 2>/dev/null; ip link del qb 2>/dev/null");
    }
};

TEST_F(BoundDiscovery, ABoundReceiverAnswersBroadcastsOnItsOwnNetworkOnly)
{
    auto receiver = std::make_unique<ReceiverProcess>(
        std::vector<std::string>{"--passcode", "p", "--name", "Only qa", "--bind", "10.77.0.1", "--sink", "log"});
    ASSERT_TRUE(receiver->waitForNotice("discovery listening on 10.77.0.1:25736")) << receiver->errors();

    // A broadcast on the first network (arriving through qa) is for it.
    UniqueFd phone = phoneAt("10.77.0.2");
    ASSERT_TRUE(phone.valid());
    ASSERT_TRUE(broadcastThrough(phone.get(), "qa2", "255.255.255.255"));
    const auto reply = receiveDatagram(phone.get());
    ASSERT_TRUE(reply) << receiver->errors();
    const std::string name = "Only qa";
    EXPECT_NE(std::search(reply->begin(), reply->end(), name.begin(), name.end()), reply->end());

    // One on the second network is not; nor is one on loopback.
    UniqueFd otherPhone = phoneAt("10.78.0.2");
    ASSERT_TRUE(otherPhone.valid());
    ASSERT_TRUE(broadcastThrough(otherPhone.get(), "qb2", "255.255.255.255"));
    UniqueFd loopbackPhone = phoneAt("127.0.0.1");
    ASSERT_TRUE(loopbackPhone.valid());
    ASSERT_TRUE(broadcastThrough(loopbackPhone.get(), "lo", "127.255.255.255"));
    // A failure guard: a wrong answer would come within microseconds.
    EXPECT_FALSE(receiveDatagram(otherPhone.get(), std::chrono::milliseconds(500)));
    EXPECT_FALSE(receiveDatagram(loopbackPhone.get(), std::chrono::milliseconds(500)));
}

} // namespace
