// SPDX-License-Identifier: GPL-3.0-or-later
// Which datagrams are discovery queries, the reply's exact bytes, and which
// sources lie on the network a query came in on. This program counts every
// operator new, which is where the value tree's nodes come from.
#include "net/DiscoveryReply.h"
#include "net/LocalAddresses.h"
#include "support/HeapAllocations.h"
#include "support/SessionBytes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

namespace {

bool isQuery(const Bytes& datagram)
{
    return isDiscoveryQuery(datagram.data(), datagram.size());
}


} // namespace

TEST(DiscoveryQuery, DictionariesHoldingDeviceAreQueries)
{
    EXPECT_EQ(discoveryQuery().size(), 65u);
    EXPECT_TRUE(isQuery(discoveryQuery()));
    EXPECT_TRUE(isQuery(Bytes{0x5B} + shortString("Device") + Bytes{0x69, 1, 0, 0, 0, 0x5D}))
        << "any value of Device";
    EXPECT_TRUE(isQuery(Bytes{0x5B} + shortString("AppName") + shortString("x") + shortString("Device")
                        + Bytes{0x6E, 0x5D}));
}

TEST(DiscoveryQuery, EverythingElseIsIgnored)
{
    const Bytes query = discoveryQuery();
    const std::vector<std::pair<std::string, Bytes>> others = {
        {"empty datagram", {}},
        {"empty dictionary", {0x5B, 0x5D}},
        {"a reply", Bytes{0x5B} + shortString("Name") + shortString("pc") + Bytes{0x5D}},
        {"lower-case key", Bytes{0x5B} + shortString("device") + shortString("iPhone") + Bytes{0x5D}},
        {"a list holding Device", Bytes{0x7B} + shortString("Device") + shortString("iPhone") + Bytes{0x7D}},
        {"the string Device", shortString("Device")},
        {"truncated query", Bytes(query.begin(), query.end() - 1)},
        {"garbage", {0xDE, 0xAD, 0xBE, 0xEF}},
        {"length past the end", Bytes{0x5B, 0x73, 0xFF, 'D'}},
        {"framed like a session message", Bytes{0x80, 65, 0, 0, 0} + query},
    };
    for (const auto& [what, datagram] : others)
        EXPECT_FALSE(isQuery(datagram)) << what;
}

// A phone's query with one more entry, "Pad", whose text makes it `size` bytes.
Bytes paddedQuery(std::size_t size)
{
    const Bytes query = discoveryQuery();
    const std::size_t text = size - query.size() - 8; // "Pad" 5 bytes, long-string header 3
    return Bytes(query.begin(), query.end() - 1) + shortString("Pad")
           + Bytes{0x53, uint8_t(text), uint8_t(text >> 8)} + Bytes(text, 'x') + Bytes{0x5D};
}

// The heap allocations made while deciding whether `datagram` is a query.
long allocationsToDecide(const Bytes& datagram, bool& isQuery)
{
    const long before = heapAllocations();
    isQuery = isDiscoveryQuery(datagram.data(), datagram.size());
    return heapAllocations() - before;
}

TEST(DiscoveryQuery, WhatCannotBeAQueryIsRefusedBeforeAnyNodeIsBuilt)
{
    const Bytes query = discoveryQuery();
    const std::vector<std::pair<std::string, Bytes>> refused = {
        {"one byte more than the phone's query buffer", paddedQuery(1025)},
        {"a whole 4 KB datagram", paddedQuery(4096)},
        {"a list holding Device", Bytes{0x7B} + shortString("Device") + shortString("iPhone") + Bytes{0x7D}},
        {"the string Device", shortString("Device")},
        {"framed like a session message", Bytes{0x80, 65, 0, 0, 0} + query},
        {"a list of 1,022 nulls", Bytes{0x7B} + Bytes(1022, 0x6E) + Bytes{0x7D}},
    };
    for (const auto& [what, datagram] : refused) {
        bool isQuery = true;
        EXPECT_EQ(allocationsToDecide(datagram, isQuery), 0) << what;
        EXPECT_FALSE(isQuery) << what;
    }
    // The largest query a phone can send is decoded, and is a query.
    bool isQuery = false;
    EXPECT_GT(allocationsToDecide(paddedQuery(1024), isQuery), 0) << "the count sees the decoder's nodes";
    EXPECT_TRUE(isQuery);
}

TEST(DiscoveryReplyBytes, HoldsTheIdentityInOrderWithIpQuestionMarkThenTheSecureOffer)
{
    ReceiverIdentity identity;
    identity.name = "desk";
    identity.sessionPort = 25736; // 0x6488
    identity.os = "Linux";
    identity.receiverName = "quillon-receiver";
    identity.receiverVersion = "0.1.0";

    const auto reply = encodeDiscoveryReply(identity);
    ASSERT_TRUE(reply);
    const Bytes expected = Bytes{0x5B} + shortString("Name") + shortString("desk") + shortString("Port")
                           + Bytes{0x69, 0x88, 0x64, 0x00, 0x00} + shortString("Ip") + shortString("?")
                           + shortString("Os") + shortString("Linux") + shortString("ReceiverName")
                           + shortString("quillon-receiver") + shortString("ReceiverVer") + shortString("0.1.0")
                           + shortString("Secure") + Bytes{0x69, 0x01, 0x00, 0x00, 0x00} + Bytes{0x5D};
    EXPECT_EQ(*reply, expected);
    EXPECT_FALSE(isQuery(*reply)) << "a receiver must not answer its own reply";
}

TEST(DiscoveryReplyOfAnotherReceiver, NameAndPortAreReadBackFromItsReply)
{
    ReceiverIdentity identity{"den", 4242, "Linux", "quillon-receiver", "1"};
    const auto reply = encodeDiscoveryReply(identity);
    ASSERT_TRUE(reply);
    const auto read = decodeDiscoveryReply(reply->data(), reply->size());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->name, "den");
    EXPECT_EQ(read->sessionPort, 4242);

    const std::vector<uint8_t> query = encodeDiscoveryQuery();
    EXPECT_TRUE(isDiscoveryQuery(query.data(), query.size()));
    EXPECT_FALSE(decodeDiscoveryReply(query.data(), query.size())) << "a query is no reply";
    EXPECT_FALSE(decodeDiscoveryReply(discoveryQuery().data(), discoveryQuery().size()));
    const Bytes noPort = Bytes{0x5B} + shortString("Name") + shortString("x") + Bytes{0x5D};
    EXPECT_FALSE(decodeDiscoveryReply(noPort.data(), noPort.size()));
}

namespace {

in_addr ipv4(const char* text)
{
    in_addr address{};
    inet_pton(AF_INET, text, &address);
    return address;
}

} // namespace

TEST(LocalNetworks, ASourceIsOnTheNetworkOfTheInterfaceItCameInOn)
{
    int reads = 0;
    LocalNetworks networks([&reads] {
        ++reads;
        InterfaceAddress wifi{3, ipv4("192.168.1.20"), ipv4("255.255.255.0"), std::nullopt};
        InterfaceAddress vpn{5, ipv4("10.8.0.2"), ipv4("255.255.255.255"), ipv4("10.8.0.1")};
        return std::vector<InterfaceAddress>{wifi, vpn};
    });
    const auto now = LocalNetworks::Clock::now();
    EXPECT_TRUE(networks.isOnNetworkOf(ipv4("192.168.1.77"), 3, now));
    EXPECT_FALSE(networks.isOnNetworkOf(ipv4("192.168.2.77"), 3, now)) << "another network";
    EXPECT_FALSE(networks.isOnNetworkOf(ipv4("192.168.1.77"), 5, now)) << "came in on another interface";
    EXPECT_TRUE(networks.isOnNetworkOf(ipv4("10.8.0.1"), 5, now)) << "the far end of a point-to-point link";
    EXPECT_FALSE(networks.isOnNetworkOf(ipv4("8.8.8.8"), 3, now));

    EXPECT_TRUE(networks.isAddressOfThisHost(ipv4("127.0.0.9"), now));
    EXPECT_TRUE(networks.isAddressOfThisHost(ipv4("0.0.0.0"), now));
    EXPECT_TRUE(networks.isAddressOfThisHost(ipv4("10.8.0.2"), now));
    EXPECT_FALSE(networks.isAddressOfThisHost(ipv4("192.168.1.77"), now));
    EXPECT_EQ(networks.interfaceIndexOf(ipv4("192.168.1.20"), now), std::optional<unsigned>(3));

    // A flood of queries costs one listing of the interfaces a second, not one each.
    EXPECT_EQ(reads, 1);
    networks.isOnNetworkOf(ipv4("192.168.1.77"), 3, now + std::chrono::milliseconds(999));
    EXPECT_EQ(reads, 1);
    networks.isOnNetworkOf(ipv4("192.168.1.77"), 3, now + std::chrono::seconds(1));
    EXPECT_EQ(reads, 2);
}
