// SPDX-License-Identifier: GPL-3.0-or-later
// The login screen against a receiver double on 127.0.0.1: the saved
// passcode and the save row, the login frame on the wire, the three outcomes
// with their alerts, and "Goto TabBar" 0 after a successful login.
#include "ComputerSession.h"
#include "LoginViewController.h"
#include "RemoteProtocol.h"
#include "SettingsKeys.h"

#include "platform/Alert.h"
#include "platform/TableViewCell.h"
#include "platform/UserDefaults.h"

#include "support/ReceiverDouble.h"
#include "support/SessionBytes.h"
#include "support/ConnectionTab.h"
#include "support/SessionRecorder.h"

#include <QGuiApplication>
#include <QTest>
#include <gtest/gtest.h>

using platform::Alert;
using platform::AlertRecord;
using platform::TableViewCellAccessoryType;
using platform::UserDefaults;

namespace {

const AlertRecord kUnreachable{"Connection Error", "Please, check firewall setting on your computer.", "OK"};
const AlertRecord kInvalidPassword{"Connection Error", "Invalid Password.", "OK"};

// A receiver that logs in, securely, who knows `passcode`.
ReceiverScript knowing(const std::string& passcode)
{
    ReceiverScript script;
    script.passcode = passcode;
    return script;
}

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        closeAppSession();
        Alert::clearHistory();
    }
    void TearDown() override
    {
        tab.reset();
        closeAppSession();
    }

    void savePasswords(const QVariantMap& passwords)
    {
        UserDefaults::standardUserDefaults().setObject(passwords, "Passwords");
    }
    QVariantMap savedPasswords() const
    {
        return UserDefaults::standardUserDefaults().dictionaryForKey("Passwords");
    }
    // Registers the computers and opens the login screen of the one at `row`.
    LoginViewController* openLogin(const QList<std::pair<QString, int>>& computers, int row = 0)
    {
        tab = std::make_unique<ConnectionTab>();
        for (const auto& [name, port] : computers)
            ConnectionTab::postRegistered(name, "127.0.0.1", port);
        tab->tapRow(tab->list()->tableView(), {0, row});
        return qobject_cast<LoginViewController*>(tab->top());
    }
    void type(LoginViewController* login, const QString& passcode)
    {
        login->passwordField()->clear();
        QTest::keyClicks(login->passwordField(), passcode);
    }
    void tapSaveRow(LoginViewController* login) { tab->tapRow(login->tableView(), {0, 1}); }
    bool saveTicked(LoginViewController* login) const
    {
        return login->saveCell()->accessoryType() == TableViewCellAccessoryType::Checkmark;
    }

    platform::ScopedManualClock clock;
    TemporarySettings settings;
    std::unique_ptr<ConnectionTab> tab;
};

TEST_F(LoginTest, TheScreenShowsTheSavedPasscodeTickedOrAnEmptyUntickedField)
{
    savePasswords({{"Studio", "hunter2"}});
    LoginViewController* login = openLogin({{"Studio", 1}, {"Den", 2}});
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->passwordField()->text(), "hunter2");
    EXPECT_TRUE(saveTicked(login));
    EXPECT_EQ(login->passwordField()->echoMode(), QLineEdit::Password); // hidden as typed
    EXPECT_EQ(login->tableView()->headerTitleForSection(0), "Studio");

    tab->navigation()->popViewControllerAnimated(false);
    tab->tapRow(tab->list()->tableView(), {0, 1});
    login = qobject_cast<LoginViewController*>(tab->top());
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->passwordField()->text(), "");
    EXPECT_FALSE(saveTicked(login));
}

TEST_F(LoginTest, TheSaveRowTogglesAndTheFieldRowTakesTheFocus)
{
    LoginViewController* login = openLogin({{"Studio", 1}});
    tapSaveRow(login);
    EXPECT_TRUE(saveTicked(login));
    tapSaveRow(login);
    EXPECT_FALSE(saveTicked(login));
    tab->tapRow(login->tableView(), {0, 0});
    EXPECT_TRUE(login->passwordField()->hasFocus());
    EXPECT_FALSE(saveTicked(login));

    // Return only hides the keyboard: nothing is stored or sent.
    QTest::keyClick(login->passwordField(), Qt::Key_Return);
    EXPECT_FALSE(login->passwordField()->hasFocus());
    EXPECT_EQ(tab->top(), login);
    EXPECT_TRUE(Alert::history().empty());
    EXPECT_FALSE(UserDefaults::standardUserDefaults().objectForKey("Passwords").isValid());
}

TEST_F(LoginTest, ASuccessfulLoginSavesThePasscodeReturnsToTheListAndGoesToTabZero)
{
    ReceiverDouble receiver(knowing("secret"));
    LoginViewController* login = openLogin({{"Studio", receiver.port()}});
    QPointer<LoginViewController> alive(login);
    type(login, "secret");
    tapSaveRow(login);
    login->connectItem()->trigger();

    EXPECT_EQ(receiver.connections(), 1);
    EXPECT_EQ(remote_is_connected(), 1);
    EXPECT_EQ(remote_is_secure(), 1);
    EXPECT_TRUE(Alert::history().empty());
    EXPECT_EQ(tab->top(), tab->list());
    EXPECT_EQ(tab->gotoTabBar(), std::vector<long long>{0});
    EXPECT_EQ(savedPasswords(), (QVariantMap{{"Studio", "secret"}}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // the busy cursor is gone
    flushDeletes();
    EXPECT_TRUE(alive.isNull()); // the stack let the login screen go
}

TEST_F(LoginTest, ARefusedPasscodeShowsInvalidPasswordAndKeepsTheScreen)
{
    ReceiverDouble receiver(knowing("right"));
    LoginViewController* login = openLogin({{"Studio", receiver.port()}});
    type(login, "wrong");
    tapSaveRow(login);
    login->connectItem()->trigger();

    EXPECT_EQ(receiver.connections(), 1);
    EXPECT_FALSE(receiver.tagFrame().empty()); // its one guess
    ASSERT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0], kInvalidPassword);
    EXPECT_EQ(tab->top(), login);
    EXPECT_EQ(login->passwordField()->text(), "wrong");
    EXPECT_TRUE(tab->gotoTabBar().empty());
    EXPECT_EQ(savedPasswords(), (QVariantMap{{"Studio", "wrong"}})); // stored before the connect
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(LoginTest, AnUnreachableComputerShowsTheFirewallAlertAndAnUntickedRowForgetsThePasscode)
{
    savePasswords({{"Studio", "old"}, {"Den", "kept"}});
    RefusingPort refusing;
    LoginViewController* login = openLogin({{"Studio", refusing.port()}});
    ASSERT_TRUE(saveTicked(login));
    tapSaveRow(login); // untick
    login->connectItem()->trigger();

    ASSERT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0], kUnreachable);
    EXPECT_EQ(remote_is_connected(), 0);
    EXPECT_EQ(tab->top(), login);
    EXPECT_EQ(savedPasswords(), (QVariantMap{{"Den", "kept"}}));
    EXPECT_TRUE(tab->gotoTabBar().empty());
}

TEST_F(LoginTest, ComputersOfOneNameShareTheirSavedPasscode)
{
    ReceiverDouble receiver(knowing("shared"));
    RefusingPort refusing;
    LoginViewController* login = openLogin({{"Twin", refusing.port()}, {"Twin", receiver.port()}}, 0);
    type(login, "shared");
    tapSaveRow(login);
    login->connectItem()->trigger(); // fails, but the passcode is saved for the name
    Alert::dismissAll();
    tab->navigation()->popViewControllerAnimated(false);

    tab->tapRow(tab->list()->tableView(), {0, 1});
    login = qobject_cast<LoginViewController*>(tab->top());
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->passwordField()->text(), "shared");
    EXPECT_TRUE(saveTicked(login));
    login->connectItem()->trigger();
    EXPECT_EQ(remote_is_secure(), 1); // it knew the passcode
    EXPECT_EQ(tab->gotoTabBar(), std::vector<long long>{0});
}

// A receiver that speaks only the plain login gets the passcode only after
// the user marked it: never under a name that logged in securely before.
TEST_F(LoginTest, APlainReceiverGetsThePasscodeOnlyAfterTheUserMarksIt)
{
    UserDefaults::standardUserDefaults().setObject(QVariantMap{{"Studio", "Studio"}}, settingsKey::kSecureComputers);
    ReceiverDouble plain(ReceiverScript::plain({acceptingLoginReply()}));
    LoginViewController* login = openLogin({{"Studio", plain.port()}, {"Den", plain.port()}});
    auto connectWith = [&](int expectedConnections) {
        type(login, "secret");
        login->connectItem()->trigger();
        EXPECT_EQ(plain.connections(), expectedConnections);
        EXPECT_TRUE(plain.waitForPeerClose());
        EXPECT_EQ(plain.wire(), plain.loginFrame()) << "the secure login's first message, and nothing after it";
        return Alert::current().value_or(AlertRecord());
    };
    const AlertRecord impostor = connectWith(1);
    EXPECT_EQ(impostor.title, ComputerSession::kImpostorTitle);
    EXPECT_TRUE(impostor.otherButtonTitles.isEmpty());
    Alert::dismissAll();
    tab->navigation()->popViewControllerAnimated(false);

    tab->tapRow(tab->list()->tableView(), {0, 1});
    login = qobject_cast<LoginViewController*>(tab->top());
    EXPECT_EQ(connectWith(2).otherButtonTitles, QStringList{ComputerSession::kMarkButtonTitle});
    Alert::dismissCurrentWithButtonIndex(0); // Cancel
    EXPECT_EQ(connectWith(3).title, ComputerSession::kUnprotectedTitle);
    Alert::dismissCurrentWithButtonIndex(1); // Mark It: logs in at once
    EXPECT_EQ(plain.loginFrame(), loginPacket("secret"));
    EXPECT_EQ(remote_is_secure(), 0);
    EXPECT_EQ(tab->gotoTabBar(), std::vector<long long>{0});
    EXPECT_TRUE(ComputerSession::logsInAutomatically("Studio")); // no guess was had

    // The login screen shows the mark, and takes it away.
    tab->tapRow(tab->list()->tableView(), {0, 1});
    login = qobject_cast<LoginViewController*>(tab->top());
    ASSERT_EQ(login->tableView()->numberOfRowsInSection(0), 3);
    EXPECT_EQ(login->plainOnlyCell()->accessoryType(), TableViewCellAccessoryType::Checkmark);
    tab->tapRow(login->tableView(), {0, 2});
    EXPECT_FALSE(ComputerSession::isMarkedPlainOnly("Den"));
}

TEST_F(LoginTest, AReceiverThatProvesAnotherNameThanThePinnedOrTheDiscoveredOneIsNotKept)
{
    ReceiverScript script = knowing("secret");
    script.name = "Elsewhere";
    ReceiverDouble elsewhere(script);
    UserDefaults::standardUserDefaults().setObject(QVariantMap{{"Studio", "Studio"}}, settingsKey::kSecureComputers);
    for (const auto& [name, discovered] : {std::pair{"Studio", false}, {"Den", true}, {"Den", false}}) {
        SCOPED_TRACE(name);
        auto computer = Computer::initWithInfo(name, "Linux");
        computer->setIp("127.0.0.1");
        computer->setPort(elsewhere.port());
        computer->setDiscoverd(discovered ? std::optional<bool>(true) : std::nullopt);
        Alert::dismissAll();
        const bool kept = std::string(name) == "Den" && !discovered; // registered by hand, not pinned yet
        EXPECT_EQ(ComputerSession::logIn(*computer, "secret"), kept ? 0 : -1);
        EXPECT_EQ(Alert::current().has_value(), !kept);
        EXPECT_EQ(remote_is_connected(), kept ? 1 : 0);
    }
    EXPECT_EQ(UserDefaults::standardUserDefaults().dictionaryForKey(settingsKey::kSecureComputers),
              (QVariantMap{{"Studio", "Studio"}, {"Den", "Elsewhere"}}));
}

// A receiver that refuses the passcode (an impostor, or the passcode
// changed) gets one handshake from Connect at Start and none from the app's
// own logins after it, until the user logs in from the login screen.
TEST_F(LoginTest, AfterARefusedPasscodeOnlyTheLoginScreenTriesAgain)
{
    ReceiverDouble impostor(knowing("not the saved one"));
    auto computer = Computer::initWithInfo("Studio", "Linux");
    computer->setIp("127.0.0.1");
    computer->setPort(impostor.port());
    using Origin = ComputerSession::Origin;
    EXPECT_EQ(ComputerSession::logIn(*computer, "secret", Origin::ConnectAtStart), -2);
    EXPECT_EQ(impostor.connections(), 1);
    Alert::dismissAll();
    for (const Origin origin : {Origin::ConnectAtStart, Origin::Reconnect})
        EXPECT_EQ(ComputerSession::logIn(*computer, "secret", origin), ComputerSession::kNotTried);
    EXPECT_EQ(impostor.connections(), 1);
    EXPECT_EQ(ComputerSession::logIn(*computer, "secret", Origin::LoginScreen), -2);
    EXPECT_EQ(impostor.connections(), 2);
}

TEST_F(LoginTest, AScreenOpenedWhileTheTabIsHiddenIsStillToldItAppears)
{
    savePasswords({{"Studio", "hunter2"}});
    tab = std::make_unique<ConnectionTab>();
    ConnectionTab::postRegistered("Studio", "127.0.0.1", 1);
    tab->container->viewWillDisappear(false);
    tab->container->viewDidDisappear(false);
    tab->list()->didSelectRowAtIndexPath(tab->list()->tableView(), {0, 0});
    auto* login = qobject_cast<LoginViewController*>(tab->top());
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->passwordField()->text(), "hunter2");
    EXPECT_TRUE(saveTicked(login));
}

} // namespace
