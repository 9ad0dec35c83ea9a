// SPDX-License-Identifier: GPL-3.0-or-later
#include "TarvelAppDelegate.h"

#include "ComputerSession.h"
#include "LoginViewController.h"
#include "MainViewController.h"
#include "NotificationNames.h"
#include "PhoneWindow.h"
#include "Reachability.h"
#include "RemoteProtocol.h"
#include "SessionWatch.h"
#include "SoundServer.h"

#include "platform/Alert.h"
#include "platform/NotificationCenter.h"
#include "platform/StatusBar.h"
#include "platform/Timer.h"

TarvelAppDelegate::TarvelAppDelegate(bool fillsScreen, double scale, QObject* parent)
    : QObject(parent), window_(new PhoneWindow), mainViewController_(new MainViewController(this))
{
    window_->setPlacement(fillsScreen, scale);
    // The run loop notices a receiver that closed the session, so that no
    // event sent needs to look for it.
    SessionWatch::install();
    // The phone launches with its status bar hidden; start-up shows it.
    platform::StatusBar::shared().setHidden(true, false);
    // The status bar names the computer while a session is open.
    platform::StatusBar::shared().setConnectionName(QString());
    platform::StatusBar::shared().setSessionSecure(false);
    platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter();
    center.addObserver(this, notification::kSessionOpened, [](const platform::Notification& opened) {
        const QString* name = opened.objectAs<QString>();
        platform::StatusBar::shared().setConnectionName(name ? *name : QString());
        // The lock: no one else on the network can read or join this session.
        platform::StatusBar::shared().setSessionSecure(remote_is_secure() != 0);
    });
    center.addObserver(this, notification::kSessionEnded, [](const platform::Notification&) {
        platform::StatusBar::shared().setConnectionName(QString());
        platform::StatusBar::shared().setSessionSecure(false);
    });
}

TarvelAppDelegate::~TarvelAppDelegate()
{
    if (connectAtStartTimer_)
        connectAtStartTimer_->invalidate();
    uninitlizie_sound_server();
    SessionWatch::uninstall();
    delete mainViewController_; // before its view's window goes
    delete window_;
}

void TarvelAppDelegate::applicationDidFinishLaunching()
{
    QWidget* mainView = mainViewController_->view();
    mainView->setParent(window_);
    mainView->show();
    window_->makeKeyAndVisible();

    remote_initialize();
    ComputerSession::forgetLogin();
    initialize_sound_server();
    platform::StatusBar::shared().setHidden(false, false);
    // Below the status bar: 320 x 460 points, or down to the bottom of a
    // taller phone screen.
    mainView->setGeometry(window_->contentFrame());

    if (Reachability::sharedReachability()->localWiFiConnectionStatus() != Reachability::ReachableViaWiFiNetwork) {
        platform::Alert::show(QStringLiteral("Warning"),
                              QStringLiteral("You must turn on Wi-Fi network to use this application. "),
                              QStringLiteral("OK"));
    }

    // Once the start-up has returned, so that the window is up while the
    // connect holds the screen.
    if (ComputerSession::connectsAtStart())
        connectAtStartTimer_ = platform::Timer::scheduledTimer(0.0, false, [this] { connectAtStart(); });
}

void TarvelAppDelegate::connectAtStart()
{
    const std::shared_ptr<Computer> computer = ComputerSession::lastComputer();
    if (!computer || !computer->computerName())
        return;
    const std::optional<QString> passcode = LoginViewController::savedPassword(*computer->computerName());
    if (!passcode)
        return;
    // Not tried when its passcode was refused: the list stays, for the user's own login.
    ComputerSession::logIn(*computer, *passcode, ComputerSession::Origin::ConnectAtStart, [] {
        platform::NotificationCenter::defaultCenter().postNotification(notification::kGotoTabBar,
                                                                       MainViewController::kTouchPadTab);
    });
}
