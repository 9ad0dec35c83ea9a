// SPDX-License-Identifier: GPL-3.0-or-later
// TarvelAppDelegate: starts the app. It owns the window (the phone's screen)
// and the main view controller, and runs the start-up sequence once the
// application's main loop is ready.
#pragma once

#include <QObject>

#include <memory>

class MainViewController;
class PhoneWindow;
namespace platform {
class Timer;
}

class TarvelAppDelegate : public QObject {
    Q_OBJECT

public:
    // `fillsScreen`: the window takes the whole screen, as on a phone;
    // `scale`: the screen pixels each point is drawn as.
    explicit TarvelAppDelegate(bool fillsScreen = false, double scale = 1.0, QObject* parent = nullptr);
    // Stops the sound effects and lets the main view and the window go.
    ~TarvelAppDelegate() override;

    PhoneWindow* window() const { return window_; }
    MainViewController* mainViewController() const { return mainViewController_; }

    // The start-up sequence: the main view in the window (which loads the
    // connection screens and starts discovery; the others are made when
    // first chosen), no session, the sound effects, the status bar, the
    // main view's frame below it, then the Wi-Fi check, which warns once. With "Connect at Start" on, the first
    // turn of the run loop after it logs in to the last computer used.
    void applicationDidFinishLaunching();

    // Logs in to the computer used last with its saved passcode and shows
    // the touch pad; a failed login leaves the computer list on screen
    // under the login's alert. Without a last computer or a saved passcode
    // for it, or when its passcode was refused since the last login from
    // the login screen, the list stays as at every start.
    void connectAtStart();

private:
    PhoneWindow* window_;
    MainViewController* mainViewController_;
    std::shared_ptr<platform::Timer> connectAtStartTimer_;
};
