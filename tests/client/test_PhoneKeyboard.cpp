// SPDX-License-Identifier: GPL-3.0-or-later
// The landscape keyboard on a phone held upright: the app fills a 360 x 720
// portrait screen (the offscreen platform is given one) at the scale it picks
// for it, and the keyboard screen is drawn turned a quarter so that it fills
// the screen the long way. Presses are made where a person sees the keys, on
// the screen, through the window system (mouse and touch screen), and the
// receiver double sees the keys. A screen turned by the system is followed.
#include "KeyboardViewController.h"
#include "MainViewController.h"
#include "PhoneWindow.h"
#include "PhoneWindowHost.h"
#include "TarvelAppDelegate.h"
#include "WindowScale.h"

#include "platform/Alert.h"
#include "platform/Control.h"
#include "platform/NetworkReachability.h"
#include "platform/NotificationCenter.h"
#include "platform/StatusBar.h"

#include "support/AppTestEnvironment.h"
#include "support/LoopbackDiscovery.h"
#include "support/SessionRecorder.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

using namespace platform;

namespace {

SentPacket d(uint32_t code) { return SentPacket::keyDown(code); }
SentPacket u(uint32_t code) { return SentPacket::keyUp(code); }

constexpr NetworkReachabilityFlags kOnWiFi = kNetworkReachabilityFlagsReachable | kNetworkReachabilityFlagsIsDirect;

class PhoneKeyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        ASSERT_EQ(screen->geometry().size() * screen->devicePixelRatio(), QSize(360, 720))
            << "the suite runs on a portrait phone screen (see its CMakeLists.txt)";
        NetworkReachability::setFlagsResolver([](std::uint32_t) { return std::optional(kOnWiFi); });
        const WindowScale::Placement placement = placementOnThePrimaryScreen();
        ASSERT_TRUE(placement.fillsScreen);
        scale = placement.factor;
        delegate = std::make_unique<TarvelAppDelegate>(true, scale);
        delegate->applicationDidFinishLaunching();
        // Logged in after the start-up, which begins with no session.
        recorder = std::make_unique<SessionRecorder>();
        ASSERT_TRUE(recorder->connected());
        main = delegate->mainViewController();
        window = delegate->window();
        host = window->host();
        ASSERT_NE(host, nullptr);
        touchScreen = QTest::createTouchDevice();
    }
    void TearDown() override
    {
        recorder.reset();
        delegate.reset();
        NetworkReachability::setFlagsResolver({});
        StatusBar::shared().setHidden(false, false);
        StatusBar::shared().setOrientation(InterfaceOrientation::Portrait, false);
    }

    void showKeyboard()
    {
        NotificationCenter::defaultCenter().postNotification("Goto TabBar", MainViewController::kKeyboardTab);
        ASSERT_NE(main->keyboardViewController(), nullptr);
    }
    KeyboardViewController* keyboard() const { return main->keyboardViewController(); }

    // Where a person sees the middle of `key` on the screen (host pixels),
    // worked out from the turn and the scale rather than asked of Qt's own
    // mapping: a window point (x, y) lies at (screen width - y, x), in
    // points of `scale` pixels.
    QPoint onScreen(QWidget* key) const
    {
        const QPointF inWindow = key->mapTo(window, QRectF(key->rect()).center());
        const double screenWidth = host->width() / scale;
        const QPointF inPoints = host->isTurned() ? QPointF(screenWidth - inWindow.y(), inWindow.x()) : inWindow;
        return (inPoints * scale).toPoint();
    }
    // Through the window system, as a real mouse click comes.
    void click(QWidget* key) { QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {}, onScreen(key)); }

    AppTestEnvironment env;
    LoopbackDiscovery discovery;
    std::unique_ptr<TarvelAppDelegate> delegate;
    std::unique_ptr<SessionRecorder> recorder;
    MainViewController* main = nullptr;
    PhoneWindow* window = nullptr;
    PhoneWindowHost* host = nullptr;
    double scale = 1.0;
    QPointingDevice* touchScreen = nullptr;
};

TEST_F(PhoneKeyboard, OnAnUprightScreenTheKeyboardIsTurnedToFillItAndBackAfterwards)
{
    // 360 pixels wide at the scale that makes the design 320 points wide.
    EXPECT_DOUBLE_EQ(host->scale(), 360.0 / 320.0);
    EXPECT_EQ(host->size(), QSize(360, 720));
    EXPECT_FALSE(host->isTurned());
    EXPECT_EQ(window->size(), QSize(320, 640));
    EXPECT_EQ(main->view()->geometry(), QRect(0, 20, 320, 620));

    showKeyboard();
    EXPECT_TRUE(host->isTurned());
    EXPECT_EQ(StatusBar::shared().orientation(), InterfaceOrientation::LandscapeRight);
    // The window is the screen laid on its side; the keyboard spans it,
    // the status bar strip along its top.
    EXPECT_EQ(window->size(), QSize(640, 320));
    EXPECT_EQ(main->view()->geometry(), QRect(0, 0, 640, 320));
    EXPECT_EQ(keyboard()->view()->geometry(), QRect(0, 0, 640, 320));
    // On the screen: the whole of it.
    const QPoint topLeft = host->mapFromGlobal(keyboard()->view()->mapToGlobal(QPoint(0, 0)));
    const QPoint bottomRight = host->mapFromGlobal(keyboard()->view()->mapToGlobal(QPoint(640, 320)));
    EXPECT_EQ(topLeft, QPoint(360, 0)) << "the keyboard's top runs down the screen's right edge";
    EXPECT_EQ(bottomRight, QPoint(0, 720));
    // What reaches the screen is drawn for it as it stands: the window system
    // must not turn it again.
    EXPECT_EQ(host->windowHandle()->contentOrientation(), Qt::PrimaryOrientation);
    // Qt's own mapping agrees, to the pixel its whole-pixel answer allows.
    const QPoint byQt = host->mapFromGlobal(keyboard()->button_A->mapToGlobal(keyboard()->button_A->rect().center()));
    EXPECT_LE((onScreen(keyboard()->button_A) - byQt).manhattanLength(), 2);

    NotificationCenter::defaultCenter().postNotification("Goto TabBar", MainViewController::kRemoteTab);
    EXPECT_FALSE(host->isTurned());
    EXPECT_EQ(window->size(), QSize(320, 640));
    EXPECT_EQ(main->view()->geometry(), QRect(0, 20, 320, 620));
}

TEST_F(PhoneKeyboard, AClickWhereAKeyIsSeenSendsThatKeyAndTwoQuickTapsCountAsADoubleTap)
{
    showKeyboard();
    ASSERT_TRUE(host->isTurned());
    KeyboardViewController* k = keyboard();

    click(k->button_A);
    EXPECT_EQ(recorder->takePackets(), (SentPackets{d(0x41), u(0x41)}));
    // Keys on every edge of the keyboard, so that a wrong turn cannot pass.
    for (auto [key, code] : {std::pair<QWidget*, uint32_t>{k->button_ESC, 0xFF1B}, {k->button_BackSpace, 0xFF08},
                             {k->button_LCTRL, 0xFFE3}, {k->button_Slash, 0x2F}, {k->button_SPACE, 0x20}}) {
        click(key);
        EXPECT_EQ(recorder->takePackets(), (SentPackets{d(code), u(code)})) << key->objectName().toStdString();
    }

    // Two quick taps of a finger through the turn: two strokes, and the
    // platform counts the second as the second tap (the distance between
    // them is measured on the screen, where the turn changes nothing).
    std::vector<int> tapCounts;
    QObject context;
    k->button_B->addTarget(&context, [&](Control* sender, Event* event) {
        tapCounts.push_back(event->touchesForView(sender).anyObject()->tapCount());
    }, ControlEventTouchDown);
    for (const QPoint& at : {onScreen(k->button_B), onScreen(k->button_B) + QPoint(3, 0)}) {
        QTest::touchEvent(host->viewport(), touchScreen).press(0, at);
        QTest::touchEvent(host->viewport(), touchScreen).release(0, at);
    }
    EXPECT_EQ(recorder->takePackets(), (SentPackets{d(0x42), u(0x42), d(0x42), u(0x42)}));
    EXPECT_EQ(tapCounts, (std::vector<int>{1, 2}));
    EXPECT_TRUE(Alert::history().empty());
}

TEST_F(PhoneKeyboard, FingersOnTheTurnedKeyboardAreEachTheirOwnTouch)
{
    showKeyboard();
    KeyboardViewController* k = keyboard();
    // Hold ctrl with one finger, tap C with another, let go of ctrl.
    QTest::touchEvent(host->viewport(), touchScreen).press(0, onScreen(k->button_LCTRL));
    QTest::touchEvent(host->viewport(), touchScreen).stationary(0).press(1, onScreen(k->button_C));
    QTest::touchEvent(host->viewport(), touchScreen).stationary(0).release(1, onScreen(k->button_C));
    QTest::touchEvent(host->viewport(), touchScreen).release(0, onScreen(k->button_LCTRL));
    EXPECT_EQ(recorder->takePackets(), (SentPackets{d(0xFFE3), d(0x43), u(0x43), u(0xFFE3)}));

    // A finger that slides across other keys stays with the key it came
    // down on: that key comes up at the lift, and no other goes down.
    const QPoint e = onScreen(k->button_E);
    QTest::touchEvent(host->viewport(), touchScreen).press(0, e);
    QTest::touchEvent(host->viewport(), touchScreen).move(0, e + QPoint(0, 150));
    QTest::touchEvent(host->viewport(), touchScreen).release(0, e + QPoint(0, 150));
    EXPECT_EQ(recorder->takePackets(), (SentPackets{d(0x45), u(0x45)}));
}

TEST_F(PhoneKeyboard, AScreenTurnedByTheSystemIsFollowed)
{
    showKeyboard();
    ASSERT_TRUE(host->isTurned());
    // Automatic rotation on: the screen, and the full-screen host, become
    // landscape. The keyboard is then drawn upright across it.
    host->showNormal();
    host->resize(720, 360);
    EXPECT_FALSE(host->isTurned());
    EXPECT_EQ(window->size(), QSize(640, 320));
    EXPECT_EQ(main->view()->geometry(), QRect(0, 0, 640, 320));
    click(keyboard()->button_Q);
    EXPECT_EQ(recorder->takePackets(), (SentPackets{d(0x51), u(0x51)}));

    // Back to portrait on another screen: the keyboard turns again; the touch
    // pad, once chosen, lies below the status bar down to the bottom.
    host->resize(360, 720);
    EXPECT_TRUE(host->isTurned());
    EXPECT_EQ(main->view()->geometry(), QRect(0, 0, 640, 320));
    NotificationCenter::defaultCenter().postNotification("Goto TabBar", MainViewController::kTouchPadTab);
    host->resize(720, 360);
    EXPECT_EQ(main->view()->geometry(), QRect(160, 20, 320, 300));
    host->resize(360, 720);
    EXPECT_EQ(main->view()->geometry(), QRect(0, 20, 320, 620));
}

} // namespace
