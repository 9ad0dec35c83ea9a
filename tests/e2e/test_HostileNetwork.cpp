// SPDX-License-Identifier: GPL-3.0-or-later
// A hostile network, made inside the test's private network: a veth pair
// whose far end lives in a second network namespace of the test's own,
// standing for another host on the local network. A query whose source is
// forged to an address off that network gets no reply, and a burst from one
// source gets no more replies than the rate limit. An address whose SYNs go
// nowhere (a neighbour entry pointing at a hardware address nobody has)
// holds the app's connect for its bound only, then shows the firewall alert.
#include "e2e/OtherHost.h"
#include "e2e/PrivateNetworkTest.h"
#include "e2e/ReceiverLog.h"
#include "e2e/RunningApp.h"

#include "Computer.h"
#include "support/LoopbackSockets.h"
#include "RemoteProtocol.h"

#include "platform/NotificationCenter.h"
#include "platform/TableView.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

Bytes discoveryQuery()
{
    return Bytes{0x5B} + shortString("Device") + shortString("iPhone") + Bytes{0x5D};
}

bool sendTo(int fd, const char* address, uint16_t port, const Bytes& datagram)
{
    const sockaddr_in target = ipv4Address(address, port);
    return ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                    sizeof target)
           == ssize_t(datagram.size());
}

class HostileNetwork : public PrivateNetworkTest {
protected:
    void TearDown() override
    {
        if (!IsSkipped())
            std::system("ip link del qh 2>/dev/null; ip link del qs 2>/dev/null");
    }
};

TEST_F(HostileNetwork, QueriesFromForgedSourcesOffTheNetworkGetNoReplyAndABurstOnlyTheLimit)
{
    OtherHost host;
    if (!host.ok())
        GTEST_SKIP() << "no second network namespace could be made here";
    const std::string pid = std::to_string(host.pid());
    // This computer is 10.79.0.1/24 on qh; the other host 10.79.0.2 on qh2,
    // and it also claims 10.99.0.5, an address of no network here. A reply
    // to 10.99.0.5 would have a way there: silence is the receiver's choice.
    ASSERT_EQ(std::system(("ip link add qh type veth peer name qh2 netns " + pid
                           + " && ip addr add 10.79.0.1/24 dev qh && ip link set qh up"
                             " && ip route add 10.99.0.5/32 dev qh"
                             " && for d in all qh; do echo 0 > /proc/sys/net/ipv4/conf/$d/rp_filter; done")
                              .c_str()),
              0);
    ASSERT_TRUE(host.run("ip link set lo up && ip addr add 10.79.0.2/24 dev qh2 && ip addr add 10.99.0.5/32 dev qh2"
                         " && ip link set qh2 up"));
    auto receiver = std::make_unique<ReceiverProcess>(
        std::vector<std::string>{"--passcode", "p", "--name", "Target", "--port", "0", "--sink", "log"});
    ASSERT_TRUE(receiver->waitForNotice("discovery listening on 0.0.0.0:25736")) << receiver->errors();

    UniqueFd forged = host.udpSocketAt("10.99.0.5");
    UniqueFd neighbour = host.udpSocketAt("10.79.0.2");
    ASSERT_TRUE(forged.valid() && neighbour.valid());

    // Off the network: nothing, however often it asks. The receiver handles
    // the datagrams of its socket in order, so once the neighbour's query
    // behind them is answered, a reply to them would already be there.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(sendTo(forged.get(), "10.79.0.1", 25736, discoveryQuery()));
    ASSERT_TRUE(sendTo(neighbour.get(), "10.79.0.1", 25736, discoveryQuery()));
    ASSERT_TRUE(receiveDatagram(neighbour.get())) << "a host on the network is answered";
    EXPECT_FALSE(receiveDatagram(forged.get(), std::chrono::milliseconds(0))) << "a forged source was answered";

    // A burst from one source on the network: its share (3 at once, the
    // first of which was the query above), then one a second.
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(sendTo(neighbour.get(), "10.79.0.1", 25736, discoveryQuery()));
    int replies = 0;
    while (receiveDatagram(neighbour.get(), std::chrono::milliseconds(300)))
        ++replies;
    EXPECT_GE(replies, 2);
    EXPECT_LE(replies, 3) << "50 queries, each a reply of its own without a limit";
}

TEST_F(HostileNetwork, AConnectToAnAddressThatDropsSynsEndsInTheFirewallAlertWithinItsBound)
{
    // 10.81.0.9 "is" at a hardware address nobody has: every SYN is sent
    // and lost, as behind a firewall that drops them.
    ASSERT_EQ(std::system("ip link add qs type veth peer name qs2 && ip addr add 10.81.0.1/24 dev qs"
                          " && ip link set qs up && ip link set qs2 up"
                          " && ip neigh add 10.81.0.9 lladdr 02:00:00:00:00:09 dev qs nud permanent"),
              0);
    RunningApp app;
    app.launch();
    while (app.tapAlertButton()) {
    }
    auto computer = Computer::initWithInfo(QStringLiteral("Behind a firewall"), QStringLiteral("Linux"));
    computer->setIp(QStringLiteral("10.81.0.9"));
    computer->setPort(25736);
    platform::NotificationCenter::defaultCenter().postNotification(QStringLiteral("Register Computer"), computer);
    app.tap(app.computerList()->tableView()->cellForRowAtIndexPath({0, 0}));

    const auto start = std::chrono::steady_clock::now();
    app.logIn(QStringLiteral("any"));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(app.alertOnScreen(), QStringLiteral("Connection Error|Please, check firewall setting on your computer."));
    EXPECT_EQ(remote_is_connected(), 0);
    // A failure guard around the 5 s bound: unbounded, this took 127 s.
    EXPECT_GE(took, std::chrono::milliseconds(REMOTE_DEFAULT_CONNECT_TIMEOUT_MS - 100));
    EXPECT_LT(took, std::chrono::seconds(15));
}

} // namespace
