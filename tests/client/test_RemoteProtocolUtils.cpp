// SPDX-License-Identifier: GPL-3.0-or-later
// The session guard: the "Connection Error" alert without a session, nothing
// with one open to a receiver on 127.0.0.1; after a lost session the alert
// offers to log in again to the same computer (the real receiver, which
// takes one connection after another).
#include "Computer.h"
#include "ComputerSession.h"
#include "RemoteProtocol.h"
#include "RemoteProtocolUtils.h"
#include "SessionWatch.h"

#include "platform/Alert.h"

#include "support/ReceiverDouble.h"
#include "support/ReceiverProcess.h"
#include "support/SessionBytes.h"
#include "support/SessionRecorder.h"

#include "support/AppTestEnvironment.h"
#include "support/LoopbackSockets.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <csignal>

using platform::Alert;
using platform::AlertRecord;

namespace {

const AlertRecord kNoSession{"Connection Error", "Please, connect to your computer before use the functions.", "OK"};

class RemoteProtocolUtilsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        remote_initialize();
        ComputerSession::forgetLogin();
        Alert::dismissAll();
        Alert::clearHistory();
    }
    void TearDown() override
    {
        SessionWatch::uninstall();
        closeAppSession();
        ComputerSession::forgetLogin();
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
    ReceiverDouble receiver;
    ASSERT_EQ(remote_connectToHost("127.0.0.1", receiver.port(), kReceiverDoublePasscode.c_str()), 0);
    ASSERT_EQ(remote_is_connected(), 1);
    RemoteProtocolUtils::checkConnection();
    EXPECT_TRUE(Alert::history().empty());
    EXPECT_FALSE(Alert::current().has_value());
}

TEST_F(RemoteProtocolUtilsTest, OnceTheReceiverHasGoneTheNextCheckWarnsAgain)
{
    ReceiverScript closes;
    closes.closesAfterReply = true;
    ReceiverDouble receiver(closes);
    ASSERT_EQ(remote_connectToHost("127.0.0.1", receiver.port(), kReceiverDoublePasscode.c_str()), 0);
    ASSERT_TRUE(receiver.waitForOwnClose());
    // The closed session is noticed by the next send, which ends it.
    for (int i = 0; i < 50 && remote_is_connected(); ++i)
        remote_sendKeyboardEvent(1, 0x41);
    ASSERT_EQ(remote_is_connected(), 0);
    RemoteProtocolUtils::checkConnection();
    ASSERT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0], kNoSession);
}

// The app's loop watches the session: the close is seen there, and the next
// send ends the session, so the next check warns, as when each send looked.
TEST_F(RemoteProtocolUtilsTest, WithTheLoopWatchingTheNextSendAfterTheCloseEndsTheSession)
{
    SessionWatch::install();
    ReceiverScript closes;
    closes.closesAfterReply = true;
    ReceiverDouble receiver(closes);
    ASSERT_EQ(remote_connectToHost("127.0.0.1", receiver.port(), kReceiverDoublePasscode.c_str()), 0);
    const int fd = SessionWatch::watchedDescriptor();
    ASSERT_GT(fd, 0);
    ASSERT_TRUE(receiver.waitForOwnClose());
    ASSERT_TRUE(waitUntilReadable(fd));
    QCoreApplication::processEvents(); // one turn of the loop
    EXPECT_EQ(SessionWatch::watchedDescriptor(), -1) << "a closed socket stays readable: no longer watched";
    RemoteProtocolUtils::checkConnection(); // a release before any send: nothing yet
    EXPECT_TRUE(Alert::history().empty());
    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x41), -1);
    EXPECT_EQ(remote_is_connected(), 0);
    RemoteProtocolUtils::checkConnection();
    ASSERT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0], kNoSession);

    // A receiver that sends what it never should: dropped, the session goes on.
    ReceiverDouble chatty(ReceiverScript::plain({acceptingLoginReply() + Bytes{0x00, 0x01, 0x02}}));
    ASSERT_EQ(remote_connectToHostPlain("127.0.0.1", chatty.port(), "secret"), 0);
    ASSERT_TRUE(waitUntilReadable(SessionWatch::watchedDescriptor()));
    QCoreApplication::processEvents();
    EXPECT_GT(SessionWatch::watchedDescriptor(), 0);
    EXPECT_FALSE(waitUntilReadable(SessionWatch::watchedDescriptor(), std::chrono::milliseconds(0)));
    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x41), 0);
    EXPECT_EQ(chatty.received(8), keyboardPacket(1, 0x41));
    SessionWatch::uninstall();
    EXPECT_EQ(SessionWatch::watchedDescriptor(), -1);
    EXPECT_EQ(remote_is_connected(), 1);
}

TEST_F(RemoteProtocolUtilsTest, AfterALostSessionTheAlertOffersToLogInAgainToTheSameComputer)
{
    AppTestEnvironment env; // a private settings file: the login stores its computer
    const std::unique_ptr<ReceiverProcess> receiver = ReceiverProcess::startOnLoopback("secret");
    const std::shared_ptr<Computer> computer = Computer::initWithInfo(QStringLiteral("Desk"), QStringLiteral("Linux"));
    computer->setIp(QStringLiteral("127.0.0.1"));
    computer->setPort(receiver->sessionPort());

    // Before any login of this run there is nothing to reconnect to.
    RemoteProtocolUtils::checkConnection();
    EXPECT_EQ(Alert::current(), kNoSession);
    Alert::dismissAll();

    ASSERT_EQ(ComputerSession::logIn(*computer, QStringLiteral("secret")), 0);
    EXPECT_EQ(ComputerSession::lastComputer()->port(), receiver->sessionPort());
    closeAppSession(); // the session is lost
    RemoteProtocolUtils::checkConnection();
    RemoteProtocolUtils::checkConnection(); // a second release meanwhile
    AlertRecord offer = kNoSession;
    offer.otherButtonTitles = QStringList{RemoteProtocolUtils::kReconnectButtonTitle};
    EXPECT_EQ(Alert::current(), offer);
    EXPECT_EQ(Alert::pendingCount(), 2);

    // "OK" only puts the alert away.
    Alert::dismissCurrentWithButtonIndex(0);
    EXPECT_EQ(remote_is_connected(), 0);
    EXPECT_EQ(Alert::current(), offer);
    // One tap logs in again; the same warnings still waiting go with it.
    Alert::dismissCurrentWithButtonIndex(1);
    EXPECT_EQ(remote_is_connected(), 1);
    EXPECT_EQ(Alert::pendingCount(), 0);
    RemoteProtocolUtils::checkConnection(); // the session is open again: no warning
    EXPECT_EQ(Alert::history().size(), 3u);

    // A computer that has gone: the login's own alert says so.
    ASSERT_EQ(receiver->stop(SIGTERM), 0);
    closeAppSession();
    RemoteProtocolUtils::checkConnection();
    Alert::dismissCurrentWithButtonIndex(1);
    EXPECT_EQ(remote_is_connected(), 0);
    EXPECT_EQ(Alert::current(),
              (AlertRecord{"Connection Error", "Please, check firewall setting on your computer.", "OK"}));
}

} // namespace
