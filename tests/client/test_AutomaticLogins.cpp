// SPDX-License-Identifier: GPL-3.0-or-later
// The logins the app makes on its own, connect at start and reconnect,
// against a receiver double on 127.0.0.1 that another computer's passcode
// can take over: an impostor gets one guess per action of the user, none
// from the app after a refused passcode until the user's own login from the
// login screen succeeds. The status bar's lock shows while the secure
// session is open.
#include "ComputerSession.h"
#include "LoginViewController.h"
#include "MainViewController.h"
#include "RemoteProtocol.h"
#include "RemoteProtocolUtils.h"
#include "SettingsKeys.h"
#include "TarvelAppDelegate.h"

#include "platform/Alert.h"
#include "platform/NetworkReachability.h"
#include "platform/NotificationCenter.h"
#include "platform/StatusBar.h"
#include "platform/UserDefaults.h"

#include "support/AppTestEnvironment.h"
#include "support/LoopbackDiscovery.h"
#include "support/ReceiverDouble.h"
#include "support/SessionRecorder.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

const AlertRecord kInvalidPassword{"Connection Error", "Invalid Password.", "OK"};

class AutomaticLoginsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NetworkReachability::setFlagsResolver([](std::uint32_t) {
            return std::optional<NetworkReachabilityFlags>(kNetworkReachabilityFlagsReachable
                                                           | kNetworkReachabilityFlagsIsDirect);
        });
        NotificationCenter::defaultCenter().addObserver(&tabs, "Goto TabBar", [this](const Notification& n) {
            tabs.push_back(n.integerObject().value_or(-1));
        });
        desk->setIp("127.0.0.1");
        desk->setPort(receiver.port());
        UserDefaults& defaults = UserDefaults::standardUserDefaults();
        defaults.setBool(true, settingsKey::kConnectAtStart);
        defaults.setObject(QVariantMap{{"Desk", "right"}}, settingsKey::kPasswords);
        defaults.setObject(desk->encodeWithDictionary(), settingsKey::kLastComputer);
    }
    void TearDown() override
    {
        quit();
        NotificationCenter::defaultCenter().removeObserver(&tabs);
        NetworkReachability::setFlagsResolver({});
    }

    // A start of the app, up to its connect at start.
    void launch()
    {
        quit();
        tabs.clear();
        Alert::clearHistory();
        delegate = std::make_unique<TarvelAppDelegate>();
        delegate->applicationDidFinishLaunching();
        env.advance(0.1);
    }
    void quit()
    {
        delegate.reset();
        closeAppSession();
        Alert::dismissAll();
    }
    // What the login screen does with the saved passcode.
    void logInFromTheLoginScreen()
    {
        LoginViewController login;
        login.setComputer(desk);
        login.view();
        login.viewWillAppear(false);
        login.selectedConnect(nullptr);
    }
    bool automatic() const { return ComputerSession::logsInAutomatically("Desk"); }

    AppTestEnvironment env;
    LoopbackDiscovery discovery;
    ReceiverDouble receiver{[] {
        ReceiverScript script;
        script.passcode = "right";
        script.name = "Desk";
        return script;
    }()};
    std::shared_ptr<Computer> desk = Computer::initWithInfo("Desk", "Linux");
    std::unique_ptr<TarvelAppDelegate> delegate;
    std::vector<long long> tabs;
};

TEST_F(AutomaticLoginsTest, AnImpostorGetsOneGuessPerActionOfTheUserAndNoneFromTheAppAfterARefusal)
{
    launch();
    EXPECT_EQ(receiver.connections(), 1);
    EXPECT_EQ(tabs, std::vector<long long>{MainViewController::kTouchPadTab});
    EXPECT_TRUE(StatusBar::shared().isSessionSecure());
    EXPECT_EQ(UserDefaults::standardUserDefaults().dictionaryForKey(settingsKey::kSecureComputers),
              (QVariantMap{{"Desk", "Desk"}}));

    // Another computer takes the address; it does not know the passcode.
    receiver.setPasscode("a guess");
    launch();
    EXPECT_EQ(receiver.connections(), 2);
    EXPECT_EQ(Alert::history(), std::vector<AlertRecord>{kInvalidPassword});
    EXPECT_FALSE(automatic());
    EXPECT_TRUE(tabs.empty());
    EXPECT_FALSE(StatusBar::shared().isSessionSecure());
    launch();
    launch();
    EXPECT_EQ(receiver.connections(), 2) << "no connect at start after a refusal";
    EXPECT_TRUE(Alert::history().empty());
    EXPECT_TRUE(tabs.empty()); // the list stays

    // The user's own login is one more guess; once the real computer is back
    // it succeeds, and the app may log in on its own again.
    logInFromTheLoginScreen();
    EXPECT_EQ(receiver.connections(), 3);
    EXPECT_FALSE(automatic());
    receiver.setPasscode("right");
    logInFromTheLoginScreen();
    EXPECT_EQ(receiver.connections(), 4);
    EXPECT_TRUE(automatic());
    EXPECT_TRUE(StatusBar::shared().isSessionSecure());

    // The session is lost and the impostor is back: one reconnect, one guess.
    receiver.setPasscode("a guess");
    closeAppSession();
    Alert::dismissAll();
    Alert::clearHistory();
    RemoteProtocolUtils::checkConnection();
    EXPECT_FALSE(StatusBar::shared().isSessionSecure());
    Alert::dismissCurrentWithButtonIndex(1);
    EXPECT_EQ(receiver.connections(), 5);
    EXPECT_EQ(Alert::current(), kInvalidPassword);
    Alert::dismissAll();
    RemoteProtocolUtils::checkConnection();
    Alert::dismissCurrentWithButtonIndex(1);
    EXPECT_EQ(receiver.connections(), 5) << "no reconnect after a refusal";
    ASSERT_TRUE(Alert::current().has_value());
    EXPECT_EQ(Alert::current()->otherButtonTitles, QStringList{ComputerSession::kComputersButtonTitle});
    Alert::dismissCurrentWithButtonIndex(1);
    EXPECT_EQ(tabs.back(), MainViewController::kConnectionTab);
    launch();
    EXPECT_EQ(receiver.connections(), 5);
}

} // namespace
