// SPDX-License-Identifier: GPL-3.0-or-later
// MainViewController: the app's one root view. It holds the four screens
// (touch pad, keyboard, remote panel, connection screens) behind a tab bar,
// shows one at a time, turns to landscape while the keyboard is shown, and
// hides or fades in the tab bar. Screens reach it only through the
// notifications "Goto TabBar", "Toggle TabBar" and "Settings".
#pragma once

#include "platform/InterfaceOrientation.h"
#include "platform/PhoneLook.h"
#include "platform/ViewController.h"

#include <QPointer>
#include <array>
#include <memory>

class QAction;
class QLabel;
class ComputersViewController;
class KeyboardViewController;
class PhoneWindow;
class RemoteViewController;
class SettingsSheet;
class TouchPadViewController;

namespace Ui {
class MainWindow;
}
namespace platform {
class Notification;
class TabBar;
} // namespace platform

class MainViewController : public platform::ViewController {
    Q_OBJECT

public:
    static constexpr int kTouchPadTab = 0;
    static constexpr int kKeyboardTab = 1;
    static constexpr int kRemoteTab = 2;
    static constexpr int kConnectionTab = 3;
    static constexpr int kTabCount = 4;
    // The main view below the status bar, upright and turned for the keyboard.
    static constexpr int kPortraitWidth = platform::phone::kScreenWidth;
    static constexpr int kPortraitHeight = platform::phone::kContentHeight;
    static constexpr int kLandscapeWidth = platform::phone::kScreenHeight;
    static constexpr int kLandscapeHeight = platform::phone::kScreenWidth - platform::phone::kStatusBarHeight;
    static constexpr double kRotationDuration = 0.5;
    static constexpr double kTabBarFadeDuration = 0.3;

    explicit MainViewController(QObject* parent = nullptr);
    ~MainViewController() override;

    void loadView() override;
    void viewDidLoad() override;
    bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation orientation) override;

    void selectTabView(int index);
    void tabBarSelected(QAction* item);
    void gotoTabBar(const platform::Notification& notification);
    void toggleTabBar();
    // Opens the stand-in for the app's page in the phone's settings.
    void settings(const platform::Notification& notification);

    int currentTag() const { return currentTag_; }
    // The screen of a tab index; null before it is first chosen (the
    // connection screens are there from the start).
    platform::ViewController* viewControllerAt(int index) const;
    TouchPadViewController* touchPadViewController() const;
    RemoteViewController* remoteViewController() const;
    ComputersViewController* computerViewController() const;
    KeyboardViewController* keyboardViewController() const;

    platform::TabBar* tabbar() const;
    QLabel* inputLabel() const;
    QAction* tabbarItemTouchPad() const;
    QAction* tabbarItemKeyboard() const;
    QAction* tabbarItemRemote() const;
    QAction* tabbarItemConnection() const;
    SettingsSheet* settingsSheet() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Makes the screen of a tab, the first time it is chosen.
    void makeScreen(int index);
    void turnToLandscape(bool landscape);
    void placeKeyboard();
    // The screens' sizes in the main view's present size.
    void layOutScreens();
    // The phone's window the main view lies in, once it does.
    PhoneWindow* phoneWindow();
    // Where the main view lies in it, in its present orientation.
    static QRect frameIn(const PhoneWindow& window);
    void layOutBars();
    // The keyboard's tab bar key while the keyboard is the current screen.
    const QWidget* keyboardTabBarKey() const;

    std::unique_ptr<Ui::MainWindow> ui_;
    int currentTag_ = 0;
    std::array<QPointer<platform::ViewController>, kTabCount> viewControllers_;
    QPointer<RemoteViewController> remoteViewController_;
    QPointer<TouchPadViewController> touchPadViewController_;
    QPointer<ComputersViewController> computerViewController_;
    QPointer<SettingsSheet> settingsSheet_;
};
