// SPDX-License-Identifier: GPL-3.0-or-later
// Which datagrams are discovery queries, and the reply's exact bytes.
#include "DiscoveryReply.h"
#include "SessionBytes.h"

#include <gtest/gtest.h>

namespace {

bool isQuery(const Bytes& datagram)
{
    return isDiscoveryQuery(datagram.data(), datagram.size());
}

Bytes phoneQuery()
{
    return Bytes{0x5B} + shortString("Device") + shortString("iPhone") + shortString("DeviceVer")
           + shortString("2.1") + shortString("AppName") + shortString("Quillon") + shortString("AppVer")
           + shortString("1.0") + Bytes{0x5D};
}

} // namespace

TEST(DiscoveryQuery, DictionariesHoldingDeviceAreQueries)
{
    EXPECT_EQ(phoneQuery().size(), 65u);
    EXPECT_TRUE(isQuery(phoneQuery()));
    EXPECT_TRUE(isQuery(Bytes{0x5B} + shortString("Device") + Bytes{0x69, 1, 0, 0, 0, 0x5D}))
        << "any value of Device";
    EXPECT_TRUE(isQuery(Bytes{0x5B} + shortString("AppName") + shortString("x") + shortString("Device")
                        + Bytes{0x6E, 0x5D}));
}

TEST(DiscoveryQuery, EverythingElseIsIgnored)
{
    const Bytes query = phoneQuery();
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

TEST(DiscoveryReplyBytes, HoldsTheIdentityInOrderWithIpQuestionMark)
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
                           + Bytes{0x5D};
    EXPECT_EQ(*reply, expected);
    EXPECT_FALSE(isQuery(*reply)) << "a receiver must not answer its own reply";
}
