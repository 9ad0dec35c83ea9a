// SPDX-License-Identifier: GPL-3.0-or-later
// The quillon program on a phone held upright: a private Xvfb with a 360 x 720
// portrait screen, the app full screen on it at the scale it picks, and the
// real quillon-receiver --sink log, all inside the test's private network.
// The program is driven only through the X server (XTest pointer presses at
// screen pixels, as a finger on a touch screen is delivered): the Wi-Fi
// warning, a registered computer with its saved passcode, the connect button,
// the touch pad's keyboard button, then keys of the keyboard, which is drawn
// turned a quarter; the receiver logs exactly those keys.
//
// Where things lie comes from the same start-up in this process, on the
// offscreen platform with the same portrait screen and scale, so that the
// test follows the layout as it is. (test_PhoneLayout draws the turned
// keyboard for the docs.)
#include "e2e/ChildProgram.h"
#include "e2e/PrivateNetworkTest.h"
#include "e2e/ReceiverLog.h"
#include "e2e/RunningApp.h"
#include "support/XvfbDisplay.h"

#include "KeyboardViewController.h"
#include "LoginViewController.h"
#include "PhoneWindow.h"
#include "PhoneWindowHost.h"
#include "TouchPadViewController.h"
#include "WindowScale.h"
#include "support/AppTestEnvironment.h"

#include "platform/Alert.h"
#include "platform/AlertSheet.h"
#include "platform/Button.h"
#include "platform/NavigationBar.h"
#include "platform/NavigationController.h"
#include "platform/NotificationCenter.h"
#include "platform/TableView.h"
#include "platform/TableViewCell.h"

#include "ComputersViewController.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#ifndef QUILLON_APP_BINARY
#error "QUILLON_APP_BINARY must name the app's binary"
#endif

using namespace e2e;

namespace {

constexpr int kGenerousWaitMs = 30000;
const char* const kPasscode = "upright";
const QByteArray kSettings = R"({"RegisteredComputers": [{"ComputerName": "Den", "Ip": "127.0.0.1", "Port": 25736}],
                                 "Passwords": {"Den": "upright"}})";

// The pointer of a private X server, pressed as a quick tap of a finger.
class XPointer {
public:
    explicit XPointer(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
    ~XPointer()
    {
        if (display_)
            XCloseDisplay(display_);
    }
    XPointer(const XPointer&) = delete;
    XPointer& operator=(const XPointer&) = delete;

    bool valid() const { return display_ != nullptr; }

    void tap(const QPoint& pixel)
    {
        XTestFakeMotionEvent(display_, 0, pixel.x(), pixel.y(), CurrentTime);
        XSync(display_, False);
        QThread::msleep(30);
        XTestFakeButtonEvent(display_, 1, True, CurrentTime);
        XSync(display_, False);
        QThread::msleep(40);
        XTestFakeButtonEvent(display_, 1, False, CurrentTime);
        XSync(display_, False);
    }

private:
    Display* display_;
};


// Where the program under test shows things, in screen pixels: the same
// start-up here, on the same screen at the same scale.
struct PhoneLayout {
    QPoint alertButton, registeredRow, connectButton, keyboardButton;
    QPoint keyA, keyEnter;
    bool keyboardTurned = false;
};

// The screen starts at the origin; its logical pixels are `devicePixelRatio`
// pixels of the X server (the app's own scale is the host's, in the mapping).
QPoint pixelOf(const QWidget* widget)
{
    const QPointF global = widget->mapToGlobal(QRectF(widget->rect()).center());
    return (global * QGuiApplication::primaryScreen()->devicePixelRatio()).toPoint();
}

PhoneLayout layOutAsTheProgram()
{
    PhoneLayout layout;
    RunningApp app;
    app.writeSettings(kSettings);
    app.launch(true, placementOnThePrimaryScreen().factor);
    MainViewController* main = app.main();
    if (auto* sheet = qobject_cast<platform::AlertSheet*>(platform::Alert::sheet()))
        layout.alertButton = pixelOf(sheet->button());
    platform::Alert::dismissCurrent();
    platform::TableViewCell* row = app.computerList()->tableView()->cellForRowAtIndexPath({0, 0});
    layout.registeredRow = pixelOf(row);
    app.tap(row);
    platform::NavigationController* navigation = main->computerViewController()->naviController();
    layout.connectButton = pixelOf(navigation->navigationBar()->rightButton());
    platform::NotificationCenter::defaultCenter().postNotification("Goto TabBar", MainViewController::kTouchPadTab);
    layout.keyboardButton = pixelOf(main->touchPadViewController()->keyboardButton());
    platform::NotificationCenter::defaultCenter().postNotification("Goto TabBar", MainViewController::kKeyboardTab);
    auto* window = qobject_cast<PhoneWindow*>(app.window());
    layout.keyboardTurned = window && window->host() && window->host()->isTurned();
    layout.keyA = pixelOf(main->keyboardViewController()->button_A);
    layout.keyEnter = pixelOf(main->keyboardViewController()->button_Enter);
    return layout;
}


class PhoneKeyboardX11 : public PrivateNetworkTest {};

TEST_F(PhoneKeyboardX11, AKeyPressedWhereTheTurnedKeyboardShowsItReachesTheReceiver)
{
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry().size() * QGuiApplication::primaryScreen()->devicePixelRatio(),
              QSize(360, 720))
        << "the layout is worked out on the program's screen";
    std::string why;
    const std::unique_ptr<XvfbDisplay> xvfb = XvfbDisplay::start(why, "360x720x24");
    if (!xvfb)
        GTEST_SKIP() << "Xvfb cannot run here: " << why;
    XPointer pointer(xvfb->name());
    ASSERT_TRUE(pointer.valid());
    const PhoneLayout layout = layOutAsTheProgram();
    ASSERT_TRUE(layout.keyboardTurned);
    const std::unique_ptr<ReceiverProcess> receiver = startReceiver(kPasscode, "Den");

    QTemporaryDir home;
    QFile settings(home.filePath("settings.json"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(kSettings);
    settings.close();
    int frame[2];
    ASSERT_EQ(pipe(frame), 0);
    fcntl(frame[0], F_SETFD, FD_CLOEXEC); // only the write end goes to the program
    QProcess app;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", QString::fromStdString(xvfb->name()));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("XDG_RUNTIME_DIR", home.path());
    environment.insert("QUILLON_FIRST_FRAME_FD", QString::number(frame[1]));
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(QUILLON_APP_BINARY), {"--fullscreen", "--settings", settings.fileName()});
    ASSERT_TRUE(app.waitForStarted());
    close(frame[1]);
    const std::string firstFrame = readLineWithin(frame[0], kGenerousWaitMs);
    close(frame[0]);
    ASSERT_EQ(firstFrame, "first frame\n") << app.readAllStandardError().toStdString();

    // A person's pace: each step's screen has settled (pushes take 0.3 s,
    // the turn 0.5 s) before the next tap.
    const auto step = [&](const QPoint& at) {
        pointer.tap(at);
        QThread::msleep(900);
    };
    step(layout.alertButton); // the namespace has no Wi-Fi: the warning comes first
    step(layout.registeredRow);
    step(layout.connectButton);
    const std::vector<std::string> login = nextLines(*receiver, 2);
    ASSERT_TRUE(isConnectLine(login[0])) << login[0] << "\n" << app.readAllStandardError().toStdString();
    ASSERT_EQ(login[1], loginLine(true));
    step(layout.keyboardButton);

    step(layout.keyA);
    step(layout.keyEnter);
    EXPECT_EQ(nextLines(*receiver, 4),
              (std::vector<std::string>{keyDown(0x41), keyUp(0x41), keyDown(0xFF0D), keyUp(0xFF0D)}));
    EXPECT_EQ(app.state(), QProcess::Running);
    stopProgram(app);
}

} // namespace
