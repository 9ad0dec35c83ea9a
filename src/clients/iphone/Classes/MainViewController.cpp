// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainViewController.h"

#include "ComputersViewController.h"
#include "KeyboardViewController.h"
#include "NotificationNames.h"
#include "PhoneWindow.h"
#include "RemoteViewController.h"
#include "SettingsSheet.h"
#include "TouchPadViewController.h"
#include "ui_MainWindow.h"

#include "platform/Image.h"
#include "platform/NotificationCenter.h"
#include "platform/StatusBar.h"
#include "platform/TabBar.h"
#include "platform/Theme.h"
#include "platform/ViewAnimation.h"

#include <QEvent>
#include <QLabel>

#include <algorithm>

using platform::InterfaceOrientation;
using platform::Notification;
using platform::NotificationCenter;
using platform::StatusBar;
using platform::ViewAnimation;

MainViewController::MainViewController(QObject* parent)
    : platform::ViewController(QStringLiteral("MainWindow"), parent)
{
    currentTag_ = 0;
}

MainViewController::~MainViewController() = default;

void MainViewController::loadView()
{
    ui_ = std::make_unique<Ui::MainWindow>();
    loadViewFromForm(*ui_);
    // The tab icons are read here rather than by the form, whose icons Qt
    // reads by letting every image plugin look at them first.
    const std::pair<QAction*, const char*> icons[] = {{ui_->tabbarItemTouchPad, ":/app/tab-touchpad@2x.png"},
                                                      {ui_->tabbarItemKeyboard, ":/app/tab-keyboard@2x.png"},
                                                      {ui_->tabbarItemRemote, ":/app/tab-remote@2x.png"},
                                                      {ui_->tabbarItemConnection, ":/app/tab-computers@2x.png"}};
    for (const auto& [item, file] : icons)
        item->setIcon(QIcon(platform::readImageFile(QString::fromLatin1(file))));
    // Colours by palette rather than a style sheet: a style sheet here would
    // send every widget of every screen below it through the style sheet
    // engine, when it is made and each time it is drawn. The window's
    // palette already has the grouped background.
    view()->setAutoFillBackground(true);
    QPalette labelColours = ui_->inputLabel->palette();
    labelColours.setColor(QPalette::WindowText, platform::theme::label());
    ui_->inputLabel->setPalette(labelColours);
}

void MainViewController::viewDidLoad()
{
    platform::ViewController::viewDidLoad();

    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(this, notification::kSettings, [this](const Notification& n) { settings(n); });
    center.addObserver(this, notification::kToggleTabBar, [this](const Notification&) { toggleTabBar(); });
    center.addObserver(this, notification::kGotoTabBar, [this](const Notification& n) { gotoTabBar(n); });

    // Only the connection screens are made now: they are what the user sees
    // first, and loading them starts discovery and lets the computer list
    // observe the computers found and registered from the start. The other
    // screens are made the first time they are chosen.
    computerViewController_ = new ComputersViewController(this);
    computerViewController_->view();
    viewControllers_.fill(nullptr);
    viewControllers_[kConnectionTab] = computerViewController_;

    ui_->tabbar->setItems({ui_->tabbarItemTouchPad, ui_->tabbarItemKeyboard, ui_->tabbarItemRemote, ui_->tabbarItemConnection});
    for (QAction* item : ui_->tabbar->items())
        connect(item, &QAction::triggered, this, [this, item] { tabBarSelected(item); });
    ui_->tabbar->setSelectedItem(ui_->tabbarItemConnection); // what the user sees first

    // The connection screens, then the tab bar on top of them.
    QWidget* mainView = view();
    QWidget* connection = computerViewController_->view();
    connection->setParent(mainView);
    connection->move(0, 0);
    connection->show();
    // The label only shows text: touches pass through it to the screen below.
    ui_->inputLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui_->inputLabel->raise();
    ui_->tabbar->raise();
    mainView->installEventFilter(this);
    layOutScreens();
    layOutBars();
}

bool MainViewController::shouldAutorotateToInterfaceOrientation(InterfaceOrientation)
{
    return false; // the main view turns itself, for the keyboard only
}

void MainViewController::selectTabView(int index)
{
    if (index < 0 || index >= kTabCount)
        return; // not a tab: a stray number must not reach the screens table
    if (index != currentTag_) {
        if (currentTag_ == kKeyboardTab) {
            StatusBar::shared().setOrientation(InterfaceOrientation::Portrait, true);
            turnToLandscape(false);
        } else if (index == kKeyboardTab) {
            StatusBar::shared().setOrientation(InterfaceOrientation::LandscapeRight, true);
            turnToLandscape(true);
        }
    }
    const int previousTag = currentTag_;
    currentTag_ = index;

    for (int i = 0; i < kTabCount; ++i) {
        if (i == index) {
            if (!viewControllers_[i])
                makeScreen(i);
            platform::ViewController* screen = viewControllers_[i];
            screen->viewWillAppear(false);
            screen->view()->show();
            screen->viewDidAppear(false);
        } else if (viewControllers_[i] && !viewControllers_[i]->view()->isHidden()) {
            platform::ViewController* screen = viewControllers_[i];
            screen->viewWillDisappear(false);
            screen->view()->hide();
            screen->viewDidDisappear(false);
        }
    }
    // Cancel on the connection screens returns to the screen the user came
    // from: the current tab, even at start-up, when the computer list shows
    // over a touch pad not made yet.
    if (index == kConnectionTab && previousTag != kConnectionTab)
        computerViewController_->setPreviouseViewIndex(previousTag);
    for (QAction* item : ui_->tabbar->items())
        if (platform::TabBar::tagOf(item) == index)
            ui_->tabbar->setSelectedItem(item);
    ui_->tabbar->hide();
    layOutBars();
}

void MainViewController::makeScreen(int index)
{
    QWidget* mainView = view();
    if (index == kKeyboardTab) {
        auto* keyboard = new KeyboardViewController(this);
        viewControllers_[index] = keyboard;
        QWidget* screen = keyboard->view();
        screen->setParent(mainView);
        screen->raise();
        layOutScreens();
        placeKeyboard();
        return;
    }
    if (index == kTouchPadTab)
        viewControllers_[index] = touchPadViewController_ = new TouchPadViewController(this);
    else if (index == kRemoteTab)
        viewControllers_[index] = remoteViewController_ = new RemoteViewController(this);
    else
        return;
    // Where it would have lain had it been made at start-up: the touch pad
    // under the remote panel, both under the connection screens, below the
    // keyboard and the bars. It comes hidden (a new parent hides a widget);
    // the switch shows it.
    QWidget* screen = viewControllers_[index]->view();
    screen->setParent(mainView);
    screen->move(0, 0);
    const bool underRemote = index == kTouchPadTab && remoteViewController_;
    screen->stackUnder(underRemote ? remoteViewController_->view() : computerViewController_->view());
    layOutScreens();
}

void MainViewController::turnToLandscape(bool landscape)
{
    QWidget* mainView = view();
    const QSize size = landscape ? QSize(kLandscapeWidth, kLandscapeHeight) : QSize(kPortraitWidth, kPortraitHeight);
    mainView->resize(size);
    if (PhoneWindow* window = phoneWindow()) {
        window->setLandscape(landscape);
        ViewAnimation(kRotationDuration).setFrame(mainView, frameIn(*window)).commit();
    }
    placeKeyboard();
}

PhoneWindow* MainViewController::phoneWindow()
{
    auto* window = qobject_cast<PhoneWindow*>(view()->window());
    return window != view() ? window : nullptr;
}

QRect MainViewController::frameIn(const PhoneWindow& window)
{
    // The keyboard reaches up under the status bar strip, where its preview
    // replaces the bar. A widget cannot draw outside its parent, so in
    // landscape the main view spans the strip too.
    return window.isLandscape() ? window.screenFrame() : window.contentFrame();
}

void MainViewController::placeKeyboard()
{
    platform::ViewController* keyboard = viewControllers_[kKeyboardTab];
    if (!keyboard)
        return;
    // The keyboard's view is laid out to start 20 points above the main view
    // (over the strip); where the main view already covers the strip, it
    // starts at its top.
    const PhoneWindow* window = phoneWindow();
    const bool coversStrip = window && window->isLandscape();
    keyboard->view()->move(0, coversStrip ? 0 : -StatusBar::kHeight);
}

void MainViewController::layOutScreens()
{
    QWidget* mainView = view();
    // The upright screens keep the design's width and grow into a taller
    // phone's height (a shorter main view, a phone turned by the system,
    // leaves them as designed, cut off at the bottom). The keyboard spans
    // the whole long side.
    const QSize upright(kPortraitWidth, std::max(int(kPortraitHeight), mainView->height()));
    for (int index : {kTouchPadTab, kRemoteTab, kConnectionTab})
        if (viewControllers_[index])
            viewControllers_[index]->view()->resize(upright);
    if (platform::ViewController* keyboard = viewControllers_[kKeyboardTab])
        keyboard->view()->resize(std::max(int(kLandscapeWidth), mainView->width()), keyboard->view()->height());
}

void MainViewController::tabBarSelected(QAction* item)
{
    selectTabView(platform::TabBar::tagOf(item));
}

void MainViewController::gotoTabBar(const Notification& notification)
{
    if (const std::optional<long long> index = notification.integerObject())
        if (*index >= 0 && *index < kTabCount)
            selectTabView(int(*index));
}

void MainViewController::toggleTabBar()
{
    platform::TabBar* bar = ui_->tabbar;
    if (!bar->isHidden()) {
        bar->hide();
        return;
    }
    layOutBars();
    ui_->inputLabel->raise();
    bar->raise();
    ViewAnimation::applyAlpha(bar, 0);
    bar->show();
    ViewAnimation(kTabBarFadeDuration).setAlpha(bar, 1).commit();
}

void MainViewController::settings(const Notification&)
{
    // Over the screens and their tab bar, below the status bar.
    if (!settingsSheet_)
        settingsSheet_ = new SettingsSheet(view());
    settingsSheet_->present();
}

void MainViewController::layOutBars()
{
    QWidget* mainView = view();
    const int barHeight = ui_->tabbar->sizeHint().height();
    // Over the landscape keyboard the bar lies on the bottom row of keys; it
    // stops short of the tab bar key that opened it, so that a second tap on
    // that key puts it away again.
    int barWidth = mainView->width();
    if (const QWidget* key = keyboardTabBarKey())
        barWidth = qBound(0, key->mapTo(mainView, QPoint(0, 0)).x(), barWidth);
    ui_->tabbar->setGeometry(0, mainView->height() - barHeight, barWidth, barHeight);
    ui_->inputLabel->setGeometry(0, mainView->height() - barHeight - ui_->inputLabel->height(), mainView->width(),
                                ui_->inputLabel->height());
}

const QWidget* MainViewController::keyboardTabBarKey() const
{
    KeyboardViewController* keyboard = keyboardViewController();
    if (currentTag_ != kKeyboardTab || !keyboard || !keyboard->isViewLoaded())
        return nullptr;
    return keyboard->button_ToggleTabBar;
}

bool MainViewController::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Resize || type == QEvent::ParentChange) && isViewLoaded()) {
        PhoneWindow* window = phoneWindow();
        if (watched == view() && type == QEvent::Resize) {
            layOutScreens();
            layOutBars(); // the tab bar stays along the bottom edge in either orientation
        } else if (watched == view() && window) {
            window->installEventFilter(this);
        } else if (watched == window && type == QEvent::Resize && window->fillsScreen()) {
            // A window that fills the screen changes its size with the screen
            // (a phone turned with automatic rotation on, or a compositor that
            // sizes it late): the main view keeps its place in it.
            view()->setGeometry(frameIn(*window));
        }
    }
    return platform::ViewController::eventFilter(watched, event);
}

platform::ViewController* MainViewController::viewControllerAt(int index) const
{
    return index >= 0 && index < kTabCount ? viewControllers_[index].data() : nullptr;
}

KeyboardViewController* MainViewController::keyboardViewController() const
{
    return qobject_cast<KeyboardViewController*>(viewControllers_[kKeyboardTab].data());
}

platform::TabBar* MainViewController::tabbar() const { return ui_ ? ui_->tabbar : nullptr; }
QLabel* MainViewController::inputLabel() const { return ui_ ? ui_->inputLabel : nullptr; }
QAction* MainViewController::tabbarItemTouchPad() const { return ui_ ? ui_->tabbarItemTouchPad : nullptr; }
QAction* MainViewController::tabbarItemKeyboard() const { return ui_ ? ui_->tabbarItemKeyboard : nullptr; }
QAction* MainViewController::tabbarItemRemote() const { return ui_ ? ui_->tabbarItemRemote : nullptr; }
QAction* MainViewController::tabbarItemConnection() const { return ui_ ? ui_->tabbarItemConnection : nullptr; }
TouchPadViewController* MainViewController::touchPadViewController() const { return touchPadViewController_; }
RemoteViewController* MainViewController::remoteViewController() const { return remoteViewController_; }
ComputersViewController* MainViewController::computerViewController() const { return computerViewController_; }
SettingsSheet* MainViewController::settingsSheet() const { return settingsSheet_; }
