// SPDX-License-Identifier: GPL-3.0-or-later
// What a person meets first, with the real start-up: no settings file at
// all, a corrupt one, one of the wrong shape, and no network at all. The app
// starts, says what it must once, and stays usable.
#include "e2e/PrivateNetworkTest.h"
#include "e2e/ReceiverLog.h"
#include "e2e/RunningApp.h"

#include "ComputersViewController.h"
#include "LoginViewController.h"
#include "RemoteProtocol.h"
#include "RemoteViewController.h"
#include "TouchPadViewController.h"

#include "platform/AudioServices.h"
#include "platform/Button.h"
#include "platform/NavigationBar.h"
#include "platform/NavigationController.h"
#include "support/platform/RecordingAudioBackend.h"
#include "platform/TableViewCell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

const QString kWiFiWarning =
    QStringLiteral("Warning|You must turn on Wi-Fi network to use this application. ");
const QString kConnectionError =
    QStringLiteral("Connection Error|Please, connect to your computer before use the functions.");

class FirstStart : public PrivateNetworkTest {
protected:
    void TearDown() override { platform::AudioServices::setBackend(nullptr); }

    // Starts the app and taps the Wi-Fi warning away; fails if any other
    // alert comes, or the warning does not.
    void launchAndAcknowledgeTheWarning()
    {
        app.launch();
        ASSERT_EQ(app.alertOnScreen(), kWiFiWarning);
        ASSERT_TRUE(app.tapAlertButton());
        ASSERT_EQ(app.alertOnScreen(), std::nullopt);
    }

    LoginViewController* loginOnScreen() const
    {
        return qobject_cast<LoginViewController*>(
            app.main()->computerViewController()->naviController()->topViewController());
    }

    // With no session, a release on the remote panel warns: the app is usable
    // and says what is missing.
    void expectTheRemotePanelAsksForAConnection()
    {
        app.tapTabBarItem(app.main()->tabbarItemRemote());
        ASSERT_EQ(app.main()->currentTag(), MainViewController::kRemoteTab);
        app.tap(app.main()->remoteViewController()->buttonVolumeUp());
        EXPECT_EQ(app.alertOnScreen(), kConnectionError);
        EXPECT_TRUE(app.tapAlertButton());
    }

    RunningApp app;
};

TEST_F(FirstStart, WithoutASettingsFileTheAppStartsQuietAndRemembersAPasscodeForTheNextStart)
{
    const std::string passcode = "first day";
    auto receiver = startReceiver(passcode, "Den");
    auto sounds = std::make_shared<platform::RecordingAudioBackend>();
    platform::AudioServices::setBackend(sounds);
    ASSERT_FALSE(QFileInfo::exists(app.settingsDirectory()));
    ASSERT_NO_FATAL_FAILURE(launchAndAcknowledgeTheWarning());
    EXPECT_EQ(app.registeredRows(), QStringList{});

    ASSERT_TRUE(app.waitUntilDiscovered("Den")) << receiver->errors();
    app.tapDiscovered("Den");
    LoginViewController* login = loginOnScreen();
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->passwordField()->text(), QString());
    app.tap(login->saveCell());
    app.logIn(QString::fromStdString(passcode));
    ASSERT_EQ(app.main()->currentTag(), MainViewController::kTouchPadTab);
    app.tap(app.main()->touchPadViewController()->rightButton());
    EXPECT_TRUE(sounds->played().isEmpty()); // the sound switch is off until the user turns it on

    // The passcode is saved in a file only its owner may read.
    QFile file(app.settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    const QJsonObject stored = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(stored.value("Passwords").toObject().value("Den").toString(), QString::fromStdString(passcode));

    // The next day: the same computer, its passcode already filled in.
    app.relaunch();
    ASSERT_EQ(app.alertOnScreen(), kWiFiWarning);
    ASSERT_TRUE(app.tapAlertButton());
    ASSERT_TRUE(app.waitUntilDiscovered("Den")) << receiver->errors();
    app.tapDiscovered("Den");
    login = loginOnScreen();
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->passwordField()->text(), QString::fromStdString(passcode));
    EXPECT_EQ(login->saveCell()->accessoryType(), platform::TableViewCellAccessoryType::Checkmark);
    app.tap(app.main()->computerViewController()->naviController()->navigationBar()->rightButton());
    EXPECT_EQ(app.alertOnScreen(), std::nullopt);
    EXPECT_EQ(app.main()->currentTag(), MainViewController::kTouchPadTab);
    EXPECT_EQ(remote_is_connected(), 1);
}

TEST_F(FirstStart, ACorruptSettingsFileIsKeptAsideAndTheAppStartsWithEmptySettings)
{
    const QByteArray corrupt = R"({"RegisteredComputers": [{"computerName": "Den", )";
    app.writeSettings(corrupt);
    ASSERT_NO_FATAL_FAILURE(launchAndAcknowledgeTheWarning());
    EXPECT_EQ(app.registeredRows(), QStringList{});

    const QStringList aside = QDir(app.settingsDirectory()).entryList({"settings.json.corrupt-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1) << aside.join(", ").toStdString();
    QFile kept(QDir(app.settingsDirectory()).filePath(aside[0]));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), corrupt); // nothing of it is lost
    expectTheRemotePanelAsksForAConnection();
}

TEST_F(FirstStart, SettingsOfTheWrongShapeAreIgnoredRatherThanTrusted)
{
    app.writeSettings(R"({"RegisteredComputers": "Den", "Passwords": [1, 2], "enabled_soundeffect": "loud"})");
    auto sounds = std::make_shared<platform::RecordingAudioBackend>();
    platform::AudioServices::setBackend(sounds);
    ASSERT_NO_FATAL_FAILURE(launchAndAcknowledgeTheWarning());
    EXPECT_EQ(app.registeredRows(), QStringList{});
    expectTheRemotePanelAsksForAConnection();
    EXPECT_TRUE(sounds->played().isEmpty());
}

TEST_F(FirstStart, AReceiverBoundToOneAddressIsStillFoundByTheBroadcastOnThatNetwork)
{
    // As the guide advises for a computer on several networks: --bind.
    auto receiver = std::make_unique<ReceiverProcess>(std::vector<std::string>{
        "--passcode", "bound", "--name", "Bound Desk", "--bind", "127.0.0.1", "--sink", "log"});
    ASSERT_TRUE(receiver->waitForNotice("discovery listening on 127.0.0.1:25736")) << receiver->errors();
    ASSERT_NO_FATAL_FAILURE(launchAndAcknowledgeTheWarning());
    ASSERT_TRUE(app.waitUntilDiscovered("Bound Desk")) << receiver->errors();
    app.tapDiscovered("Bound Desk");
    app.logIn("bound");
    EXPECT_EQ(app.alertOnScreen(), std::nullopt);
    EXPECT_EQ(app.main()->currentTag(), MainViewController::kTouchPadTab);
    const std::vector<std::string> lines = nextLines(*receiver, 2);
    EXPECT_TRUE(isConnectLine(lines[0])) << lines[0];
    EXPECT_EQ(lines[1], loginLine(true));
}

TEST_F(FirstStart, WithoutAnyNetworkTheWarningComesOnceAndTheAppStaysUsable)
{
    ASSERT_TRUE(removeDefaultRoute()); // the namespace now has no way out at all
    ASSERT_NO_FATAL_FAILURE(launchAndAcknowledgeTheWarning());

    // Discovery's queries fail to leave, silently, for as long as it runs.
    for (int second = 0; second < 10; ++second)
        app.advance(1.0);
    EXPECT_EQ(app.discoveredRows(), QStringList{});
    EXPECT_EQ(app.alertOnScreen(), std::nullopt);

    expectTheRemotePanelAsksForAConnection();
    app.tapTabBarItem(app.main()->tabbarItemConnection());
    EXPECT_TRUE(app.computerList()->view()->isVisible());
    app.advance(10.0);
    EXPECT_EQ(app.alertOnScreen(), std::nullopt); // the warning was once, at the start
    EXPECT_TRUE(addDefaultRouteThroughLoopback());
}

} // namespace
