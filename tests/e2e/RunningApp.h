// SPDX-License-Identifier: GPL-3.0-or-later
// The quillon app as it starts for a person: the real start-up
// (TarvelAppDelegate and its main view with the real forms) in its window,
// with the default discovery endpoint (broadcast to 255.255.255.255:25736,
// which the private network keeps on lo), the real sound service and the
// real reachability check. Time on the main run loop is virtual (timers fire
// when the test advances the clock); sockets and the receiver are real.
//
// The helpers act as a finger does: a tap lands on whatever widget of the
// window is under the point, so an alert in front takes it.
#pragma once

#include "ComputerListViewController.h"
#include "MainViewController.h"
#include "TarvelAppDelegate.h"

#include "support/platform/FingerSimulator.h"
#include "support/platform/ManualClock.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

class RunningApp {
public:
    // Points the settings store at a file in a directory that does not exist
    // yet (the app starts as on its first day) and installs the clock.
    RunningApp();
    // Quits the app and closes its session, if any.
    ~RunningApp();
    RunningApp(const RunningApp&) = delete;
    RunningApp& operator=(const RunningApp&) = delete;

    QString settingsFile() const;
    QString settingsDirectory() const;
    // Writes the settings file before launch (as a previous run would have).
    void writeSettings(const QByteArray& contents) const;

    // applicationDidFinishLaunching, as the main loop's first turn calls it;
    // `fillsScreen` as on a phone, each point drawn as `scale` pixels.
    void launch(bool fillsScreen = false, double scale = 1.0);
    // The app quits (its delegate goes) and is started again on the same
    // settings file, as a person does the next day.
    void relaunch();
    MainViewController* main() const { return delegate_->mainViewController(); }
    QWidget* window() const;
    ComputerListViewController* computerList() const;

    void advance(double seconds) { clock_.advance(seconds); }
    // Lets a second tap count as a new one rather than a double tap.
    void pause() { advance(1.0); }

    // Finger actions on a widget of the app's window (position in its coordinates).
    void tap(QWidget* widget);
    void tapAt(QWidget* widget, const QPointF& position);
    platform::FingerSimulator& fingers() { return fingers_; }

    // The alert in front, as "title|message", or nothing.
    std::optional<QString> alertOnScreen() const;
    // Taps the front alert's button; false when there is no alert.
    bool tapAlertButton();

    // Runs discovery (polls and queries on virtual time, replies on real
    // sockets) until the computer called `name` is listed under "Discovered
    // Computers"; false when it does not come within a few seconds.
    bool waitUntilDiscovered(const QString& name);
    QStringList discoveredRows() const;
    QStringList registeredRows() const;
    // Taps the discovered computer's row.
    void tapDiscovered(const QString& name);
    // On the login screen: taps the passcode field, clears it, types
    // `passcode` key by key and taps the connect button.
    void logIn(const QString& passcode);

    // With QUILLON_SCREENSHOT_DIR set, the window as drawn now is saved there
    // as `name`.png (for the user's guide); otherwise nothing happens.
    void snapshot(const QString& name) const;

    // The tab bar: shows it from the current screen's own button and taps an item.
    void tapTabBarItem(QAction* item);

private:
    QStringList rowsOfSection(int section) const;

    QTemporaryDir dir_;
    QByteArray savedSettingsVariable_;
    bool hadSettingsVariable_ = false;
    platform::ScopedManualClock clock_;
    platform::FingerSimulator fingers_;
    std::unique_ptr<TarvelAppDelegate> delegate_;
};
