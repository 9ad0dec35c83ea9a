// SPDX-License-Identifier: GPL-3.0-or-later
// The connection screens with the real quillon-receiver on 127.0.0.1: the
// receiver answers the list's query, its computer appears under "Discovered
// Computers", and logging in with its passcode goes to the touch pad's tab.
#include "LoginViewController.h"
#include "RemoteProtocol.h"

#include "platform/Alert.h"

#include "support/ConnectionTab.h"
#include "support/SessionRecorder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ConnectionEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        closeAppSession();
        receiver.setProgram(QStringLiteral(QUILLON_RECEIVER_BINARY));
        receiver.setArguments({"--passcode", "open sesame", "--bind", "127.0.0.1", "--name", "Test Bench",
                               "--port", QString::number(sessionPort), "--discovery-port",
                               QString::number(discoveryPort), "--sink", "log"});
        receiver.start();
        ASSERT_TRUE(receiver.waitForStarted());
    }
    void TearDown() override
    {
        tab.reset();
        closeAppSession();
        receiver.terminate();
        if (!receiver.waitForFinished(5000))
            receiver.kill();
    }

    platform::ScopedManualClock clock;
    TemporarySettings settings;
    const uint16_t sessionPort = freeTcpPort();
    const uint16_t discoveryPort = freeUdpPort();
    QProcess receiver;
    std::unique_ptr<ConnectionTab> tab;
};

TEST_F(ConnectionEndToEndTest, TheReceiverIsDiscoveredAndItsPasscodeLogsIn)
{
    // A receiver bound to 127.0.0.1 hears no broadcast: the query goes to it directly.
    tab = std::make_unique<ConnectionTab>(DiscoveryEndpoint{"127.0.0.1", discoveryPort, 0});
    ComputerListViewController* list = tab->list();

    // Until the receiver is up, the three-second query is repeated.
    bool answered = false;
    for (int attempt = 0; attempt < 100 && !answered; ++attempt) {
        answered = waitUntilReadable(list->sockfd(), std::chrono::milliseconds(100));
        if (!answered)
            clock.advance(ComputerListViewController::queryInterval);
    }
    ASSERT_TRUE(answered) << "quillon-receiver did not answer: " << receiver.readAllStandardError().toStdString();
    QCoreApplication::processEvents(); // the run loop reads the reply
    ASSERT_EQ(ConnectionTab::rows(list->tableView(), 1), QStringList{"Test Bench"});
    const auto& found = list->discoveredComputers()[0];
    EXPECT_EQ(found->ip(), QString("127.0.0.1"));
    EXPECT_EQ(found->port(), sessionPort);

    tab->tapRow(list->tableView(), {1, 0});
    auto* login = qobject_cast<LoginViewController*>(tab->top());
    ASSERT_NE(login, nullptr);
    QTest::keyClicks(login->passwordField(), "open sesame");
    login->connectItem()->trigger();
    EXPECT_TRUE(platform::Alert::history().empty());
    EXPECT_EQ(remote_is_connected(), 1);
    EXPECT_EQ(tab->gotoTabBar(), std::vector<long long>{0});
    EXPECT_EQ(tab->top(), list);
}

} // namespace
