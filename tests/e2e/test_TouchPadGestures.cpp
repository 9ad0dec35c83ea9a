// SPDX-License-Identifier: GPL-3.0-or-later
// The touch pad's newer behaviour end to end, against the real
// quillon-receiver --sink log inside the test's private network: two fingers
// scroll and right-click, the connection alert reconnects with one tap to a
// receiver that came back, and connect at start lands on the touch pad (or
// on the list with the login's alert when the computer is not there).
#include "e2e/PrivateNetworkTest.h"
#include "e2e/ReceiverLog.h"
#include "e2e/RunningApp.h"

#include "RemoteProtocol.h"
#include "RemoteProtocolUtils.h"
#include "TouchPadView.h"
#include "TouchPadViewController.h"

#include "platform/Alert.h"
#include "platform/AlertSheet.h"
#include "platform/Button.h"
#include "platform/StatusBar.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <csignal>

using namespace e2e;

namespace {

const char* const kPasscode = "open sesame";
const QString kComputerName = QStringLiteral("Study Desktop");
const QString kNoSession =
    QStringLiteral("Connection Error|Please, connect to your computer before use the functions.");

class TouchPadGestures : public PrivateNetworkTest {
protected:
    void SetUp() override
    {
        PrivateNetworkTest::SetUp();
        if (IsSkipped())
            return;
        receiver = startReceiver(kPasscode, kComputerName.toStdString());
    }
    // Launches with the Wi-Fi warning (the namespace has lo only) tapped away.
    void launch()
    {
        app.launch();
        ASSERT_TRUE(app.alertOnScreen().has_value());
        ASSERT_TRUE(app.tapAlertButton());
    }
    void logInFromTheComputerList()
    {
        ASSERT_TRUE(app.waitUntilDiscovered(kComputerName)) << receiver->errors();
        app.tapDiscovered(kComputerName);
        app.logIn(QString::fromLatin1(kPasscode));
        ASSERT_EQ(app.alertOnScreen(), std::nullopt);
        expectLogin();
        app.pause();
    }
    void expectLogin()
    {
        const std::vector<std::string> lines = nextLines(*receiver, 2);
        EXPECT_TRUE(isConnectLine(lines[0])) << lines[0];
        EXPECT_EQ(lines[1], loginLine(true));
    }
    // The settings a run that logged in and turned connect at start on leaves.
    void writeSettingsOfAnEarlierRun()
    {
        app.writeSettings(R"({"ConnectAtStart": true, "Passwords": {"Study Desktop": "open sesame"},
            "LastComputer": {"ComputerName": "Study Desktop", "Os": "Linux", "Ip": "127.0.0.1", "Port": 25736}})");
    }

    TouchPadViewController* touchPad() const { return app.main()->touchPadViewController(); }

    RunningApp app;
    std::unique_ptr<ReceiverProcess> receiver;
};

TEST_F(TouchPadGestures, TwoFingersScrollAndRightClickOnTheReceiver)
{
    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_NO_FATAL_FAILURE(logInFromTheComputerList());
    QWidget* pad = touchPad()->touchPadView();
    auto& fingers = app.fingers();

    fingers.press(0, pad, {80, 200});
    fingers.press(1, pad, {130, 200});
    fingers.move(0, pad, {80, 186});
    fingers.move(1, pad, {130, 186}); // 14 points up: one step, 4 carried
    fingers.move(0, pad, {80, 206});
    fingers.move(1, pad, {130, 206}); // 20 down: the 4 carried and 16 of them make one step down
    fingers.release(0, pad, {80, 206});
    fingers.release(1, pad, {130, 206});
    EXPECT_EQ(nextLines(*receiver, 2), (std::vector<std::string>{mouseLine(8), mouseLine(16)}));

    app.pause();
    fingers.press(0, pad, {80, 200});
    fingers.press(1, pad, {130, 200});
    fingers.release(1, pad, {130, 200});
    fingers.release(0, pad, {80, 200});
    app.advance(1.0);
    EXPECT_EQ(nextLines(*receiver, 2), (std::vector<std::string>{mouseLine(4), mouseLine(0)}));
    EXPECT_EQ(app.alertOnScreen(), std::nullopt);
}

// The status bar names the computer while the session is open, from the
// login until the app notices the receiver went away, and again after the
// reconnect.
TEST_F(TouchPadGestures, TheConnectionAlertReconnectsWithOneTapWhenTheReceiverIsBack)
{
    ASSERT_NO_FATAL_FAILURE(launch());
    EXPECT_EQ(platform::StatusBar::shared().connectionName(), QString());
    ASSERT_NO_FATAL_FAILURE(logInFromTheComputerList());
    EXPECT_EQ(platform::StatusBar::shared().connectionName(), kComputerName);
    EXPECT_EQ(receiver->stop(SIGTERM), 0);
    // The app's run loop turns, as it does before the next touch reaches the
    // screen: it sees the receiver's close there, not at the next send.
    QCoreApplication::processEvents();
    receiver = startReceiver(kPasscode, kComputerName.toStdString());

    platform::Button* left = touchPad()->leftButton();
    app.fingers().press(0, left, QRectF(left->rect()).center());
    app.fingers().release(0, left, QRectF(left->rect()).center());
    ASSERT_EQ(app.alertOnScreen(), kNoSession);
    EXPECT_EQ(remote_is_connected(), 0);
    EXPECT_EQ(platform::StatusBar::shared().connectionName(), QString()) << "the lost session is no longer named";
    auto* sheet = qobject_cast<platform::AlertSheet*>(platform::Alert::sheet());
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->buttonCount(), 2);
    platform::Button* reconnect = sheet->buttonAt(1);
    EXPECT_EQ(reconnect->currentTitle(), RemoteProtocolUtils::kReconnectButtonTitle);
    app.snapshot("touchpad-reconnect-offer");

    app.tap(reconnect);
    EXPECT_EQ(app.alertOnScreen(), std::nullopt);
    EXPECT_EQ(remote_is_connected(), 1);
    EXPECT_EQ(platform::StatusBar::shared().connectionName(), kComputerName);
    expectLogin();
    EXPECT_EQ(app.main()->currentTag(), MainViewController::kTouchPadTab);
    app.tap(touchPad()->rightButton());
    EXPECT_EQ(nextLines(*receiver, 2), (std::vector<std::string>{mouseLine(4), mouseLine(0)}));
}

TEST_F(TouchPadGestures, ConnectAtStartLogsInToTheLastComputerAndShowsTheTouchPad)
{
    writeSettingsOfAnEarlierRun();
    ASSERT_NO_FATAL_FAILURE(launch());
    app.advance(0.001); // the first turn of the run loop after the start-up (a timer waits 0.1 ms at least)
    expectLogin();
    EXPECT_EQ(remote_is_connected(), 1);
    EXPECT_EQ(app.main()->currentTag(), MainViewController::kTouchPadTab);
    EXPECT_TRUE(touchPad()->view()->isVisible());
    EXPECT_EQ(app.alertOnScreen(), std::nullopt);
    app.tap(touchPad()->rightButton());
    EXPECT_EQ(nextLines(*receiver, 2), (std::vector<std::string>{mouseLine(4), mouseLine(0)}));
}

TEST_F(TouchPadGestures, ConnectAtStartFallsBackToTheListWithTheLoginAlert)
{
    writeSettingsOfAnEarlierRun();
    EXPECT_EQ(receiver->stop(SIGTERM), 0);
    ASSERT_NO_FATAL_FAILURE(launch());
    app.advance(0.001);
    EXPECT_EQ(remote_is_connected(), 0);
    EXPECT_EQ(app.alertOnScreen(), QStringLiteral("Connection Error|Please, check firewall setting on your computer."));
    ASSERT_TRUE(app.tapAlertButton());
    EXPECT_TRUE(app.computerList()->view()->isVisible());
}

} // namespace
