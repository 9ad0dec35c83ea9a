// SPDX-License-Identifier: GPL-3.0-or-later
// The app's start-up and its main view, with the real screens: the order of
// the start-up steps, the Wi-Fi warning, tab switching with the appearance
// calls, the landscape keyboard, the connection tab's way back, the tab bar's
// toggle and fade, and the settings sheet; connecting at start and
// reconnecting, which stop after a refused passcode. Discovery stays on
// loopback.
#include "ComputerSession.h"
#include "ComputersViewController.h"
#include "KeyboardViewController.h"
#include "LoginViewController.h"
#include "MainViewController.h"
#include "PhoneWindow.h"
#include "PhoneWindowHost.h"
#include "RemoteProtocol.h"
#include "RemoteProtocolUtils.h"
#include "RemoteViewController.h"
#include "SettingsSheet.h"
#include "TarvelAppDelegate.h"
#include "TouchPadViewController.h"

#include "platform/Alert.h"
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"
#include "platform/NetworkReachability.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/StatusBar.h"
#include "platform/TabBar.h"
#include "platform/UserDefaults.h"
#include "platform/ViewAnimation.h"

#include "support/AppTestEnvironment.h"
#include "support/LoopbackDiscovery.h"
#include "support/ReceiverDouble.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QScreen>
#include <QPropertyAnimation>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

using namespace platform;

namespace {

constexpr NetworkReachabilityFlags kOnWiFi = kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsIsDirect;

// The sound service is the third start-up step: it notes what the first two left.
class ObservingAudioBackend : public RecordingAudioBackend {
public:
    std::function<void()> onCreate;
    SystemSoundID createSystemSound(const QUrl& fileUrl) override
    {
        if (onCreate)
            onCreate();
        return RecordingAudioBackend::createSystemSound(fileUrl);
    }
};

class MainViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(discovery.port(), 0);
        NetworkReachability::setFlagsResolver([this](std::uint32_t) {
            reachabilityAsked();
            return std::optional<NetworkReachabilityFlags>(flags);
        });
    }
    void TearDown() override
    {
        delegate.reset();
        NetworkReachability::setFlagsResolver({});
        StatusBar::shared().setHidden(false, false);
        StatusBar::shared().setOrientation(InterfaceOrientation::Portrait, false);
    }

    void launch(bool fillsScreen = false)
    {
        delegate = std::make_unique<TarvelAppDelegate>(fillsScreen);
        delegate->applicationDidFinishLaunching();
        main = delegate->mainViewController();
    }
    bool visible(int tab) const
    {
        ViewController* screen = main->viewControllerAt(tab);
        return screen && screen->isViewLoaded() && !screen->view()->isHidden();
    }
    void gotoTab(int index) { NotificationCenter::defaultCenter().postNotification("Goto TabBar", index); }
    // Discovery runs while the computer list is on screen (its query timer).
    bool discoveryRunning() const { return RunLoop::main().scheduledTimerCount() > 0; }

    AppTestEnvironment env;
    LoopbackDiscovery discovery;
    NetworkReachabilityFlags flags = kOnWiFi;
    std::function<void()> reachabilityAsked = [] {};
    std::unique_ptr<TarvelAppDelegate> delegate;
    MainViewController* main = nullptr;
};

TEST_F(MainViewTest, StartUpRunsItsStepsInOrderAndWarnsOnceWithoutWiFi)
{
    flags = 0;
    // With sounds on (with them off the audio system is not touched at all).
    UserDefaults::standardUserDefaults().setBool(true, "enabled_soundeffect");
    auto sounds = std::make_shared<ObservingAudioBackend>();
    AudioServices::setBackend(sounds);
    bool checkedAtSounds = false;
    sounds->onCreate = [&] {
        if (checkedAtSounds)
            return;
        checkedAtSounds = true;
        // Step 1 is done: the connection screens exist and discovery runs;
        // the other screens wait until they are first chosen.
        MainViewController* view = delegate->mainViewController();
        EXPECT_TRUE(view->isViewLoaded());
        EXPECT_TRUE(delegate->window()->isVisible());
        EXPECT_TRUE(view->computerViewController()->isViewLoaded());
        for (int tab : {MainViewController::kTouchPadTab, MainViewController::kKeyboardTab, MainViewController::kRemoteTab})
            EXPECT_EQ(view->viewControllerAt(tab), nullptr) << tab;
        EXPECT_TRUE(discoveryRunning());
        EXPECT_TRUE(StatusBar::shared().isHidden()); // step 4 is still to come
    };
    int asked = 0;
    reachabilityAsked = [&] {
        ++asked;
        EXPECT_TRUE(checkedAtSounds);
        EXPECT_FALSE(StatusBar::shared().isHidden());
        EXPECT_EQ(delegate->mainViewController()->view()->geometry(), QRect(0, 20, 320, 460));
        EXPECT_TRUE(Alert::history().empty());
    };
    launch();
    EXPECT_TRUE(checkedAtSounds);
    EXPECT_GE(asked, 1);
    ASSERT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0],
              (AlertRecord{"Warning", "You must turn on Wi-Fi network to use this application. ", "OK"}));
    EXPECT_EQ(Alert::current(), Alert::history()[0]);
    EXPECT_EQ(delegate->window()->size(), QSize(320, 480));

    Alert::dismissCurrent(); // and the app runs on
    EXPECT_FALSE(Alert::current().has_value());
    EXPECT_EQ(Alert::history().size(), 1u);
}

TEST_F(MainViewTest, OnAPhoneTheWindowFillsTheScreenAndTheMainViewReachesItsBottom)
{
    launch(true);
    PhoneWindow* window = delegate->window();
    const QRect screen = window->screen()->geometry();
    ASSERT_NE(window->host(), nullptr);
    EXPECT_EQ(window->screenWindow(), window->host());
    EXPECT_TRUE(window->host()->isFullScreen());
    EXPECT_EQ(window->host()->size(), screen.size());
    EXPECT_EQ(window->size(), screen.size());
    // The design's width in the middle, from below the status bar to the bottom.
    const QRect content((screen.width() - 320) / 2, 20, 320, screen.height() - 20);
    EXPECT_EQ(main->view()->geometry(), content);
    EXPECT_EQ(main->tabbar()->geometry().bottom(), content.height() - 1) << "the tab bar along the bottom edge";

    // This screen is wider than high: the keyboard is not turned, and spans it.
    gotoTab(MainViewController::kKeyboardTab);
    EXPECT_FALSE(window->host()->isTurned());
    EXPECT_EQ(window->size(), screen.size());
    EXPECT_EQ(main->view()->geometry(), QRect(QPoint(0, 0), screen.size()));
    EXPECT_EQ(main->keyboardViewController()->view()->width(), screen.width());
    gotoTab(MainViewController::kRemoteTab);
    EXPECT_EQ(main->view()->geometry(), content);
}

TEST_F(MainViewTest, OnWiFiTheStartIsQuietAndTheComputerListShowsFirst)
{
    launch();
    EXPECT_TRUE(Alert::history().empty());
    EXPECT_EQ(main->currentTag(), 0);
    QWidget* mainView = main->view();
    // The connection screens, the tab bar above them.
    EXPECT_TRUE(visible(MainViewController::kConnectionTab));
    const QObjectList& children = mainView->children();
    const auto order = [&](QObject* object) { return children.indexOf(object); };
    EXPECT_LT(order(main->computerViewController()->view()), order(main->tabbar()));
    EXPECT_TRUE(main->tabbar()->isVisible());
    EXPECT_EQ(main->tabbar()->selectedItem(), main->tabbarItemConnection());

    QStringList titles;
    QList<int> tags;
    for (QAction* item : main->tabbar()->items()) {
        titles << item->text();
        tags << TabBar::tagOf(item);
    }
    EXPECT_EQ(titles, (QStringList{"Touch Pad", "Keyboard", "Remote", "Computers"}));
    EXPECT_EQ(tags, (QList<int>{0, 1, 2, 3}));
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* watched) { watched->installEventFilter(this); }
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(MainViewTest, EachScreenIsMadeOnceWhenFirstChosenWhereItWouldHaveLainFromTheStart)
{
    launch();
    gotoTab(MainViewController::kRemoteTab);
    RemoteViewController* remote = main->remoteViewController();
    ASSERT_NE(remote, nullptr);
    EXPECT_TRUE(visible(MainViewController::kRemoteTab));
    EXPECT_EQ(main->touchPadViewController(), nullptr);
    gotoTab(MainViewController::kKeyboardTab);
    gotoTab(MainViewController::kTouchPadTab);
    TouchPadViewController* pad = main->touchPadViewController();
    ASSERT_NE(pad, nullptr);
    EXPECT_TRUE(visible(MainViewController::kTouchPadTab));
    gotoTab(MainViewController::kRemoteTab);
    EXPECT_EQ(main->remoteViewController(), remote);

    // Touch pad, remote panel, connection screens, then the keyboard,
    // whatever the order they were chosen in; the upright ones one size.
    const QObjectList& children = main->view()->children();
    const auto order = [&](ViewController* screen) { return children.indexOf(screen->view()); };
    EXPECT_LT(order(pad), order(remote));
    EXPECT_LT(order(remote), order(main->computerViewController()));
    EXPECT_LT(order(main->computerViewController()), order(main->keyboardViewController()));
    EXPECT_EQ(pad->view()->geometry(), main->computerViewController()->view()->geometry());
    EXPECT_EQ(remote->view()->geometry(), pad->view()->geometry());

    // Hidden under the connection screens, a screen costs no drawing.
    PaintCounter painted(remote->view());
    gotoTab(MainViewController::kConnectionTab);
    delegate->window()->grab();
    EXPECT_EQ(painted.count, 0);
}

TEST_F(MainViewTest, ALoginShowsTheTouchPadAndSwitchesMakeTheAppearanceCalls)
{
    launch();
    ASSERT_TRUE(discoveryRunning());

    gotoTab(0); // what the login screen posts
    TouchPadViewController* pad = main->touchPadViewController();
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(main->currentTag(), 0);
    EXPECT_TRUE(visible(0));
    EXPECT_FALSE(visible(2));
    EXPECT_FALSE(visible(3));
    EXPECT_TRUE(main->tabbar()->isHidden());
    EXPECT_EQ(main->tabbar()->selectedItem(), main->tabbarItemTouchPad());
    EXPECT_FALSE(discoveryRunning());     // the computer list disappeared
    pad->rbuttonTouchDown(nullptr);       // a button held before the switch
    ASSERT_EQ(pad->buttonMask(), 4);

    main->tabbar()->tapItem(main->tabbarItemConnection());
    EXPECT_TRUE(visible(3));
    EXPECT_FALSE(visible(0));
    EXPECT_TRUE(discoveryRunning());
    gotoTab(0);
    EXPECT_EQ(pad->buttonMask(), 0); // the touch pad appeared again
    gotoTab(3);

    gotoTab(3); // the current tab again: shown again, tab bar hidden again
    main->toggleTabBar();
    gotoTab(3);
    EXPECT_TRUE(visible(3));
    EXPECT_TRUE(main->tabbar()->isHidden());

    gotoTab(7); // no such tab
    gotoTab(-1);
    EXPECT_EQ(main->currentTag(), 3);
    EXPECT_TRUE(visible(3));
}

TEST_F(MainViewTest, TouchesReachTheScreenThroughTheLabelAboveTheTabBar)
{
    launch();
    gotoTab(0);
    main->toggleTabBar();
    main->toggleTabBar(); // the label and the bar came to the front; the bar is hidden again
    Button* left = main->touchPadViewController()->leftButton();
    const QPoint inLabel = main->inputLabel()->mapTo(delegate->window(), main->inputLabel()->rect().center());
    const QPoint onButton(left->mapTo(delegate->window(), QPoint(20, 0)).x(), inLabel.y());
    ASSERT_TRUE(left->geometry().contains(left->parentWidget()->mapFrom(delegate->window(), onButton)));
    QTest::mousePress(delegate->window()->windowHandle(), Qt::LeftButton, {}, onButton);
    EXPECT_EQ(main->touchPadViewController()->buttonMask(), 1);
    QTest::mouseRelease(delegate->window()->windowHandle(), Qt::LeftButton, {}, onButton);
    EXPECT_EQ(main->touchPadViewController()->buttonMask(), 0);
}

TEST_F(MainViewTest, TheConnectionTabRemembersWhereTheUserCameFrom)
{
    launch();
    ComputersViewController* connection = main->computerViewController();
    connection->setPreviouseViewIndex(2);
    // One after the other: the tab chosen before the connection tab, and the
    // one cancel leads back to. At the start (no tab chosen) that is the
    // touch pad, the current tab though not made yet.
    const std::vector<std::pair<std::optional<int>, int>> steps = {{std::nullopt, 0}, {0, 0}, {1, 1}};
    for (const auto& [from, back] : steps) {
        if (from)
            gotoTab(*from);
        gotoTab(3);
        EXPECT_EQ(connection->getPreviouseViewIndex(), back) << "from tab " << from.value_or(-1);
    }

    connection->selectedCancel(nullptr);
    EXPECT_EQ(main->currentTag(), 1);
    EXPECT_TRUE(visible(1));
}

TEST_F(MainViewTest, TheKeyboardTurnsTheViewToLandscapeOnceAndBack)
{
    launch();
    QSignalSpy turns(&StatusBar::shared(), &StatusBar::orientationChanged);
    EXPECT_EQ(main->viewControllerAt(1), nullptr);

    gotoTab(1);
    ASSERT_NE(main->keyboardViewController(), nullptr);
    EXPECT_EQ(main->viewControllerAt(1), main->keyboardViewController());
    EXPECT_TRUE(visible(1));
    EXPECT_EQ(StatusBar::shared().orientation(), InterfaceOrientation::LandscapeRight);
    // On a desktop the window itself takes the landscape shape; nothing turns
    // it, and the window system is not told that its contents are turned (a
    // Wayland compositor would then turn them itself).
    EXPECT_EQ(delegate->window()->screenWindow(), delegate->window());
    EXPECT_EQ(delegate->window()->size(), QSize(480, 320));
    ASSERT_NE(delegate->window()->windowHandle(), nullptr);
    EXPECT_EQ(delegate->window()->windowHandle()->contentOrientation(), Qt::PrimaryOrientation);
    // The main view spans the status bar strip too, so that the keyboard can
    // show its preview there; the keyboard covers the whole window.
    EXPECT_EQ(main->view()->geometry(), QRect(0, 0, 480, 320));
    EXPECT_EQ(main->keyboardViewController()->view()->geometry(), QRect(0, 0, 480, 320));
    // Along the bottom edge, short of the keyboard's tab bar key (36 points wide).
    EXPECT_EQ(main->tabbar()->geometry(), QRect(0, 320 - 49, 480 - 36, 49));

    KeyboardViewController* keyboard = main->keyboardViewController();
    gotoTab(1);
    EXPECT_EQ(turns.count(), 1);
    EXPECT_EQ(main->keyboardViewController(), keyboard); // made once

    gotoTab(2);
    EXPECT_EQ(StatusBar::shared().orientation(), InterfaceOrientation::Portrait);
    EXPECT_EQ(delegate->window()->size(), QSize(320, 480));
    EXPECT_EQ(main->view()->geometry(), QRect(0, 20, 320, 460));
    EXPECT_FALSE(visible(1));
    gotoTab(1);
    EXPECT_EQ(turns.count(), 3);
    EXPECT_EQ(StatusBar::shared().orientation(), InterfaceOrientation::LandscapeRight);
    EXPECT_EQ(main->keyboardViewController(), keyboard);
}

// In landscape the tab bar lies on the keyboard's bottom row: the key that
// opened it must stay in reach, so that a second tap puts it away again.
TEST_F(MainViewTest, OverTheKeyboardTheTabBarLeavesItsKeyUncoveredAndASecondTapClosesIt)
{
    launch();
    gotoTab(1);
    KeyboardViewController* keyboard = main->keyboardViewController();
    ASSERT_NE(keyboard, nullptr);
    Button* key = keyboard->button_ToggleTabBar;
    QWidget* window = delegate->window();
    FingerSimulator fingers;
    auto tapKey = [&] { fingers.tap(key, QRectF(key->rect()).center()); };

    tapKey();
    TabBar* bar = main->tabbar();
    ASSERT_FALSE(bar->isHidden());
    const QRect keyInWindow(key->mapTo(window, QPoint(0, 0)), key->size());
    const QRect barInWindow(bar->mapTo(window, QPoint(0, 0)), bar->size());
    EXPECT_FALSE(barInWindow.intersects(keyInWindow));
    EXPECT_EQ(barInWindow.bottom(), window->height() - 1);
    EXPECT_EQ(window->childAt(keyInWindow.center()), key); // the finger lands on the key
    tapKey();
    EXPECT_TRUE(bar->isHidden());

    // On the portrait screens the bar spans the width again.
    tapKey();
    bar->tapItem(main->tabbarItemTouchPad());
    ASSERT_EQ(main->currentTag(), 0);
    main->toggleTabBar();
    EXPECT_EQ(bar->geometry(), QRect(0, 460 - 49, 320, 49));
}

TEST_F(MainViewTest, ToggleTabBarFadesTheBarInAndHidesItAtOnce)
{
    launch();
    gotoTab(0);
    ASSERT_TRUE(main->tabbar()->isHidden());
    ViewAnimation::setAnimationsEnabled(true);

    NotificationCenter::defaultCenter().postNotification("Toggle TabBar");
    TabBar* bar = main->tabbar();
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(ViewAnimation::alpha(bar), 0.0);
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(bar->graphicsEffect());
    ASSERT_NE(effect, nullptr);
    const auto fades = effect->findChildren<QPropertyAnimation*>();
    ASSERT_EQ(fades.size(), 1);
    EXPECT_EQ(fades[0]->duration(), 300);
    EXPECT_EQ(fades[0]->endValue().toDouble(), 1.0);
    // The bar and the label come to the front of the main view.
    const QObjectList& children = main->view()->children();
    EXPECT_EQ(children.last(), bar);
    EXPECT_EQ(children.at(children.size() - 2), main->inputLabel());

    ViewAnimation::finishAll();
    EXPECT_EQ(ViewAnimation::alpha(bar), 1.0);

    NotificationCenter::defaultCenter().postNotification("Toggle TabBar");
    EXPECT_TRUE(bar->isHidden());
}

TEST_F(MainViewTest, SettingsOpensTheSoundSwitchWhichIsStoredForTheNextStart)
{
    launch();
    UserDefaults::standardUserDefaults().setBool(false, "enabled_soundeffect");
    NotificationCenter::defaultCenter().postNotification("Settings");
    SettingsSheet* sheet = main->settingsSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(sheet->soundSwitch()->isOn());

    FingerSimulator fingers;
    fingers.tap(sheet->soundSwitch(), {25, 15});
    EXPECT_TRUE(sheet->soundSwitch()->isOn());
    UserDefaults::resetStandardUserDefaults(); // read back from the file
    EXPECT_TRUE(UserDefaults::standardUserDefaults().boolForKey("enabled_soundeffect"));
    EXPECT_TRUE(sheet->findChild<QLabel*>("settingsFootnote")->text().contains("next time"));

    fingers.tap(sheet->doneButton(), {100, 20});
    EXPECT_FALSE(sheet->isVisible());
}

// Whoever answers at the computer's address gets one guess at the passcode
// per action of the user: after a refusal, connecting at start and
// reconnecting send nothing until a login from the login screen succeeds.
TEST_F(MainViewTest, AfterARefusedPasscodeOnlyTheLoginScreenSendsItAgain)
{
    ReceiverScript desk;
    desk.name = "Desk";
    ReceiverDouble receiver(desk);
    const auto computer = Computer::initWithInfo("Desk", "Linux");
    computer->setIp("127.0.0.1");
    computer->setPort(receiver.port());
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(true, "ConnectAtStart");
    defaults.setObject(QVariantMap{{"Desk", "right"}}, "Passwords");
    defaults.setObject(computer->encodeWithDictionary(), "LastComputer");
    auto start = [&](const std::string& passcodeThere) {
        receiver.setPasscode(passcodeThere);
        delegate.reset();
        remote_disconnect(); // the app ends, and with it its session
        Alert::dismissAll();
        launch();
        env.advance(0.1);
        return receiver.connections();
    };
    auto logInFromTheLoginScreen = [&] {
        LoginViewController login;
        login.setComputer(computer);
        login.view();
        login.viewWillAppear(false);
        login.selectedConnect(nullptr);
        return receiver.connections();
    };
    auto reconnect = [&] {
        Alert::dismissAll();
        remote_disconnect();
        RemoteProtocolUtils::checkConnection();
        Alert::dismissCurrentWithButtonIndex(1);
        return receiver.connections();
    };
    auto alert = [] { return Alert::current().value_or(AlertRecord()); };

    EXPECT_EQ(start("right"), 1);
    EXPECT_FALSE(visible(MainViewController::kConnectionTab)); // the touch pad
    EXPECT_TRUE(StatusBar::shared().isSessionSecure());
    EXPECT_EQ(start("an impostor's guess"), 2);
    EXPECT_EQ(alert().message, "Invalid Password.");
    EXPECT_EQ(start("an impostor's guess"), 2);
    EXPECT_EQ(Alert::current(), std::nullopt);
    EXPECT_TRUE(visible(MainViewController::kConnectionTab));

    EXPECT_EQ(logInFromTheLoginScreen(), 3); // the user's own try
    receiver.setPasscode("right");
    EXPECT_EQ(logInFromTheLoginScreen(), 4);
    receiver.setPasscode("an impostor's guess");
    EXPECT_EQ(reconnect(), 5);
    EXPECT_EQ(alert().message, "Invalid Password.");
    EXPECT_EQ(reconnect(), 5);
    EXPECT_EQ(alert().otherButtonTitles, QStringList{ComputerSession::kComputersButtonTitle});
    EXPECT_EQ(start("an impostor's guess"), 5);
    remote_disconnect();
}

} // namespace
