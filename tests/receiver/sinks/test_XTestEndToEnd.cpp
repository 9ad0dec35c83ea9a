// SPDX-License-Identifier: GPL-3.0-or-later
// The real quillon-receiver with `--sink xtest` on a private Xvfb display:
// a logged-in phone moves the pointer by what it sends, its buttons, wheel
// steps and keys reach a window of the test, keys missing from the keymap are
// lent a spare key code while the phone drives, window commands reach the window
// manager, what the phone held is let go when it disconnects, the power
// command is the power key only where allowed, and the receiver ends
// cleanly when the display goes.
#include "common/ExitStatus.h"
#include "support/LoopbackSockets.h"
#include "support/ReceiverProcess.h"
#include "support/SessionBytes.h"
#include "support/XvfbDisplay.h"

#include <gtest/gtest.h>

#include <X11/XF86keysym.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <poll.h>

namespace {

const std::string kPasscode = "xtest pass";

using Clock = std::chrono::steady_clock;

class XTestReceiver : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        xvfb_ = XvfbDisplay::start(why);
        if (!xvfb_)
            GTEST_SKIP() << "Xvfb cannot run here: " << why;
        setenv("DISPLAY", xvfb_->name().c_str(), 1);
        display_ = XOpenDisplay(xvfb_->name().c_str());
        ASSERT_NE(display_, nullptr) << "cannot open " << xvfb_->name();
        root_ = DefaultRootWindow(display_);
        makeWindow();

        // Plain logins, written out by hand: the sink is what is tested.
        receiver_ = ReceiverProcess::startOnLoopback(kPasscode, {"--sink", "xtest", "--allow-plain"});
        ASSERT_NE(receiver_->sessionPort(), 0) << receiver_->errors();
        client_ = connectToLoopback(receiver_->sessionPort());
        ASSERT_TRUE(client_.valid());
        ASSERT_TRUE(sendAll(client_.get(), loginPacket(kPasscode)));
        ASSERT_EQ(receiveExactly(client_.get(), loginReply(0).size()), std::optional<Bytes>(loginReply(0)));
    }

    void TearDown() override
    {
        client_.reset();
        if (receiver_) {
            EXPECT_EQ(receiver_->stop(SIGTERM), 0) << receiver_->errors();
        }
        receiver_.reset();
        if (display_)
            XCloseDisplay(display_);
        unsetenv("DISPLAY");
        xvfb_.reset();
    }

    // A window under the pointer with the keyboard focus, recording keys and buttons.
    void makeWindow()
    {
        window_ = XCreateSimpleWindow(display_, root_, 0, 0, 400, 300, 0, 0, 0);
        XSelectInput(display_, window_,
                     KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
        XMapWindow(display_, window_);
        ASSERT_TRUE(nextEvent([](const XEvent& e) { return e.type == MapNotify; }));
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XWarpPointer(display_, None, root_, 0, 0, 0, 0, 200, 150);
        XSync(display_, False);
    }

    void send(const Bytes& packet) { ASSERT_TRUE(sendAll(client_.get(), packet)); }
    void stroke(uint32_t keycode)
    {
        send(keyboardPacket(1, keycode));
        send(keyboardPacket(0, keycode));
    }

    // The next event that `wanted` accepts, skipping others; nothing when none
    // comes in time.
    std::optional<XEvent> nextEvent(const std::function<bool(const XEvent&)>& wanted)
    {
        const auto deadline = Clock::now() + kGenerousWait;
        for (;;) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                // As every application does: a key lent to a keysym after
                // this client first read the keymap must look up as that
                // keysym, whatever the order in which the two ran.
                if (event.type == MappingNotify)
                    XRefreshKeyboardMapping(&event.xmapping);
                if (wanted(event))
                    return event;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd ready{ConnectionNumber(display_), POLLIN, 0};
            poll(&ready, 1, int(left.count()));
        }
    }

    // Waits until `condition` holds, asking the server again and again.
    bool eventually(const std::function<bool()>& condition)
    {
        const auto deadline = Clock::now() + kGenerousWait;
        while (!condition()) {
            if (Clock::now() > deadline)
                return false;
            poll(nullptr, 0, 10);
        }
        return true;
    }

    std::pair<int, int> pointer(unsigned* mask = nullptr)
    {
        Window rootReturn = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned m = 0;
        XQueryPointer(display_, root_, &rootReturn, &child, &x, &y, &wx, &wy, &m);
        if (mask)
            *mask = m;
        return {x, y};
    }

    bool keyIsDown(KeySym keysym)
    {
        char keys[32];
        XQueryKeymap(display_, keys);
        const KeyCode code = XKeysymToKeycode(display_, keysym);
        return keys[code / 8] & (1 << (code % 8));
    }

    // Text of the next key presses, as the window would type it.
    std::string typed(std::size_t count)
    {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            auto press = nextEvent([](const XEvent& e) { return e.type == KeyPress; });
            if (!press)
                return text + "<none>";
            char buffer[8] = {};
            KeySym keysym = 0;
            const int length = XLookupString(&press->xkey, buffer, sizeof buffer, &keysym, nullptr);
            text += length > 0 ? std::string(buffer, std::size_t(length)) : "<" + std::to_string(keysym) + ">";
        }
        return text;
    }

    std::unique_ptr<XvfbDisplay> xvfb_;
    Display* display_ = nullptr;
    Window root_ = 0;
    Window window_ = 0;
    std::unique_ptr<ReceiverProcess> receiver_;
    UniqueFd client_;
};

} // namespace

TEST_F(XTestReceiver, PointerMovesByExactlyTheSentAmounts)
{
    const auto start = pointer();
    send(mousePacket(0, 10, -7));
    EXPECT_TRUE(eventually([&] { return pointer() == std::make_pair(start.first + 10, start.second - 7); }))
        << pointer().first << "," << pointer().second;
    send(mousePacket(0, -25, 40));
    send(mousePacket(0, 0, 0));
    send(mousePacket(0, 3, 0));
    EXPECT_TRUE(eventually([&] { return pointer() == std::make_pair(start.first - 12, start.second + 33); }))
        << pointer().first << "," << pointer().second;
}

TEST_F(XTestReceiver, ButtonsAndWheelStepsReachTheWindowUnderThePointer)
{
    // Left click, a right click, a middle click from the wheel strip, one step
    // up and one down while nothing is held.
    for (const uint8_t buttons : {1, 0, 4, 0, 2, 0, 8, 16})
        send(mousePacket(buttons, 0, 0));
    std::vector<std::pair<int, unsigned>> seen;
    for (int i = 0; i < 10; ++i) {
        const auto event = nextEvent([](const XEvent& e) { return e.type == ButtonPress || e.type == ButtonRelease; });
        ASSERT_TRUE(event) << "after " << seen.size() << " button events";
        seen.emplace_back(event->type, event->xbutton.button);
    }
    const std::vector<std::pair<int, unsigned>> expected = {
        {ButtonPress, 1}, {ButtonRelease, 1}, {ButtonPress, 3}, {ButtonRelease, 3}, {ButtonPress, 2},
        {ButtonRelease, 2}, {ButtonPress, 4}, {ButtonRelease, 4}, {ButtonPress, 5}, {ButtonRelease, 5},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(XTestReceiver, KeysTypeThroughTheKeymapAndShiftLShiftsThem)
{
    // The phone sends upper-case letter keysyms for the unshifted key, and
    // the unshifted key's code while Shift_L is down.
    stroke(XK_A);
    stroke(XK_1);
    send(keyboardPacket(1, XK_Shift_L));
    stroke(XK_A);
    stroke(XK_1);
    stroke(XK_bracketleft);
    send(keyboardPacket(0, XK_Shift_L));
    stroke(XK_KP_5);
    stroke(XK_space);
    EXPECT_EQ(typed(8), "a1<" + std::to_string(XK_Shift_L) + ">A!{" + "5 ");
}

TEST_F(XTestReceiver, CommandCodesAndKeysMissingFromTheKeymapArePressed)
{
    // Volume up from the keyboard's media keys, then a keysym no key of the
    // keymap carries: it is lent a spare key code for the stroke only.
    stroke(0x08030100);
    auto press = nextEvent([](const XEvent& e) { return e.type == KeyPress; });
    ASSERT_TRUE(press);
    EXPECT_EQ(XLookupKeysym(&press->xkey, 0), KeySym(XF86XK_AudioRaiseVolume));

    // A code of the command space that means nothing here is ignored.
    stroke(0x08020000);
    stroke(XK_Return);
    press = nextEvent([](const XEvent& e) { return e.type == KeyPress; });
    ASSERT_TRUE(press);
    EXPECT_EQ(XLookupKeysym(&press->xkey, 0), KeySym(XK_Return));

    const KeySym snowman = 0x1002603;
    ASSERT_EQ(XKeysymToKeycode(display_, snowman), 0) << "the keymap already has the test's keysym";
    send(keyboardPacket(1, uint32_t(snowman)));
    press = nextEvent([](const XEvent& e) { return e.type == KeyPress; });
    ASSERT_TRUE(press);
    const KeyCode lent = KeyCode(press->xkey.keycode);
    const auto mappedTo = [&] {
        int perKeycode = 0;
        KeySym* symbols = XGetKeyboardMapping(display_, lent, 1, &perKeycode);
        const KeySym first = symbols ? symbols[0] : NoSymbol;
        XFree(symbols);
        return first;
    };
    EXPECT_EQ(mappedTo(), snowman);
    send(keyboardPacket(0, uint32_t(snowman)));
    stroke(uint32_t(snowman));
    for (const int type : {KeyRelease, KeyPress, KeyRelease}) {
        const auto event = nextEvent([type](const XEvent& e) { return e.type == type; });
        ASSERT_TRUE(event);
        EXPECT_EQ(event->xkey.keycode, lent) << "the same lent key for every stroke";
    }
    // An application may read the keymap late: the key stays lent while the
    // phone drives, and is given back when it goes.
    EXPECT_EQ(mappedTo(), snowman);
    client_.reset();
    EXPECT_TRUE(eventually([&] { return mappedTo() == NoSymbol; })) << "the spare key code was not given back";
}

TEST_F(XTestReceiver, TextOfAnyLanguageIsTypedInOrderWithNoKeyLeftDown)
{
    // As the phone's text entry sends "café ß ж 中 € @A": legacy keysyms,
    // Unicode keysyms (0x0100xxxx) for the rest, an upper-case letter as its
    // key with Shift. "@" is on the second level of a US key: Shift is
    // pressed for it. The characters the keymap lacks are lent keys.
    const std::vector<KeySym> text = {XK_c,     XK_a,     XK_f,           XK_eacute,  XK_space,    XK_ssharp,
                                      XK_space, 0x6D6,    XK_space,       0x1004E2D,  XK_space,    XK_EuroSign,
                                      XK_at};
    for (const KeySym keysym : text)
        stroke(uint32_t(keysym));
    send(keyboardPacket(1, XK_Shift_L));
    stroke(XK_A);
    send(keyboardPacket(0, XK_Shift_L));
    std::vector<KeySym> expected = text;
    expected.insert(expected.end() - 1, XK_Shift_L); // pressed by the receiver for "@"
    expected.push_back(XK_Shift_L);
    expected.push_back(XK_A);
    std::vector<KeySym> seen;
    KeyCode lentToZhong = 0;
    while (seen.size() < expected.size()) {
        auto press = nextEvent([](const XEvent& e) { return e.type == KeyPress; });
        ASSERT_TRUE(press) << "after " << seen.size() << " keys";
        KeySym keysym = NoSymbol;
        char buffer[8];
        XLookupString(&press->xkey, buffer, sizeof buffer, &keysym, nullptr);
        if (keysym == 0x1004E2D)
            lentToZhong = KeyCode(press->xkey.keycode);
        seen.push_back(keysym);
    }
    EXPECT_EQ(seen, expected);
    char keys[32];
    EXPECT_TRUE(eventually([&] {
        XQueryKeymap(display_, keys);
        return std::all_of(std::begin(keys), std::end(keys), [](char byte) { return byte == 0; });
    })) << "a key is still down";

    // More different missing characters than the keymap has spare codes:
    // codes are lent again, each after a rest, and every character still
    // reads as itself.
    std::vector<KeySym> many;
    for (KeySym c = 0x5000; c < 0x5000 + 40; ++c)
        many.push_back(0x1000000 + c);
    for (const KeySym keysym : many)
        stroke(uint32_t(keysym));
    seen.clear();
    while (seen.size() < many.size()) {
        auto press = nextEvent([](const XEvent& e) { return e.type == KeyPress; });
        ASSERT_TRUE(press) << "after " << seen.size() << " keys";
        seen.push_back(XLookupKeysym(&press->xkey, 0));
    }
    EXPECT_EQ(seen, many);

    // The lent codes are given back when the phone goes.
    ASSERT_NE(lentToZhong, 0);
    client_.reset();
    EXPECT_TRUE(eventually([&] {
        int perKeycode = 0;
        KeySym* symbols = XGetKeyboardMapping(display_, lentToZhong, 1, &perKeycode);
        const bool empty = symbols && symbols[0] == NoSymbol;
        XFree(symbols);
        return empty;
    })) << "the key code lent to 中 was not given back";
}

TEST_F(XTestReceiver, ThePowerCommandIsIgnoredUnlessAllowedAndThenIsThePowerKey)
{
    constexpr uint32_t kPowerCommand = 0x08010000;
    stroke(kPowerCommand);
    stroke(XF86XK_PowerOff);
    stroke(XK_Return);
    auto press = nextEvent([](const XEvent& e) { return e.type == KeyPress; });
    ASSERT_TRUE(press);
    EXPECT_EQ(XLookupKeysym(&press->xkey, 0), KeySym(XK_Return)) << "a power key went through";
    EXPECT_TRUE(receiver_->waitForNotice("the power command was ignored: start the receiver with --allow-power"))
        << receiver_->errors();

    auto allowing = ReceiverProcess::startOnLoopback(kPasscode, {"--sink", "xtest", "--allow-power", "--allow-plain"});
    UniqueFd owner = connectToLoopback(allowing->sessionPort());
    ASSERT_TRUE(sendAll(owner.get(), loginPacket(kPasscode)));
    ASSERT_EQ(receiveExactly(owner.get(), loginReply(0).size()), std::optional<Bytes>(loginReply(0)));
    ASSERT_TRUE(sendAll(owner.get(), keyboardPacket(1, kPowerCommand)));
    ASSERT_TRUE(sendAll(owner.get(), keyboardPacket(0, kPowerCommand)));
    press = nextEvent([](const XEvent& e) { return e.type == KeyPress; });
    ASSERT_TRUE(press);
    EXPECT_EQ(XLookupKeysym(&press->xkey, 0), KeySym(XF86XK_PowerOff));
    EXPECT_EQ(allowing->stop(SIGTERM), 0) << allowing->errors();
}

TEST_F(XTestReceiver, WindowCommandsGoToTheWindowManagerForTheActiveWindow)
{
    // The test plays the window manager: it names its window active and
    // watches the root window for the requests.
    const Atom active = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    XChangeProperty(display_, root_, active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&window_), 1);
    XSelectInput(display_, root_, SubstructureNotifyMask);
    XSync(display_, False);

    const auto request = [&]() -> std::optional<XClientMessageEvent> {
        const auto event = nextEvent([](const XEvent& e) { return e.type == ClientMessage; });
        return event ? std::optional<XClientMessageEvent>(event->xclient) : std::nullopt;
    };
    stroke(0x08050000);
    auto message = request();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->message_type, XInternAtom(display_, "_NET_CLOSE_WINDOW", False));
    EXPECT_EQ(message->window, window_);

    stroke(0x08050001);
    message = request();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->message_type, XInternAtom(display_, "WM_CHANGE_STATE", False));
    EXPECT_EQ(message->window, window_);
    EXPECT_EQ(message->data.l[0], IconicState);

    stroke(0x08050002);
    message = request();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->message_type, XInternAtom(display_, "_NET_WM_STATE", False));
    EXPECT_EQ(message->window, window_);
    EXPECT_EQ(message->data.l[0], 2) << "toggles, as a maximise button does";
    EXPECT_EQ(Atom(message->data.l[1]), XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False));
    EXPECT_EQ(Atom(message->data.l[2]), XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False));

    // One request per command, none for the key up.
    // Events arrive in the order the receiver caused them, so any request
    // from a key up would come before this key.
    stroke(XK_Return);
    int extra = 0;
    ASSERT_TRUE(nextEvent([&](const XEvent& e) {
        extra += e.type == ClientMessage;
        return e.type == KeyPress;
    }));
    EXPECT_EQ(extra, 0);
}

TEST_F(XTestReceiver, WhatAClientHeldIsLetGoWhenItDisconnects)
{
    send(keyboardPacket(1, XK_Shift_L));
    send(keyboardPacket(1, XK_Control_L));
    send(keyboardPacket(1, XK_Q));
    send(keyboardPacket(1, XK_Q)); // a held key repeats its key down
    send(mousePacket(1 | 4, 0, 0));
    unsigned mask = 0;
    ASSERT_TRUE(eventually([&] {
        pointer(&mask);
        return keyIsDown(XK_Shift_L) && keyIsDown(XK_Control_L) && keyIsDown(XK_q) && (mask & Button1Mask)
               && (mask & Button3Mask);
    }));

    client_.reset();
    EXPECT_TRUE(eventually([&] {
        pointer(&mask);
        return !keyIsDown(XK_Shift_L) && !keyIsDown(XK_Control_L) && !keyIsDown(XK_q)
               && !(mask & (Button1Mask | Button2Mask | Button3Mask));
    })) << "still held after the disconnect";
}

TEST_F(XTestReceiver, ClientsWithoutAnAcceptedLoginMoveNothing)
{
    const auto start = pointer();
    UniqueFd early = connectToLoopback(receiver_->sessionPort());
    ASSERT_TRUE(sendAll(early.get(), mousePacket(1, 50, 50) + keyboardPacket(1, XK_Shift_L)));
    ASSERT_TRUE(receiver_->waitForNotice("input before the login ignored"));
    UniqueFd refused = connectToLoopback(receiver_->sessionPort());
    ASSERT_TRUE(sendAll(refused.get(), loginPacket("guess")));
    ASSERT_EQ(receiveExactly(refused.get(), loginReply(1).size()), std::optional<Bytes>(loginReply(1)));
    ASSERT_TRUE(sendAll(refused.get(), mousePacket(4, -50, 50)));
    ASSERT_TRUE(receiver_->waitForNotice("input of a refused login ignored"));

    // The logged-in phone's movement is the only one that counts.
    send(mousePacket(0, 1, 1));
    EXPECT_TRUE(eventually([&] { return pointer() == std::make_pair(start.first + 1, start.second + 1); }))
        << pointer().first << "," << pointer().second;
    unsigned mask = 0;
    pointer(&mask);
    EXPECT_EQ(mask & (Button1Mask | Button3Mask | ShiftMask), 0u);
}

TEST_F(XTestReceiver, WhenTheDisplayGoesTheReceiverEndsAsAtAHangUp)
{
    // The session it served is over: a failure status would have the user
    // unit start it again and again on a display that is gone.
    XCloseDisplay(display_);
    display_ = nullptr;
    xvfb_.reset();
    EXPECT_EQ(receiver_->waitForExit(), kExitStopped) << receiver_->errors();
    EXPECT_NE(receiver_->errors().find("lost the connection to the X display (the session has ended); stopping"),
              std::string::npos)
        << receiver_->errors();
}
