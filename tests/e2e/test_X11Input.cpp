// SPDX-License-Identifier: GPL-3.0-or-later
// The real quillon program on a private X server, used with a mouse as one
// finger exactly as a person does: pointer moves and button presses sent
// through the X server (XTest) at points of the app's window, with a
// person's quick repeats. Nothing is injected into the app. What it sends is
// read from the real quillon-receiver --sink log; what it shows is read from
// the X server as pixels. Everything runs inside the test's private network.
//
// Where the controls are comes from the same forms run in this process
// (AppLayout), so the tests follow the layout rather than fixed coordinates.
#include "e2e/AppLayout.h"
#include "e2e/PrivateNetworkTest.h"
#include "e2e/ReceiverLog.h"
#include "e2e/XAppWindow.h"
#include "e2e/XClipboardOwner.h"
#include "e2e/XTypist.h"
#include "support/ScopedEnvironment.h"
#include "support/XvfbDisplay.h"

#include "ComputerListViewController.h"
#include "KeyboardViewController.h"
#include "MainViewController.h"
#include "RemoteViewController.h"
#include "TouchPadView.h"
#include "TextEntryController.h"
#include "TouchPadViewController.h"

#include "platform/Button.h"
#include "platform/StatusBar.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <iostream>

#ifndef QUILLON_APP_BINARY
#error "QUILLON_APP_BINARY must name the app's binary"
#endif
#ifndef X_TEXT_READER_BINARY
#error "X_TEXT_READER_BINARY must name the text reader's binary"
#endif

using namespace e2e;
using namespace std::chrono_literals;

namespace {

const char* const kPasscode = "through the window";
const QString kComputer = QStringLiteral("Den");

// A person's pace. A quick repeat comes well inside the double-click
// interval (400 ms); a calm one after it and after the touch pad's 0.4 s
// single-tap click.
constexpr auto kQuick = 100ms;
constexpr auto kStep = 250ms;
constexpr auto kCalm = 900ms;
// Bounds on waiting for the app (failure guards, not speed checks).
constexpr auto kShowsUp = 10s;

constexpr uint32_t kVolumeUp = 0x08010032;

struct MouseLine {
    int buttons = -1;
    int dx = 0;
    int dy = 0;
};

std::optional<MouseLine> parseMouse(const std::string& line)
{
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    if (object.value("type").toString() != "mouse")
        return std::nullopt;
    return MouseLine{object.value("buttons").toInt(), object.value("dx").toInt(), object.value("dy").toInt()};
}

std::vector<std::string> strokes(const std::string& keys)
{
    std::vector<std::string> lines;
    for (char key : keys) {
        const uint32_t code = uint32_t(std::toupper(static_cast<unsigned char>(key)));
        lines.push_back(keyDown(code));
        lines.push_back(keyUp(code));
    }
    return lines;
}

// The settings a person who added the computers by hand would have: `labs`
// computers that cannot be reached (nothing listens on port 9), with the
// receiver's computer among them at `denRow`, its passcode saved.
QByteArray settingsWith(int labs, int denRow)
{
    QJsonArray registered;
    for (int i = 0; i < labs; ++i)
        registered.append(QJsonObject{{"ComputerName", QStringLiteral("Lab %1").arg(i + 1)},
                                      {"Ip", "127.0.0.1"},
                                      {"Port", 9},
                                      {"Os", "Unknown"}});
    registered.insert(denRow, QJsonObject{{"ComputerName", kComputer}, {"Ip", "127.0.0.1"}, {"Port", 25736}, {"Os", "Linux"}});
    const QJsonObject settings{{"RegisteredComputers", registered},
                               {"Passwords", QJsonObject{{kComputer, QString::fromLatin1(kPasscode)}}}};
    return QJsonDocument(settings).toJson();
}

// The 20-point strip carries dark text: the connected computer's name at its
// left, the clock in its middle (the machine has no battery to show); where
// it is not drawn the window's pale background shows through.
bool statusBarDrawn(const QImage& image)
{
    const int strip = platform::StatusBar::kHeight;
    auto darkIn = [&](const QRect& area) {
        int dark = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                dark += qGray(image.pixel(x, y)) < 110;
        return dark;
    };
    const QRect name(0, 0, 60, strip);
    const QRect clock(image.width() / 2 - 30, 0, 60, strip);
    return darkIn(name) >= 10 && darkIn(clock) >= 20;
}

class X11Input : public PrivateNetworkTest {
protected:
    void SetUp() override
    {
        PrivateNetworkTest::SetUp();
        if (IsSkipped())
            return;
        std::string why;
        xvfb_ = XvfbDisplay::start(why);
        if (!xvfb_)
            GTEST_SKIP() << "Xvfb cannot run here: " << why;
        startTheReceiver();
    }

    virtual void startTheReceiver() { receiver_ = startReceiver(kPasscode, kComputer.toStdString()); }

    void TearDown() override
    {
        if (app_.state() != QProcess::NotRunning) {
            app_.terminate();
            if (!app_.waitForFinished(5000))
                app_.kill();
            app_.waitForFinished(5000);
        }
        window_.reset();
        layout_.reset();
        receiver_.reset();
        xvfb_.reset();
    }

    // The program on its settings, up to its first screen with the Wi-Fi
    // warning (the private network has no Wi-Fi) tapped away.
    void start(const QByteArray& settings)
    {
        QFile file(home_.filePath("settings.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(settings);
        file.close();
        layout_ = std::make_unique<AppLayout>(settings);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("DISPLAY", QString::fromStdString(xvfb_->name()));
        app_.setProcessEnvironment(environment);
        app_.setProcessChannelMode(QProcess::ForwardedOutputChannel); // keeps its errors for the log
        // One point is one pixel, and discovery asks a port no receiver
        // answers on: the list holds exactly the computers of the settings.
        app_.start(QStringLiteral(QUILLON_APP_BINARY), {"--scale", "1", "--settings", file.fileName(),
                                                        "--discovery-port", "25737", "--discovery-local-port", "0"});
        ASSERT_TRUE(app_.waitForStarted());
        window_ = std::make_unique<XAppWindow>(xvfb_->name());
        ASSERT_TRUE(window_->valid());
        ASSERT_TRUE(window_->waitForWindow(pid_t(app_.processId()), kShowsUp)) << "the app's window never appeared";
        ASSERT_EQ(window_->size(), QSize(320, 480));

        const QPoint ok = layout_->alertButton();
        ASSERT_TRUE(settles("wifi-warning"));
        window_->tap(ok);
        layout_->dismissAlert();
        ASSERT_TRUE(settles("computer-list"));
    }

    // Taps the receiver's computer in the list and connects with its saved
    // passcode; the touch pad comes up.
    void logIn(int denRow)
    {
        window_->tap(layout_->computerRow(0, denRow));
        layout_->showLoginOfRegistered(denRow);
        ASSERT_TRUE(settles("login"));
        window_->tap(layout_->connectButton());
        ASSERT_NO_FATAL_FAILURE(expectLoggedIn());
        showsTab(MainViewController::kTouchPadTab);
    }

    // What the receiver says of the login.
    virtual void expectLoggedIn()
    {
        const std::vector<std::string> lines = nextLines(*receiver_, 2);
        ASSERT_TRUE(isConnectLine(lines[0])) << lines[0];
        ASSERT_EQ(lines[1], loginLine(true));
    }

    void startAndLogIn()
    {
        ASSERT_NO_FATAL_FAILURE(start(settingsWith(0, 0)));
        ASSERT_NO_FATAL_FAILURE(logIn(0));
    }

    // Waits until the window shows what the app in this process shows now,
    // and returns that picture. When it never does, says how far off it was
    // and leaves both pictures in the working directory.
    std::optional<QImage> settles(const QString& what)
    {
        const std::vector<Landmark> landmarks = layout_->landmarks();
        std::optional<QImage> shown = window_->waitUntilShows(landmarks, kShowsUp);
        if (shown)
            return shown;
        const QImage last = window_->capture();
        const QString shownFile = QDir::current().absoluteFilePath("x11-" + what + "-shown.png");
        last.save(shownFile);
        layout_->window()->grab().save(QDir::current().absoluteFilePath("x11-" + what + "-expected.png"));
        ADD_FAILURE() << what.toStdString() << ": " << XAppWindow::missedLandmarks(last, landmarks) << " of "
                      << landmarks.size() << " points differ from the app at rest (see " << shownFile.toStdString()
                      << " and -expected.png)";
        return std::nullopt;
    }

    // Waits until the window shows the tab as the app draws it at rest, and
    // returns what it showed.
    QImage showsTab(int tab)
    {
        layout_->showTab(tab);
        const QSize size = tab == MainViewController::kKeyboardTab ? QSize(480, 320) : QSize(320, 480);
        EXPECT_TRUE(window_->waitForSize(size, kShowsUp)) << "tab " << tab;
        return settles(QStringLiteral("tab-%1").arg(tab)).value_or(QImage());
    }

    // Opens the tab bar with the current screen's own button and taps `item`.
    void tapTabBarItem(platform::Button* toggle, QAction* item)
    {
        window_->tap(layout_->centerOf(toggle));
        window_->pause(500ms); // it fades in
        window_->tap(layout_->tabBarItem(item));
    }

    // The status bar strip is drawn with (or right after) the screen that
    // came; a strip that only comes back when the keyboard's preview timer
    // fires, two seconds after the last key, is too late.
    void expectStatusBarWith(const QImage& shown, const char* screen)
    {
        if (statusBarDrawn(shown))
            return;
        window_->pause(300ms);
        EXPECT_TRUE(statusBarDrawn(window_->capture())) << "the status bar strip is blank on the " << screen;
    }

    MainViewController* main() const { return layout_->main(); }
    TouchPadViewController* touchPad() const { return main()->touchPadViewController(); }
    KeyboardViewController* keyboard() const { return main()->keyboardViewController(); }
    RemoteViewController* remote() const { return main()->remoteViewController(); }
    XAppWindow& window() { return *window_; }
    AppLayout& layout() { return *layout_; }

    QTemporaryDir home_;
    std::unique_ptr<XvfbDisplay> xvfb_;
    std::unique_ptr<ReceiverProcess> receiver_;
    std::unique_ptr<AppLayout> layout_;
    QProcess app_;
    std::unique_ptr<XAppWindow> window_;
};

// The help text fills most of the list's end: a drag over it must scroll the
// list (on a computer without a wheel it is the only way back up), and the
// row that comes into view logs in.
TEST_F(X11Input, TheComputerListScrollsUnderAPointerDraggedOverItsHelpText)
{
    constexpr int kLabs = 11, kDenRow = 9;
    ASSERT_NO_FATAL_FAILURE(start(settingsWith(kLabs, kDenRow)));
    const int end = layout().computerListScrollRange();
    const QRect bar = layout().tabBarRect(); // shown at start, over the list's foot

    // To the end of the list by dragging its rows up.
    const QPoint onRows(160, bar.top() - 30);
    for (int i = 0; i < 3; ++i) {
        window().drag(onRows, QPoint(160, 90));
        window().pause(kStep);
    }
    layout().scrollComputerList(end);
    ASSERT_TRUE(settles("list-end")) << "the rows did not take the list to its end";
    const QPoint denAtEnd = layout().computerRow(0, kDenRow);

    ASSERT_LT(denAtEnd.y(), 64) << "the receiver's row must start out of view, under the navigation bar";

    // Down with the pointer on the help text, until that row is in view.
    const int down = 130 - denAtEnd.y();
    const QRect help = layout().computerListHelpText();
    const QPoint onHelp(help.center().x(), help.top() + 30);
    ASSERT_LT(onHelp.y() + down, bar.top());
    window().drag(onHelp, onHelp + QPoint(0, down));
    layout().scrollComputerList(end - down);
    EXPECT_TRUE(settles("list-scrolled-back")) << "the drag over the help text did not scroll";

    // The computer that came into view is the one a tap there opens.
    window().pause(kCalm);
    ASSERT_NO_FATAL_FAILURE(logIn(kDenRow));
}

TEST_F(X11Input, ADoubleTapOnThePadIsADoubleClickAndTapThenSlideDragsFromWhereTheFingerCameDown)
{
    ASSERT_NO_FATAL_FAILURE(startAndLogIn());
    const QPoint pad = layout().centerOf(touchPad()->touchPadView());
    const std::vector<std::string> doubleClick{mouseLine(1), mouseLine(0), mouseLine(1), mouseLine(0)};

    window().tap(pad);
    window().pause(kQuick);
    window().tap(pad);
    EXPECT_EQ(nextLines(*receiver_, 4), doubleClick);
    EXPECT_EQ(receiver_->nextOutputLine(kCalm), std::nullopt) << "a click after the double click";

    // A second tap that trembles by 3 points is still the double click, with
    // no movement before it.
    window().tap(pad);
    window().pause(kQuick);
    window().moveTo(pad);
    window().press();
    window().pause(XAppWindow::Milliseconds(20));
    window().moveTo(pad + QPoint(3, 0));
    window().pause(XAppWindow::Milliseconds(20));
    window().release();
    EXPECT_EQ(nextLines(*receiver_, 4), doubleClick);
    EXPECT_EQ(receiver_->nextOutputLine(kCalm), std::nullopt) << "movement after the double click";

    // Tap, then touch again and slide: the button goes down before any
    // movement, so the drag grabs where the finger came down; every movement
    // follows with it held, and it comes up at the lift.
    const QPoint from = pad - QPoint(40, 40);
    window().tap(from);
    window().pause(kQuick);
    window().drag(from, from + QPoint(60, 40));
    std::vector<MouseLine> events;
    for (;;) {
        const std::optional<std::string> line = receiver_->nextOutputLine();
        ASSERT_TRUE(line) << "no release after the slide";
        const std::optional<MouseLine> event = parseMouse(*line);
        ASSERT_TRUE(event) << *line;
        events.push_back(*event);
        if (line == mouseLine(0))
            break;
    }
    ASSERT_GE(events.size(), 5u);
    EXPECT_EQ(events.front().buttons, 1) << "the press comes first";
    EXPECT_EQ(QPoint(events.front().dx, events.front().dy), QPoint(0, 0));
    int dx = 0, dy = 0;
    for (auto e = events.begin() + 1; e + 1 < events.end(); ++e) {
        EXPECT_EQ(e->buttons, 1) << "the button let go during the slide";
        dx += e->dx;
        dy += e->dy;
    }
    EXPECT_EQ(QPoint(dx, dy), QPoint(60, 40)) << "the movements with the button held make the slide";
    EXPECT_EQ(receiver_->nextOutputLine(kCalm), std::nullopt);
}

TEST_F(X11Input, HelloTypedWithTwoQuickTapsOnLReachesTheComputerAndTheTabBarKeyTogglesTheBar)
{
    ASSERT_NO_FATAL_FAILURE(startAndLogIn());
    window().tap(layout().centerOf(touchPad()->keyboardButton()));
    showsTab(MainViewController::kKeyboardTab);

    auto key = [&](const QWidget* button) { return layout().centerOf(button); };
    window().tap(key(keyboard()->button_H));
    window().pause(kStep);
    window().tap(key(keyboard()->button_E));
    window().pause(kStep);
    window().tap(key(keyboard()->button_L));
    window().pause(kQuick);
    window().tap(key(keyboard()->button_L));
    window().pause(kStep);
    window().tap(key(keyboard()->button_O));
    EXPECT_EQ(nextLines(*receiver_, 10), strokes("hello"));

    // The tab bar lies on the bottom row of keys, but not on the key that
    // opened it: a second tap there puts it away.
    window().pause(kCalm);
    const QPoint toggle = key(keyboard()->button_ToggleTabBar);
    window().tap(toggle);
    layout().showTabBar();
    EXPECT_TRUE(settles("keyboard-tab-bar")) << "no tab bar";
    EXPECT_FALSE(layout().tabBarRect().contains(toggle));
    window().pause(kCalm);
    window().tap(toggle);
    layout().hideTabBar();
    EXPECT_TRUE(settles("keyboard-again")) << "the tab bar stayed";
}

TEST_F(X11Input, VolumeUpTappedThreeTimesQuicklySendsThreeStrokes)
{
    ASSERT_NO_FATAL_FAILURE(startAndLogIn());
    tapTabBarItem(touchPad()->toggleTabBarButton(), main()->tabbarItemRemote());
    showsTab(MainViewController::kRemoteTab);

    const QPoint volumeUp = layout().centerOf(remote()->buttonVolumeUp());
    for (int i = 0; i < 3; ++i) {
        window().tap(volumeUp);
        window().pause(kQuick);
    }
    std::vector<std::string> three;
    for (int i = 0; i < 3; ++i) {
        three.push_back(keyDown(kVolumeUp));
        three.push_back(keyUp(kVolumeUp));
    }
    EXPECT_EQ(nextLines(*receiver_, 6), three);
    EXPECT_EQ(receiver_->nextOutputLine(kCalm), std::nullopt);
}

// The keyboard's preview takes the strip for two seconds after a key; a
// screen chosen meanwhile must still have its status bar, drawn.
TEST_F(X11Input, TheStatusBarIsDrawnOnTheNextScreenAfterLeavingTheKeyboardMidPreview)
{
    ASSERT_NO_FATAL_FAILURE(startAndLogIn());
    window().tap(layout().centerOf(touchPad()->keyboardButton()));
    showsTab(MainViewController::kKeyboardTab);

    const QPoint h = layout().centerOf(keyboard()->button_H);
    window().tap(h);
    window().pause(kStep);
    tapTabBarItem(keyboard()->button_ToggleTabBar, main()->tabbarItemRemote());
    expectStatusBarWith(showsTab(MainViewController::kRemoteTab), "remote panel");
    EXPECT_EQ(nextLines(*receiver_, 2), strokes("h"));

    window().pause(kCalm);
    tapTabBarItem(remote()->buttonTabBar(), main()->tabbarItemKeyboard());
    showsTab(MainViewController::kKeyboardTab);
    window().tap(h);
    window().pause(kStep);
    tapTabBarItem(keyboard()->button_ToggleTabBar, main()->tabbarItemTouchPad());
    expectStatusBarWith(showsTab(MainViewController::kTouchPadTab), "touch pad");
    EXPECT_EQ(nextLines(*receiver_, 2), strokes("h"));
}

// The computer is a second private X server: the real quillon-receiver
// --sink xtest types there, into a window that writes down the text its key
// events type (x_text_reader). The app keeps its own X server and is typed
// into through that server's keyboard: with two servers the keys typed into
// the app and the keys the receiver types never reach the same window.
class X11TextEntry : public X11Input {
protected:
    void startTheReceiver() override
    {
        std::string why;
        computer_ = XvfbDisplay::start(why);
        ASSERT_TRUE(computer_) << why;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", QString::fromStdString(computer_->name()));
        reader_.setProcessEnvironment(environment);
        reader_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        reader_.start(QStringLiteral(X_TEXT_READER_BINARY), {});
        ASSERT_TRUE(reader_.waitForStarted());
        ASSERT_EQ(readLine(), "ready");
        ScopedEnvironment onTheComputer;
        onTheComputer.set("DISPLAY", computer_->name());
        receiver_ = startReceiver(kPasscode, kComputer.toStdString(), "xtest");
    }

    // A sink that types writes no lines: the receiver's notice tells of the
    // connection, the touch pad coming up of the accepted login.
    void expectLoggedIn() override { ASSERT_TRUE(receiver_->waitForNotice(" connected")); }

    void TearDown() override
    {
        if (reader_.state() != QProcess::NotRunning) {
            reader_.closeWriteChannel(); // it ends when its input closes
            if (!reader_.waitForFinished(5000))
                reader_.kill();
        }
        X11Input::TearDown();
        computer_.reset();
    }

    // The next line the computer's window wrote down; "<none>" when none
    // came in time.
    std::string readLine(std::chrono::milliseconds wait = 10s)
    {
        const QDeadlineTimer deadline(wait);
        while (!reader_.canReadLine()) {
            if (deadline.hasExpired() || !reader_.waitForReadyRead(int(deadline.remainingTime())))
                return "<none>";
        }
        return reader_.readLine().chopped(1).toStdString();
    }

    // Whether no key of the computer's keyboard is down, as its X server says.
    bool noKeyDownOnTheComputer()
    {
        Display* display = XOpenDisplay(computer_->name().c_str());
        if (!display)
            return false;
        char keys[32];
        XQueryKeymap(display, keys);
        XCloseDisplay(display);
        return std::all_of(std::begin(keys), std::end(keys), [](char byte) { return byte == 0; });
    }

    std::unique_ptr<XvfbDisplay> computer_;
    QProcess reader_;
};

// A thousand characters of several scripts, in whole characters.
QString thousandCharacters()
{
    const QString phrase = QString::fromUtf8("Grüße aus Köln, café ß ж 中 € \U0001F600! ");
    QList<uint> characters;
    while (characters.size() < 1000)
        characters += phrase.toUcs4();
    characters.resize(1000);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()), characters.size());
}

TEST_F(X11TextEntry, TextOfAnyLanguageInTheFieldReachesAWindowOfTheComputerAsTypedAndAPasteComesWhole)
{
    ASSERT_NO_FATAL_FAILURE(startAndLogIn());
    window().tap(layout().centerOf(touchPad()->keyboardButton()));
    showsTab(MainViewController::kKeyboardTab);
    window().tap(layout().centerOf(keyboard()->button_Text));
    keyboard()->textEntry()->open();
    ASSERT_TRUE(settles("text-entry")) << "the field did not open";
    window().focus();
    XTypist keys(xvfb_->name());
    ASSERT_TRUE(keys.valid());

    // The app's X server has a US keymap: é, ß, ж, 中 and € come on keys
    // lent to them, and reach the field as key events; "x" is taken back.
    keys.type(QString::fromUtf8("café ß ж 中 €x"));
    keys.chord({XK_BackSpace});
    keys.type(QStringLiteral("\n"));
    EXPECT_EQ(readLine(), "café ß ж 中 €");
    // Capitals, and "@" and "!" on the second level of their keys.
    keys.type(QString::fromUtf8("Grüße, @Ünal!\n"));
    EXPECT_EQ(readLine(), "Grüße, @Ünal!");
    EXPECT_TRUE(noKeyDownOnTheComputer());

    // A paste of 1,000 characters, timed from the paste key to the line
    // written down at the computer.
    const QString text = thousandCharacters();
    XClipboardOwner clipboard(xvfb_->name(), text.toUtf8());
    ASSERT_TRUE(clipboard.valid());
    const auto pasted = std::chrono::steady_clock::now();
    keys.chord({XK_Control_L, XK_v});
    keys.type(QStringLiteral("\n"), 0ms);
    const std::string line = readLine(60s);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pasted);
    EXPECT_EQ(QString::fromStdString(line).toUcs4().size(), 1000) << "characters lost or added";
    EXPECT_EQ(line, text.toStdString()) << "the paste arrived changed";
    EXPECT_TRUE(noKeyDownOnTheComputer());
    std::cout << "1,000 pasted characters written down at the computer " << took.count() << " ms after the paste"
              << std::endl;
    RecordProperty("paste_1000_characters_ms", int(took.count()));
}

} // namespace
