// SPDX-License-Identifier: GPL-3.0-or-later
// The app as it looks, rendered offscreen: the first screen after start, the
// touch pad, the tab bar fading in, the landscape keyboard and the settings
// sheet. With QUILLON_SCREENSHOT_DIR set the pictures are written there as
// app-*.png (docs/screenshots holds the committed ones).
#include "Computer.h"
#include "KeyboardViewController.h"
#include "MainViewController.h"
#include "PhoneWindow.h"
#include "SettingsSheet.h"
#include "TarvelAppDelegate.h"

#include "platform/NetworkReachability.h"
#include "platform/NotificationCenter.h"
#include "platform/StatusBar.h"
#include "platform/StatusBarView.h"
#include "platform/TabBar.h"
#include "platform/TableView.h"
#include "platform/UserDefaults.h"
#include "platform/ViewAnimation.h"

#include "support/AppTestEnvironment.h"
#include "support/LoopbackDiscovery.h"

#include <QCoreApplication>
#include <QDir>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class AppScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NetworkReachability::setFlagsResolver([](std::uint32_t) {
            return std::optional<NetworkReachabilityFlags>(kNetworkReachabilityFlagsReachable
                                                           | kNetworkReachabilityFlagsIsDirect);
        });
        QVariantList registered;
        for (const char* name : {"Office PC", "Studio Workstation"}) {
            auto computer = Computer::initWithInfo(name, "Linux");
            computer->setIp(QString("192.0.2.10"));
            registered << computer->encodeWithDictionary();
        }
        UserDefaults::standardUserDefaults().setObject(registered, "RegisteredComputers");
        delegate = std::make_unique<TarvelAppDelegate>();
        delegate->applicationDidFinishLaunching();
        delegate->window()->statusBarView()->setClockText("9:41");
        main = delegate->mainViewController();
    }
    void TearDown() override
    {
        delegate.reset();
        NetworkReachability::setFlagsResolver({});
        StatusBar::shared().setOrientation(InterfaceOrientation::Portrait, false);
    }

    QImage shoot(const char* name)
    {
        QCoreApplication::processEvents();
        const QImage image = delegate->window()->grab().toImage();
        const QString dir = qEnvironmentVariable("QUILLON_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            image.save(QDir(dir).filePath(QStringLiteral("app-%1.png").arg(QLatin1String(name))));
        }
        return image;
    }
    // The colour in the middle of a widget of the main view, in the picture.
    QColor colourAt(const QImage& image, QWidget* widget, QPoint offset = {}) const
    {
        const QPoint at = widget->mapTo(delegate->window(), widget->rect().center() + offset);
        return image.pixelColor(at * image.devicePixelRatio());
    }

    AppTestEnvironment env;
    LoopbackDiscovery discovery;
    std::unique_ptr<TarvelAppDelegate> delegate;
    MainViewController* main = nullptr;
};

TEST_F(AppScreenshotTest, TheFirstScreenTheTouchPadAndTheTabBarFadingIn)
{
    const QImage start = shoot("start");
    EXPECT_EQ(start.size() / start.devicePixelRatio(), QSize(320, 480));
    const QColor barAtStart = colourAt(start, main->tabbar(), {0, -20});

    NotificationCenter::defaultCenter().postNotification("Goto TabBar", 0);
    const QImage pad = shoot("touchpad");
    EXPECT_NE(pad, start);
    EXPECT_EQ(colourAt(pad, main->tabbar(), {0, -20}), colourAt(pad, main->view(), {0, 200}))
        << "the tab bar is hidden after the switch";

    // Half-way through the fade the bar is neither the screen below nor itself.
    ViewAnimation::setAnimationsEnabled(true);
    NotificationCenter::defaultCenter().postNotification("Toggle TabBar");
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(main->tabbar()->graphicsEffect());
    ASSERT_NE(effect, nullptr);
    const auto fades = effect->findChildren<QPropertyAnimation*>();
    ASSERT_EQ(fades.size(), 1);
    fades[0]->pause();
    fades[0]->setCurrentTime(150);
    const QImage fading = shoot("tabbar-fade");
    const double alpha = ViewAnimation::alpha(main->tabbar());
    EXPECT_GT(alpha, 0.2);
    EXPECT_LT(alpha, 0.8);
    EXPECT_NE(fading, pad);
    ViewAnimation::finishAll();
    fades.isEmpty() ? void() : fades[0]->resume();
    ViewAnimation::finishAll();
    ViewAnimation::setAnimationsEnabled(false);
    const QImage shown = shoot("tabbar");
    EXPECT_EQ(colourAt(shown, main->tabbar(), {0, -20}), barAtStart);
}

TEST_F(AppScreenshotTest, TheKeyboardInLandscapeAndTheSettingsSheet)
{
    NotificationCenter::defaultCenter().postNotification("Goto TabBar", 1);
    const QImage keyboard = shoot("keyboard-landscape");
    EXPECT_EQ(keyboard.size() / keyboard.devicePixelRatio(), QSize(480, 320));

    // The tab bar over the bottom row of keys leaves the key that opened it.
    NotificationCenter::defaultCenter().postNotification("Toggle TabBar");
    const QImage withBar = shoot("keyboard-tabbar");
    QWidget* key = main->keyboardViewController()->button_ToggleTabBar;
    EXPECT_EQ(colourAt(withBar, key, {0, 20}), colourAt(keyboard, key, {0, 20}));
    QWidget* space = main->keyboardViewController()->button_SPACE;
    EXPECT_NE(colourAt(withBar, space, {0, 20}), colourAt(keyboard, space, {0, 20})); // under the bar
    NotificationCenter::defaultCenter().postNotification("Toggle TabBar");

    NotificationCenter::defaultCenter().postNotification("Goto TabBar", 2);
    NotificationCenter::defaultCenter().postNotification("Settings");
    const QImage settings = shoot("settings");
    EXPECT_EQ(settings.size() / settings.devicePixelRatio(), QSize(320, 480));
    // Its table scrolls down to the connection switch, the last row.
    SettingsSheet* sheet = main->settingsSheet();
    ASSERT_NE(sheet, nullptr);
    QScrollBar* scroll = sheet->tableView()->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    const QImage end = shoot("settings-end");
    QWidget* lastSwitch = sheet->connectAtStartSwitch();
    EXPECT_EQ(lastSwitch->visibleRegion().boundingRect(), lastSwitch->rect());
    EXPECT_NE(end, settings);
}

} // namespace
