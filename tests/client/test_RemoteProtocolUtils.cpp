// SPDX-License-Identifier: GPL-3.0-or-later
// The session guard: the "Connection Error" alert without a session, nothing
// with one open to a receiver on 127.0.0.1.
#include "RemoteProtocol.h"
#include "RemoteProtocolUtils.h"

#include "platform/Alert.h"

#include "ReceiverDouble.h"
#include "SessionBytes.h"

#include <gtest/gtest.h>

using platform::Alert;
using platform::AlertRecord;

namespace {

const AlertRecord kNoSession{"Connection Error", "Please, connect to your computer before use the functions.", "OK"};

class RemoteProtocolUtilsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        remote_initialize();
        Alert::dismissAll();
        Alert::clearHistory();
    }
    void TearDown() override
    {
        Alert::dismissAll();
        Alert::clearHistory();
    }
};

TEST_F(RemoteProtocolUtilsTest, WithoutASessionEachCheckShowsTheAlertAndReturns)
{
    ASSERT_EQ(remote_is_connected(), 0);
    RemoteProtocolUtils::checkConnection();
    RemoteProtocolUtils::checkConnection();
    ASSERT_EQ(Alert::history().size(), 2u);
    EXPECT_EQ(Alert::history()[0], kNoSession);
    EXPECT_EQ(Alert::history()[1], kNoSession);
    EXPECT_EQ(Alert::pendingCount(), 2); // queued, one after the other
    Alert::dismissCurrent();
    EXPECT_EQ(Alert::current(), kNoSession);
}

TEST_F(RemoteProtocolUtilsTest, WithASessionOpenNothingIsShown)
{
    ReceiverDouble receiver(ReceiverScript{true, {acceptingLoginReply()}, false});
    ASSERT_EQ(remote_connectToHost("127.0.0.1", receiver.port(), "secret"), 0);
    ASSERT_EQ(remote_is_connected(), 1);
    RemoteProtocolUtils::checkConnection();
    EXPECT_TRUE(Alert::history().empty());
    EXPECT_FALSE(Alert::current().has_value());
}

TEST_F(RemoteProtocolUtilsTest, OnceTheReceiverHasGoneTheNextCheckWarnsAgain)
{
    ReceiverDouble receiver(ReceiverScript{true, {acceptingLoginReply()}, true});
    ASSERT_EQ(remote_connectToHost("127.0.0.1", receiver.port(), "secret"), 0);
    ASSERT_TRUE(receiver.waitForOwnClose());
    // The closed session is noticed by the next send, which ends it.
    for (int i = 0; i < 50 && remote_is_connected(); ++i)
        remote_sendKeyboardEvent(1, 0x41);
    ASSERT_EQ(remote_is_connected(), 0);
    RemoteProtocolUtils::checkConnection();
    ASSERT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0], kNoSession);
}

} // namespace
