// SPDX-License-Identifier: GPL-3.0-or-later
// The secure session across a real TCP boundary, as someone on the path sees
// it: the real app, the real quillon-receiver --sink log, and between them a
// relay that records every byte of each direction (RecordingProxy), all in
// the test's private network. What was captured holds neither the passcode
// nor the typed text, and played again it logs nothing in; one flipped bit
// ends the session; a wrong passcode is refused and counted; a plain login
// needs the user's mark and --allow-plain, and then crosses readable; and
// neither a reset, a forged discovery reply without the offer nor a plain
// answer under a proven name gets the passcode in clear.
#include "e2e/PrivateNetworkTest.h"
#include "e2e/ReceiverLog.h"
#include "e2e/RecordingProxy.h"
#include "e2e/RunningApp.h"

#include "Computer.h"
#include "ComputerSession.h"
#include "KeyboardViewController.h"
#include "MojoTree.h"
#include "NotificationNames.h"
#include "RemoteProtocol.h"
#include "TextEntryField.h"
#include "TouchPadViewController.h"

#include "support/LoopbackSockets.h"

#include "platform/NotificationCenter.h"
#include "platform/TableView.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

using namespace e2e;

namespace {

const std::string kPasscode = "Owner-Pass-90417";
const QString kComputer = QStringLiteral("Study");
constexpr uint16_t kDiscoveryPort = 25737;
const QString kInvalidPassword = QStringLiteral("Connection Error|Invalid Password.");
const QString kUnreachable = QStringLiteral("Connection Error|Please, check firewall setting on your computer.");
// What is typed, and the keysym of each character, in order.
const QString kTyped = QStringLiteral("ls -la");
const std::vector<uint32_t> kTypedKeysyms = {0x6C, 0x73, 0x20, 0x2D, 0x6C, 0x61};
// The session that drove ends holding nothing.
const std::string kReleaseNothingLine = R"({"type":"release","keycodes":[],"buttons":0})";

Bytes bytesOf(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

bool contains(const Bytes& haystack, const Bytes& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// The down and up of every character typed, one line each.
std::vector<std::string> typedLines(const std::vector<uint32_t>& keysyms)
{
    std::vector<std::string> lines;
    for (uint32_t keysym : keysyms) {
        lines.push_back(keyDown(keysym));
        lines.push_back(keyUp(keysym));
    }
    return lines;
}

// The lines the receiver prints within a short while (none are due).
std::vector<std::string> furtherLines(ReceiverProcess& receiver)
{
    std::vector<std::string> lines;
    while (const auto line = receiver.nextOutputLine(std::chrono::milliseconds(300)))
        lines.push_back(*line);
    return lines;
}

// `reply`, a real discovery reply, without its "Secure" offer and pointing
// at `port`: a reply as someone on the network forges it.
Bytes withoutTheOffer(const Bytes& reply, uint16_t port)
{
    const MojoTree real(mojo_create());
    if (mojo_decode(real.get(), reply.data(), int(reply.size())) != int(reply.size()))
        return {};
    const MojoTree forged(mojo_create_with_type(MOJO_DICTIONARY));
    const auto add = [&forged](const char* name, mojo_node* value) {
        mojo_dic_insert(forged.get(), mojo_create_pair(mojo_create_pair_value(name, value)));
    };
    for (const char* name : {"Name", "Os", "ReceiverName", "ReceiverVer"})
        add(name, mojo_create_string(mojo_get_string(mojo_dic_get_value(real.get(), name))));
    add("Port", mojo_create_int(port));
    add("Ip", mojo_create_string("127.0.0.1"));
    Bytes bytes(4096);
    bytes.resize(std::size_t(std::max(0, mojo_encode(forged.get(), bytes.data(), int(bytes.size())))));
    return bytes;
}

class SecureSession : public PrivateNetworkTest {
protected:
    void SetUp() override
    {
        PrivateNetworkTest::SetUp();
        if (IsSkipped())
            return;
        receiver = startReceiver();
        proxy = std::make_unique<RecordingProxy>(REMOTE_DEFAULT_PORT);
        app.launch();
        while (app.tapAlertButton()) { // the Wi-Fi warning: the namespace has lo only
        }
    }

    // The receiver answers discovery on another port than the app's: the
    // app finds a computer only where the test says.
    static std::unique_ptr<ReceiverProcess> startReceiver(std::vector<std::string> further = {})
    {
        further.insert(further.end(), {"--passcode", kPasscode, "--name", kComputer.toStdString(), "--sink", "log",
                                       "--discovery-port", std::to_string(kDiscoveryPort)});
        auto started = std::make_unique<ReceiverProcess>(further);
        EXPECT_TRUE(started->waitForNotice("discovery listening on 0.0.0.0:" + std::to_string(kDiscoveryPort)))
            << started->errors();
        return started;
    }

    // Registers the computer by hand at the proxy's address and opens its login.
    void openLoginThroughTheProxy()
    {
        auto computer = Computer::initWithInfo(kComputer, QStringLiteral("Linux"));
        computer->setIp(QStringLiteral("127.0.0.1"));
        computer->setPort(proxy->port());
        platform::NotificationCenter::defaultCenter().postNotification(notification::kRegisterComputer, computer);
        app.tap(app.computerList()->tableView()->cellForRowAtIndexPath({0, 0}));
    }
    // A login from the login screen that the receiver refuses; a refused
    // secure login's connection is closed, a plain one's stays.
    void logInRefused(const std::string& passcode, bool closed = true)
    {
        app.logIn(QString::fromStdString(passcode));
        EXPECT_EQ(app.alertOnScreen(), kInvalidPassword);
        const std::vector<std::string> lines = nextLines(*receiver, closed ? 3 : 2);
        EXPECT_TRUE(isConnectLine(lines[0])) << lines[0];
        EXPECT_EQ(lines[1], loginLine(false));
        if (closed) {
            EXPECT_EQ(lines[2], kDisconnectLine);
        }
        app.tapAlertButton();
    }
    void logInAccepted()
    {
        app.logIn(QString::fromStdString(kPasscode));
        ASSERT_EQ(app.alertOnScreen(), std::nullopt);
        const std::vector<std::string> lines = nextLines(*receiver, 2);
        ASSERT_TRUE(isConnectLine(lines[0])) << lines[0];
        ASSERT_EQ(lines[1], loginLine(true));
        app.pause();
    }
    // Opens the keyboard's text entry and types `text` as the phone's own keyboard would.
    void typeText(const QString& text)
    {
        if (app.main()->currentTag() != MainViewController::kKeyboardTab) {
            app.tap(app.main()->touchPadViewController()->keyboardButton());
            app.tap(app.main()->keyboardViewController()->button_Text);
        }
        KeyboardViewController* keyboard = app.main()->keyboardViewController();
        QInputMethodEvent typed(QString(), {});
        typed.setCommitString(text);
        QCoreApplication::sendEvent(keyboard->textEntryField, &typed);
        QCoreApplication::processEvents();
    }
    // Whether any byte recorded in either direction holds `needle`.
    bool captured(const Bytes& needle) const
    {
        for (const RecordingProxy::Connection& connection : proxy->connections()) {
            if (contains(connection.fromClient, needle) || contains(connection.fromReceiver, needle))
                return true;
        }
        return false;
    }

    RunningApp app; // first: its clock must be in place before the app starts
    std::unique_ptr<ReceiverProcess> receiver;
    std::unique_ptr<RecordingProxy> proxy;
};

TEST_F(SecureSession, ACaptureHoldsNeitherPasscodesNorTypedTextAndPlayedAgainLogsNothingIn)
{
    openLoginThroughTheProxy();
    const std::vector<std::string> guesses = {"Owner-Pass-90418", "owner-pass-90417", "Owner-Pass"};
    for (const std::string& guess : guesses)
        logInRefused(guess);
    // Each counted: the third holds the address's further logins back.
    EXPECT_TRUE(receiver->waitForNotice("3 wrong passcodes; from now on each login from this address waits"))
        << receiver->errors();
    logInAccepted(); // after its wait
    typeText(kTyped);
    EXPECT_EQ(nextLines(*receiver, 2 * kTypedKeysyms.size()), typedLines(kTypedKeysyms));

    const std::vector<RecordingProxy::Connection> sessions = proxy->connections();
    ASSERT_EQ(sessions.size(), guesses.size() + 1);
    const RecordingProxy::Connection& session = sessions.back();
    // The recording is of the real thing: a secure login, then one record of
    // 26 bytes for each key down and up (their number and times stay visible).
    ASSERT_TRUE(contains(session.fromClient, bytesOf("SecureLogin")));
    const std::size_t handshake = sessions.front().fromClient.size(); // a refused login sent its hello and tag
    EXPECT_EQ(session.fromClient.size(), handshake + 2 * kTypedKeysyms.size() * 26);
    for (const std::string& passcode : {kPasscode, guesses[0], guesses[1], guesses[2]})
        EXPECT_FALSE(captured(bytesOf(passcode))) << passcode;
    for (uint32_t keysym : kTypedKeysyms) {
        const Bytes down = keyboardPacket(1, keysym);
        EXPECT_FALSE(captured(down)) << keysym;
        EXPECT_FALSE(captured(keyboardPacket(0, keysym))) << keysym;
        EXPECT_FALSE(captured(Bytes(down.begin() + 4, down.end()))) << keysym << ": its bytes in the packet";
    }

    // Played again from the start on a new connection: the receiver answers
    // with a fresh share, the old tag does not fit it, and the records behind
    // it are never opened.
    const Bytes answers = proxy->replay(sessions.size() - 1);
    EXPECT_TRUE(contains(answers, loginReply(1)));
    const std::vector<std::string> lines = furtherLines(*receiver);
    ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
    EXPECT_TRUE(isConnectLine(lines[0])) << lines[0];
    EXPECT_EQ(lines[1], loginLine(false));
    EXPECT_EQ(lines[2], kDisconnectLine);
}

TEST_F(SecureSession, OneBitFlippedInFlightEndsTheSessionAndNothingAfterItIsTyped)
{
    openLoginThroughTheProxy();
    logInAccepted();
    // In the third record: the second character's key down.
    proxy->flipClientBitAt(proxy->connections().back().fromClient.size() + 2 * 26 + 9);
    typeText(QStringLiteral("abc"));
    EXPECT_EQ(nextLines(*receiver, 4),
              (std::vector<std::string>{keyDown('a'), keyUp('a'), kReleaseNothingLine, kDisconnectLine}));
    EXPECT_TRUE(receiver->waitForNotice("a record did not open"));
    typeText(QStringLiteral("d"));
    app.tap(app.main()->keyboardViewController()->button_E);
    EXPECT_EQ(app.alertOnScreen(),
              QStringLiteral("Connection Error|Please, connect to your computer before use the functions."));
    EXPECT_EQ(furtherLines(*receiver), std::vector<std::string>{});
}

// The user's mark sends the passcode by the plain login, which the receiver
// refuses unless it allows plain logins; then the passcode and the keys are
// there for anyone to read.
TEST_F(SecureSession, APlainLoginNeedsTheMarkAndAllowPlainAndThenCrossesTheNetworkReadable)
{
    ComputerSession::setMarkedPlainOnly(kComputer, true);
    openLoginThroughTheProxy();
    logInRefused(kPasscode, /*closed=*/false);
    EXPECT_TRUE(receiver->waitForNotice("plain login refused: this phone sent a passcode unencrypted"));
    EXPECT_TRUE(captured(loginPacket(kPasscode)));

    ASSERT_EQ(receiver->stop(SIGTERM), 0);
    receiver = startReceiver({"--allow-plain"});
    logInAccepted();
    EXPECT_EQ(remote_is_secure(), 0);
    typeText(QStringLiteral("l"));
    EXPECT_EQ(nextLines(*receiver, 2), typedLines({0x6C}));
    EXPECT_TRUE(contains(proxy->connections().back().fromClient, loginPacket(kPasscode) + keyboardPacket(1, 0x6C)));
}

// A computer not marked gets only the secure login, whatever happens on the
// way: its discovery offer stripped, its connection reset after the first
// message, a plain receiver's answer under the name it proved before.
TEST_F(SecureSession, NeitherAStrippedOfferNorAResetNorAPlainAnswerGetsThePasscodeInClear)
{
    // The receiver's own reply, stripped and pointed at the relay: the app
    // hears only the forgery.
    const UniqueFd asking = boundUdpSocket("127.0.0.1", 0);
    ASSERT_TRUE(sendDatagramToLoopback(asking.get(), kDiscoveryPort,
                                       Bytes{0x5B} + shortString("Device") + shortString("iPhone") + Bytes{0x5D}));
    const std::optional<Bytes> real = receiveDatagram(asking.get());
    ASSERT_TRUE(real && contains(*real, shortString("Secure")));
    const Bytes forged = withoutTheOffer(*real, proxy->port());
    ASSERT_FALSE(forged.empty() || contains(forged, shortString("Secure")));
    ASSERT_TRUE(sendDatagramToLoopback(asking.get(), REMOTE_DEFAULT_PORT, forged));
    ASSERT_TRUE(app.waitUntilDiscovered(kComputer));
    app.tapDiscovered(kComputer);
    logInAccepted();
    EXPECT_EQ(remote_is_secure(), 1);

    // The same computer again, from the list, as someone on the path resets
    // the connection, then as it answers like a receiver without protection.
    app.tapTabBarItem(app.main()->tabbarItemConnection());
    app.tapDiscovered(kComputer);
    const auto logInAgain = [this] {
        app.logIn(QString::fromStdString(kPasscode));
        const QString alert = app.alertOnScreen().value_or(QString());
        app.tapAlertButton();
        return alert;
    };
    proxy->setMode(RecordingProxy::Mode::ResetAfterFirstMessage);
    EXPECT_EQ(logInAgain(), kUnreachable);
    proxy->setMode(RecordingProxy::Mode::AnswerAsPlainReceiver);
    EXPECT_TRUE(logInAgain().startsWith(ComputerSession::kImpostorTitle + "|"));

    const std::vector<RecordingProxy::Connection> connections = proxy->connections();
    ASSERT_EQ(connections.size(), 3u) << "one connection for each login, none to try again";
    for (std::size_t i = 1; i < connections.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(connections[i].fromClient, connections[i].clientChunks.front())
            << "the first message, and nothing after it";
        EXPECT_TRUE(contains(connections[i].fromClient, bytesOf("SecureLogin")));
    }
    EXPECT_FALSE(captured(bytesOf(kPasscode)));
    // Neither reached the receiver, which only saw the app leave its session.
    EXPECT_EQ(furtherLines(*receiver), (std::vector<std::string>{kReleaseNothingLine, kDisconnectLine}));
}

} // namespace
