// SPDX-License-Identifier: GPL-3.0-or-later
// The real app used as a person would, against the real quillon-receiver
// --sink log, both inside the test's private network: the receiver answers
// the app's broadcast query, a tap on it opens the login, a wrong passcode is
// refused, the right one lands on the touch pad; the touch pad, the keyboard
// and the remote panel reach the receiver's log as the exact events; a
// receiver that goes away is met with "Connection Error" and nothing worse.
#include "e2e/PrivateNetworkTest.h"
#include "e2e/ReceiverLog.h"
#include "e2e/RunningApp.h"

#include "ComputersViewController.h"
#include "KeyboardViewController.h"
#include "LoginViewController.h"
#include "RemoteProtocol.h"
#include "RemoteViewController.h"
#include "TouchPadView.h"
#include "TouchPadViewController.h"

#include "platform/Button.h"
#include "platform/NavigationController.h"
#include "platform/TabBar.h"

#include <QCoreApplication>
#include <QLabel>
#include <gtest/gtest.h>

#include <csignal>

using namespace e2e;

namespace {

const char* const kPasscode = "open sesame";
const QString kComputerName = QStringLiteral("Study Desktop");
const QString kWiFiWarning =
    QStringLiteral("Warning|You must turn on Wi-Fi network to use this application. ");

constexpr uint32_t kShift = 0xFFE1;

class AppJourney : public PrivateNetworkTest {
protected:
    void SetUp() override
    {
        PrivateNetworkTest::SetUp();
        if (IsSkipped())
            return;
        receiver = startReceiver(kPasscode, kComputerName.toStdString());
        // The sound switch is on: every press plays through the real sound
        // service, which has no audio device here.
        app.writeSettings(R"({"enabled_soundeffect": true})");
        app.launch();
        // The namespace has no Wi-Fi (lo only): the warning comes once and is
        // tapped away, as a person would.
        ASSERT_EQ(app.alertOnScreen(), kWiFiWarning);
        app.snapshot("journey-start-no-wifi-warning");
        ASSERT_TRUE(app.tapAlertButton());
        ASSERT_EQ(app.alertOnScreen(), std::nullopt);
        // The first screen is the computer list, in front of the touch pad.
        ASSERT_TRUE(app.computerList()->view()->isVisible());
    }
    // Discovery, the row, the right passcode: the touch pad is on screen.
    void logInFromTheComputerList()
    {
        ASSERT_TRUE(app.waitUntilDiscovered(kComputerName)) << receiver->errors();
        app.tapDiscovered(kComputerName);
        app.logIn(QString::fromLatin1(kPasscode));
        ASSERT_EQ(app.alertOnScreen(), std::nullopt);
        ASSERT_EQ(app.main()->currentTag(), MainViewController::kTouchPadTab);
        const std::vector<std::string> lines = nextLines(*receiver, 2);
        ASSERT_TRUE(isConnectLine(lines[0])) << lines[0];
        ASSERT_EQ(lines[1], loginLine(true));
        app.pause();
    }

    TouchPadViewController* touchPad() const { return app.main()->touchPadViewController(); }

    RunningApp app; // first: its clock must be in place before the app starts
    std::unique_ptr<ReceiverProcess> receiver;
};

TEST_F(AppJourney, TheReceiverIsDiscoveredAndOnlyItsPasscodeLogsIn)
{
    ASSERT_TRUE(app.waitUntilDiscovered(kComputerName)) << receiver->errors();
    EXPECT_EQ(app.discoveredRows(), QStringList{kComputerName}); // its own query is no computer
    app.snapshot("journey-connection-discovered");
    app.tapDiscovered(kComputerName);
    auto* login = qobject_cast<LoginViewController*>(
        app.main()->computerViewController()->naviController()->topViewController());
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->computer()->computerName(), kComputerName);
    EXPECT_EQ(login->computer()->ip(), QStringLiteral("127.0.0.1"));

    app.logIn(QStringLiteral("open sesame?"));
    EXPECT_EQ(app.alertOnScreen(), QStringLiteral("Connection Error|Invalid Password."));
    app.snapshot("journey-login-invalid-password");
    std::vector<std::string> lines = nextLines(*receiver, 2);
    EXPECT_TRUE(isConnectLine(lines[0])) << lines[0];
    EXPECT_EQ(lines[1], loginLine(false));
    ASSERT_TRUE(app.tapAlertButton());
    EXPECT_EQ(app.main()->computerViewController()->naviController()->topViewController(), login);

    // The refused connection is closed by the next connect, which logs in.
    app.logIn(QString::fromLatin1(kPasscode));
    EXPECT_EQ(app.alertOnScreen(), std::nullopt);
    EXPECT_EQ(remote_is_connected(), 1);
    EXPECT_EQ(app.main()->currentTag(), MainViewController::kTouchPadTab);
    EXPECT_TRUE(touchPad()->view()->isVisible());
    lines = nextLines(*receiver, 3);
    EXPECT_EQ(lines[0], kDisconnectLine);
    EXPECT_TRUE(isConnectLine(lines[1])) << lines[1];
    EXPECT_EQ(lines[2], loginLine(true));
}

TEST_F(AppJourney, ADragATapAndAWheelMoveReachTheReceiverAsMouseEvents)
{
    ASSERT_NO_FATAL_FAILURE(logInFromTheComputerList());
    QWidget* pad = touchPad()->touchPadView();
    auto& fingers = app.fingers();

    fingers.press(0, pad, {100, 100});
    fingers.move(0, pad, {110.5, 95});
    fingers.move(0, pad, {130, 95.9});
    fingers.release(0, pad, {130, 95.9});
    EXPECT_EQ(nextLines(*receiver, 2), (std::vector<std::string>{mouseLine(0, 10, -5), mouseLine(0, 19, 0)}));

    app.pause();
    app.tapAt(pad, {60, 60});
    app.advance(0.4); // the single-tap click waits for a second tap that does not come
    EXPECT_EQ(nextLines(*receiver, 2), (std::vector<std::string>{mouseLine(1), mouseLine(0)}));

    app.pause();
    QWidget* wheel = touchPad()->wheelButton();
    const QPointF start = QRectF(wheel->rect()).center();
    fingers.press(0, wheel, start);
    fingers.move(0, wheel, start - QPointF(0, 10)); // one step up
    fingers.move(0, wheel, start + QPointF(0, 2));  // twelve points down: one step down
    fingers.release(0, wheel, start + QPointF(0, 2));
    EXPECT_EQ(nextLines(*receiver, 2), (std::vector<std::string>{mouseLine(8), mouseLine(16)}));
    EXPECT_EQ(app.alertOnScreen(), std::nullopt);
}

TEST_F(AppJourney, TheKeyboardTabTypesHiWithTheShiftLatch)
{
    ASSERT_NO_FATAL_FAILURE(logInFromTheComputerList());
    app.tap(touchPad()->keyboardButton());
    ASSERT_EQ(app.main()->currentTag(), MainViewController::kKeyboardTab);
    KeyboardViewController* keyboard = app.main()->keyboardViewController();
    ASSERT_TRUE(keyboard->view()->isVisible());
    EXPECT_EQ(app.window()->size(), QSize(480, 320)); // turned to landscape

    for (QWidget* key : std::initializer_list<QWidget*>{keyboard->button_LSHIFT, keyboard->button_H, keyboard->button_I,
                             keyboard->button_LSHIFT, keyboard->button_1})
        app.tap(key);
    EXPECT_EQ(nextLines(*receiver, 10),
              (std::vector<std::string>{keyDown(kShift), keyDown('H'), keyUp('H'), keyUp(kShift), keyDown('I'),
                                        keyUp('I'), keyDown(kShift), keyDown('1'), keyUp('1'), keyUp(kShift)}));
    EXPECT_EQ(keyboard->preview->text(), QStringLiteral("Hi!"));
    app.snapshot("journey-keyboard-typed-hi");
    EXPECT_EQ(app.alertOnScreen(), std::nullopt);
}

TEST_F(AppJourney, TheRemotePanelsVolumeUpSendsItsCommandDownAndUp)
{
    ASSERT_NO_FATAL_FAILURE(logInFromTheComputerList());
    app.tapTabBarItem(app.main()->tabbarItemRemote());
    ASSERT_EQ(app.main()->currentTag(), MainViewController::kRemoteTab);
    RemoteViewController* remote = app.main()->remoteViewController();
    ASSERT_TRUE(remote->view()->isVisible());

    app.tap(remote->buttonVolumeUp());
    EXPECT_EQ(nextLines(*receiver, 2), (std::vector<std::string>{keyDown(0x08010032), keyUp(0x08010032)}));
    EXPECT_EQ(app.alertOnScreen(), std::nullopt);
}

TEST_F(AppJourney, AReceiverThatGoesAwayMeetsConnectionErrorAtTheNextReleaseAndTheAppGoesOn)
{
    ASSERT_NO_FATAL_FAILURE(logInFromTheComputerList());
    EXPECT_EQ(receiver->stop(SIGTERM), 0);
    // The app's run loop turns, as it does before the next touch reaches the
    // screen: it sees the receiver's close there, not at the next send.
    QCoreApplication::processEvents();

    platform::Button* left = touchPad()->leftButton();
    app.fingers().press(0, left, QRectF(left->rect()).center());
    EXPECT_EQ(app.alertOnScreen(), std::nullopt); // a press only finds the session gone
    app.fingers().release(0, left, QRectF(left->rect()).center());
    EXPECT_EQ(app.alertOnScreen(),
              QStringLiteral("Connection Error|Please, connect to your computer before use the functions."));
    app.snapshot("journey-touchpad-connection-error");
    EXPECT_EQ(remote_is_connected(), 0);
    ASSERT_TRUE(app.tapAlertButton());

    // The computer comes back: the list still has it, and a new login works.
    receiver = startReceiver(kPasscode, kComputerName.toStdString());
    app.tapTabBarItem(app.main()->tabbarItemConnection());
    ASSERT_TRUE(app.computerList()->view()->isVisible());
    ASSERT_NO_FATAL_FAILURE(logInFromTheComputerList());
    app.tap(touchPad()->rightButton());
    EXPECT_EQ(nextLines(*receiver, 2), (std::vector<std::string>{mouseLine(4), mouseLine(0)}));
}

} // namespace
