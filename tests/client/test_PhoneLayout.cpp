// SPDX-License-Identifier: GPL-3.0-or-later
// The app on phone screens of two shapes, 360 x 720 and 1080 x 2340 pixels,
// as the program shows it there: full screen, the design as wide as the
// screen, drawn at its scale by the host. Each screen grows into the
// height: the touch pad and its wheel strip stretch down to the buttons,
// which end at the screen's bottom; the remote panel's pads take the extra
// height; the turned keyboard spans the long side. A finger on the pad still
// moves the pointer one point per point, and the wheel keeps its step. With
// QUILLON_SCREENSHOT_DIR set, the screens are saved as phone-WxH-*.png,
// connected to "Den" and with a battery from a stand-in UPower.
#include "ComputersViewController.h"
#include "KeyboardViewController.h"
#include "MainViewController.h"
#include "PhoneWindow.h"
#include "PhoneWindowHost.h"
#include "RemoteViewController.h"
#include "TarvelAppDelegate.h"
#include "TouchPadViewController.h"
#include "TouchPadView.h"
#include "WindowScale.h"

#include "platform/Button.h"
#include "platform/NavigationController.h"
#include "platform/NetworkReachability.h"
#include "platform/NotificationCenter.h"
#include "platform/StatusBar.h"
#include "platform/StatusBarView.h"

#include "support/platform/StandInUPower.h"

#include "support/AppTestEnvironment.h"
#include "support/GenerousWait.h"
#include "support/LoopbackDiscovery.h"
#include "support/PrivateSessionBus.h"
#include "support/ScopedEnvironment.h"
#include "support/SessionRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

using namespace platform;

namespace {

constexpr int kSlack = 8; // points between neighbours that should meet

std::string nameOf(const ::testing::TestParamInfo<QSize>& info)
{
    return std::to_string(info.param.width()) + "x" + std::to_string(info.param.height());
}

class PhoneLayout : public ::testing::TestWithParam<QSize> {
protected:
    void SetUp() override
    {
        NetworkReachability::setFlagsResolver([](std::uint32_t) {
            return std::optional(kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsIsDirect);
        });
        std::string noBus;
        QString noUPower;
        if (!qEnvironmentVariableIsEmpty("QUILLON_SCREENSHOT_DIR") && (bus = PrivateSessionBus::start(noBus))) {
            environment.set(Battery::kBusVariable, bus->address()); // the pictures show a battery
            upower = StandInUPower::start(QString::fromStdString(bus->address()), 80, noUPower);
        }
        pixels = GetParam();
        scale = WindowScale::fillingFactor(WindowScale::kPhonePoints, pixels);
        delegate = std::make_unique<TarvelAppDelegate>(true, scale);
        delegate->applicationDidFinishLaunching();
        delegate->window()->statusBarView()->setClockText("9:41");
        host = delegate->window()->host();
        ASSERT_NE(host, nullptr);
        host->showNormal();
        host->resize(pixels);
        main = delegate->mainViewController();
        recorder = std::make_unique<SessionRecorder>();
        ASSERT_TRUE(recorder->connected());
        touchScreen = QTest::createTouchDevice();
    }
    void TearDown() override
    {
        recorder.reset();
        delegate.reset();
        upower.reset();
        NetworkReachability::setFlagsResolver({});
        StatusBar::shared().setConnectionName(QString());
        StatusBar::shared().setOrientation(InterfaceOrientation::Portrait, false);
    }

    void show(int tab)
    {
        NotificationCenter::defaultCenter().postNotification("Goto TabBar", tab);
        QCoreApplication::processEvents();
    }
    // A widget's rectangle in the phone's window, in points.
    QRect inWindow(const QWidget* widget) const
    {
        return QRect(widget->mapTo(delegate->window(), QPoint(0, 0)), widget->size());
    }
    // Where a point of the window lies on the screen, in pixels, moved to a
    // grid of 8 points: 8 points are a whole number of pixels on both
    // screens, so every point of the grid is exact in both.
    QPoint onScreen(const QPointF& point) const
    {
        const QPointF onGrid(std::round(point.x() / 8) * 8, std::round(point.y() / 8) * 8);
        return host->mapFromPhone(onGrid).toPoint();
    }
    void shoot(const QString& what)
    {
        const QString dir = qEnvironmentVariable("QUILLON_SCREENSHOT_DIR");
        if (dir.isEmpty())
            return;
        StatusBar::shared().setConnectionName("Den");
        if (upower)
            (void)QTest::qWaitFor([this] { return delegate->window()->statusBarView()->battery().isPresent(); },
                            int(kGenerousWait.count()));
        QDir().mkpath(dir);
        const QString name = QStringLiteral("phone-%1x%2-%3.png").arg(pixels.width()).arg(pixels.height()).arg(what);
        host->grab().save(QDir(dir).filePath(name));
    }

    std::unique_ptr<PrivateSessionBus> bus;
    ScopedEnvironment environment;
    std::unique_ptr<StandInUPower> upower;
    AppTestEnvironment env;
    LoopbackDiscovery discovery;
    QSize pixels;
    double scale = 1;
    std::unique_ptr<TarvelAppDelegate> delegate;
    std::unique_ptr<SessionRecorder> recorder;
    MainViewController* main = nullptr;
    PhoneWindowHost* host = nullptr;
    QPointingDevice* touchScreen = nullptr;
};

TEST_P(PhoneLayout, EveryScreenGrowsIntoTheHeightAndTheTurnedKeyboardSpansTheLongSide)
{
    const QSize points = delegate->window()->size();
    ASSERT_EQ(points.width(), 320) << "the design is as wide as the screen";
    ASSERT_GE(points.height(), pixels.height() / scale - 1);

    // At start: the computer list, down to the bottom, the tab bar over its foot.
    EXPECT_EQ(inWindow(main->computerViewController()->naviController()->view()).bottom(), points.height() - 1);
    shoot("computers");

    show(MainViewController::kTouchPadTab);
    TouchPadViewController* pad = main->touchPadViewController();
    const QRect surface = inWindow(pad->touchPadView());
    const QRect wheel = inWindow(pad->wheelButton());
    const QRect left = inWindow(pad->leftButton());
    const QRect right = inWindow(pad->rightButton());
    const int padEnd = surface.y() + surface.height();
    EXPECT_LE(left.top() - padEnd, kSlack) << "no band between the pad and the buttons";
    EXPECT_GE(left.top(), padEnd);
    EXPECT_LE(points.height() - (left.y() + left.height()), kSlack) << "the buttons end at the screen's bottom";
    EXPECT_EQ(wheel.bottom(), surface.bottom()) << "the wheel strip as tall as the pad";
    EXPECT_EQ(left.size(), QSize(147, 88)) << "the buttons keep their size";
    EXPECT_EQ(right.bottom(), left.bottom());
    EXPECT_EQ(inWindow(pad->motionButton()).top(), 20 + 6) << "the top row stays at the top";
    shoot("touchpad");

    show(MainViewController::kRemoteTab);
    RemoteViewController* remote = main->remoteViewController();
    const QRect arrows = inWindow(remote->arrowPad());
    const QRect pages = inWindow(remote->pagePad());
    EXPECT_EQ(arrows.height(), 196 + points.height() - 480) << "the pads take the extra height";
    EXPECT_EQ(pages.height(), arrows.height());
    const QRect lastRow = inWindow(remote->buttonChannelDown());
    EXPECT_LE(points.height() - (lastRow.y() + lastRow.height()), kSlack);
    const QRect select = inWindow(remote->buttonSelect());
    EXPECT_LE(std::abs(select.center().y() - arrows.center().y()), 1) << "select stays in the pad's middle";
    shoot("remote");

    show(MainViewController::kKeyboardTab);
    KeyboardViewController* keyboard = main->keyboardViewController();
    ASSERT_TRUE(host->isTurned());
    const QSize turned = delegate->window()->size();
    EXPECT_EQ(turned, points.transposed());
    const QRect backSpace = inWindow(keyboard->button_BackSpace);
    EXPECT_LE(turned.width() - (backSpace.x() + backSpace.width()), kSlack)
        << "the keys reach the end of the long side";
    EXPECT_LE(inWindow(keyboard->button_ESC).left(), kSlack);
    shoot("keyboard-rotated");
}

TEST_P(PhoneLayout, AFingerMovesThePointerOnePointPerPointAndTheWheelStepsEveryTenPoints)
{
    show(MainViewController::kTouchPadTab);
    TouchPadViewController* pad = main->touchPadViewController();
    // 8 points of travel, however many pixels that is on this screen.
    const QPointF from = inWindow(pad->touchPadView()).center();
    QTest::touchEvent(host->viewport(), touchScreen).press(0, onScreen(from));
    QTest::touchEvent(host->viewport(), touchScreen).move(0, onScreen(from + QPointF(8, -8)));
    QTest::touchEvent(host->viewport(), touchScreen).release(0, onScreen(from + QPointF(8, -8)));
    EXPECT_EQ(recorder->takePackets(), (SentPackets{SentPacket::mouse(0, 8, -8)}));

    // Up the strip by 8 points (less than a step), to 16 (a step), to 24
    // (8 beyond the step): one step.
    const QPointF strip = inWindow(pad->wheelButton()).center();
    QTest::touchEvent(host->viewport(), touchScreen).press(0, onScreen(strip));
    for (int up : {8, 16, 24})
        QTest::touchEvent(host->viewport(), touchScreen).move(0, onScreen(strip - QPointF(0, up)));
    QTest::touchEvent(host->viewport(), touchScreen).release(0, onScreen(strip - QPointF(0, 24)));
    EXPECT_EQ(recorder->takePackets(), (SentPackets{SentPacket::mouse(8)}));
}

INSTANTIATE_TEST_SUITE_P(Phones, PhoneLayout,
                         ::testing::Values(QSize(360, 720), QSize(1080, 2340)), nameOf);

} // namespace
