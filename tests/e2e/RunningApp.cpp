// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/RunningApp.h"

#include "ComputersViewController.h"
#include "KeyboardViewController.h"
#include "LoginViewController.h"
#include "PhoneWindow.h"
#include "RemoteViewController.h"
#include "TouchPadViewController.h"

#include "support/SessionRecorder.h"

#include "platform/Alert.h"
#include "platform/AlertSheet.h"
#include "platform/Button.h"
#include "platform/NavigationBar.h"
#include "platform/NavigationController.h"
#include "platform/StatusBar.h"
#include "platform/TabBar.h"
#include "platform/TableView.h"
#include "platform/TableViewCell.h"
#include "platform/TouchTracker.h"
#include "platform/UserDefaults.h"
#include "platform/ViewAnimation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <poll.h>

using namespace platform;

namespace {

constexpr int kRegisteredSection = 0;
constexpr int kDiscoveredSection = 1;

QPointF middle(const QWidget* widget) { return QRectF(widget->rect()).center(); }

// True when a datagram waits on `fd` within `milliseconds` (a failure guard).
bool readableWithin(int fd, int milliseconds)
{
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, milliseconds) == 1;
}

} // namespace

RunningApp::RunningApp()
{
    hadSettingsVariable_ = qEnvironmentVariableIsSet("QUILLON_SETTINGS");
    savedSettingsVariable_ = qgetenv("QUILLON_SETTINGS");
    qputenv("QUILLON_SETTINGS", settingsFile().toLocal8Bit());
    UserDefaults::resetStandardUserDefaults();
    Alert::dismissAll();
    Alert::clearHistory();
    // Animations land at once: virtual time does not drive Qt's own animations.
    ViewAnimation::setAnimationsEnabled(false);
    TouchTracker::instance().forgetTaps();
}

RunningApp::~RunningApp()
{
    delegate_.reset();
    closeAppSession();
    Alert::dismissAll();
    Alert::clearHistory();
    ViewAnimation::setAnimationsEnabled(true);
    TouchTracker::instance().forgetTaps();
    StatusBar::shared().setHidden(false, false);
    StatusBar::shared().setOrientation(InterfaceOrientation::Portrait, false);
    if (hadSettingsVariable_)
        qputenv("QUILLON_SETTINGS", savedSettingsVariable_);
    else
        qunsetenv("QUILLON_SETTINGS");
    UserDefaults::resetStandardUserDefaults();
}

QString RunningApp::settingsFile() const
{
    // As on a first day, not even the directory exists yet.
    return dir_.filePath(QStringLiteral("config/quillon/settings.json"));
}

QString RunningApp::settingsDirectory() const
{
    return QFileInfo(settingsFile()).absolutePath();
}

void RunningApp::writeSettings(const QByteArray& contents) const
{
    QDir().mkpath(settingsDirectory());
    QFile file(settingsFile());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
    UserDefaults::resetStandardUserDefaults();
}

void RunningApp::launch(bool fillsScreen, double scale)
{
    delegate_ = std::make_unique<TarvelAppDelegate>(fillsScreen, scale);
    delegate_->applicationDidFinishLaunching();
    QCoreApplication::processEvents();
}

void RunningApp::relaunch()
{
    delegate_.reset();
    closeAppSession(); // the process ended, and with it the connection
    Alert::dismissAll();
    Alert::clearHistory();
    UserDefaults::resetStandardUserDefaults();
    TouchTracker::instance().forgetTaps();
    launch();
}

QWidget* RunningApp::window() const
{
    return delegate_->window();
}

ComputerListViewController* RunningApp::computerList() const
{
    return main()->computerViewController()->listViewController();
}

void RunningApp::tap(QWidget* widget)
{
    tapAt(widget, middle(widget));
}

void RunningApp::tapAt(QWidget* widget, const QPointF& position)
{
    fingers_.tap(widget, position);
    QCoreApplication::processEvents();
}

std::optional<QString> RunningApp::alertOnScreen() const
{
    const std::optional<AlertRecord> alert = Alert::current();
    if (!alert)
        return std::nullopt;
    return alert->title + "|" + alert->message;
}

bool RunningApp::tapAlertButton()
{
    auto* sheet = qobject_cast<AlertSheet*>(Alert::sheet());
    if (!sheet || !sheet->isVisible())
        return false;
    tap(sheet->button());
    return true;
}

QStringList RunningApp::rowsOfSection(int section) const
{
    TableView* table = computerList()->tableView();
    QStringList rows;
    for (int row = 0; row < table->numberOfRowsInSection(section); ++row)
        rows << table->cellForRowAtIndexPath({section, row})->text();
    return rows;
}

QStringList RunningApp::discoveredRows() const
{
    return rowsOfSection(kDiscoveredSection);
}

QStringList RunningApp::registeredRows() const
{
    return rowsOfSection(kRegisteredSection);
}

bool RunningApp::waitUntilDiscovered(const QString& name)
{
    // The run loop reads a reply as soon as it arrives; each virtual second
    // without the one awaited moves on towards the next query (every third).
    for (int second = 0; second < 30; ++second) {
        if (discoveredRows().contains(name))
            return true;
        if (readableWithin(computerList()->sockfd(), 200))
            QCoreApplication::processEvents();
        advance(1.0);
    }
    return discoveredRows().contains(name);
}

void RunningApp::tapDiscovered(const QString& name)
{
    const int row = int(discoveredRows().indexOf(name));
    if (row < 0)
        return;
    tap(computerList()->tableView()->cellForRowAtIndexPath({kDiscoveredSection, row}));
}

void RunningApp::logIn(const QString& passcode)
{
    NavigationController* navigation = main()->computerViewController()->naviController();
    auto* login = qobject_cast<LoginViewController*>(navigation->topViewController());
    if (!login)
        return;
    QLineEdit* field = login->passwordField();
    tap(field);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, passcode);
    pause();
    tap(navigation->navigationBar()->rightButton());
}

void RunningApp::snapshot(const QString& name) const
{
    const QString directory = qEnvironmentVariable("QUILLON_SCREENSHOT_DIR");
    if (!directory.isEmpty())
        window()->grab().save(QDir(directory).filePath(name + QStringLiteral(".png")));
}

void RunningApp::tapTabBarItem(QAction* item)
{
    TabBar* bar = main()->tabbar();
    if (bar->isHidden()) {
        Button* toggle = nullptr;
        switch (main()->currentTag()) {
        case MainViewController::kTouchPadTab:
            toggle = main()->touchPadViewController()->toggleTabBarButton();
            break;
        case MainViewController::kKeyboardTab:
            toggle = main()->keyboardViewController()->button_ToggleTabBar;
            break;
        case MainViewController::kRemoteTab:
            toggle = main()->remoteViewController()->buttonTabBar();
            break;
        default:
            break;
        }
        if (toggle)
            tap(toggle);
    }
    pause();
    tapAt(bar, QRectF(bar->rectForItem(item)).center());
    pause();
}
