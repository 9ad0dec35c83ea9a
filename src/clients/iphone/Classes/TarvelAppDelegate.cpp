#include "TarvelAppDelegate.h"

#include "MainViewController.h"
#include "PhoneWindow.h"
#include "Reachability.h"
#include "RemoteProtocol.h"
#include "SoundServer.h"

#include "platform/Alert.h"
#include "platform/StatusBar.h"

TarvelAppDelegate::TarvelAppDelegate(bool fillsScreen, QObject* parent)
    : QObject(parent), window_(new PhoneWindow), mainViewController_(new MainViewController(this))
{
    window_->setFillsScreen(fillsScreen);
    // The phone launches with its status bar hidden; start-up shows it.
    platform::StatusBar::shared().setHidden(true, false);
}

TarvelAppDelegate::~TarvelAppDelegate()
{
    uninitlizie_sound_server();
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
}
