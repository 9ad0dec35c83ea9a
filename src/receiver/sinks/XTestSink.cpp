// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/XTestSink.h"

#include "common/ExitStatus.h"
#include "common/Notice.h"
#include "sinks/XRequestSend.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <poll.h>
#include <thread>

namespace {

// Xlib's default handler ends the process on any protocol error, such as a
// window that closed between finding it and acting on it. An error costs one
// event, never the receiver.
int noteXError(Display* display, XErrorEvent* event)
{
    char text[256] = {};
    XGetErrorText(display, event->error_code, text, sizeof text - 1);
    notice(std::string("X error ignored: ") + text);
    return 0;
}

// Xlib would end the process with status 1 once this returns, and the user
// unit would start it again and again on a display that is gone. The
// display closing ends the session it served: the receiver ends as it does
// at a hang-up, and the next login starts it again.
int noteLostDisplay(Display*)
{
    notice("lost the connection to the X display (the session has ended); stopping");
    noticeOutput().flush();
    std::_Exit(kExitStopped);
}

// An application reads the keymap when it handles a key, which may be a
// moment after the key went up: a lent key code just used is bound to
// another keysym only after this rest, so that such a key still reads as
// what it typed.
constexpr auto kLentKeyRest = std::chrono::milliseconds(100);

// _NET_WM_STATE actions and the source indication of a request coming from
// a tool rather than an application.
constexpr long kToggleState = 2;
constexpr long kSourceTool = 2;

} // namespace

std::unique_ptr<XTestSink> XTestSink::open(std::string& error)
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        error = "no X display: DISPLAY is not set";
        return nullptr;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        error = std::string("cannot open the X display '") + name + "'";
        return nullptr;
    }
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display);
        error = std::string("the X display '") + name + "' lacks the XTEST extension";
        return nullptr;
    }
    XSetErrorHandler(noteXError);
    XSetIOErrorHandler(noteLostDisplay);
    // Our own fake events must not be held back while another client grabs
    // the server.
    XTestGrabControl(display, True);
    return std::unique_ptr<XTestSink>(new XTestSink(display));
}

XTestSink::XTestSink(_XDisplay* display)
    : display_(display)
{
}

XTestSink::~XTestSink()
{
    releaseHeld();
    XCloseDisplay(display_);
}

XTestSink::PressedKey XTestSink::keyFor(uint32_t keysym) const
{
    const KeyCode keycode = XKeysymToKeycode(display_, keysym);
    if (keycode == 0)
        return {};
    // The letters A to Z are the letter keys: the phone holds Shift itself
    // when it means it.
    if (keysym >= XK_A && keysym <= XK_Z)
        return {keycode, false};
    unsigned consumed = 0;
    KeySym typed = NoSymbol;
    if (XkbLookupKeySym(display_, keycode, 0, &consumed, &typed) && typed == keysym)
        return {keycode, false};
    // "@" on a US keymap is Shift and "2". The keypad's digits are never
    // taken from the second level, which Num Lock selects: the phone's
    // keypad "5" must type 5 either way, so it is lent a key of its own.
    if (!IsKeypadKey(keysym) && XKeysymToKeycode(display_, XK_Shift_L) != 0
        && XkbLookupKeySym(display_, keycode, ShiftMask, &consumed, &typed) && typed == keysym)
        return {keycode, true};
    // On a level of AltGr or of another group: a lent key types it as it is.
    return {};
}

bool XTestSink::shiftIsDown() const
{
    for (const auto& [keysym, key] : down_) {
        if (keysym == XK_Shift_L || keysym == XK_Shift_R || key.withShift)
            return true;
    }
    return false;
}

bool XTestSink::pressKey(uint32_t keysym, bool down)
{
    const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
    const auto lent = lentKeycodes_.find(keysym);
    if (lent != lentKeycodes_.end())
        lent->second.lastUsed = Clock::now();
    if (!down) {
        const auto held = down_.find(keysym);
        if (held == down_.end())
            return false;
        XTestFakeKeyEvent(display_, held->second.keycode, False, CurrentTime);
        const bool releaseShift = held->second.withShift;
        down_.erase(held);
        if (releaseShift && !shiftIsDown())
            XTestFakeKeyEvent(display_, shift, False, CurrentTime);
        return true;
    }
    // A repeated key down of a held key presses it again, as the server's
    // own repeat does; Shift, if it needed it, is still down.
    if (const auto held = down_.find(keysym); held != down_.end()) {
        XTestFakeKeyEvent(display_, held->second.keycode, True, CurrentTime);
        return true;
    }
    // A keymap change that the X library read while it wrote a batch (so
    // that the loop saw nothing left to read) is taken in before the keymap
    // is asked: one read a key press, none a movement.
    if (XEventsQueued(display_, QueuedAfterReading) > 0)
        handleQueuedEvents();
    PressedKey key;
    if (lent != lentKeycodes_.end())
        key.keycode = lent->second.keycode;
    else
        key = keyFor(keysym);
    if (key.keycode == 0)
        key.keycode = lendKeycode(keysym);
    if (key.keycode == 0)
        return false;
    // Shift that the phone holds already does for the key as well.
    key.withShift = key.withShift && !shiftIsDown();
    if (key.withShift)
        XTestFakeKeyEvent(display_, shift, True, CurrentTime);
    XTestFakeKeyEvent(display_, key.keycode, True, CurrentTime);
    down_[keysym] = key;
    return true;
}

unsigned XTestSink::lendKeycode(uint32_t keysym)
{
    unsigned keycode = spareKeycode();
    if (keycode == 0) {
        // Every spare code is lent: take back the one used longest ago, of
        // the keysyms not held now.
        auto oldest = lentKeycodes_.end();
        for (auto lent = lentKeycodes_.begin(); lent != lentKeycodes_.end(); ++lent) {
            if (!down_.count(lent->first)
                && (oldest == lentKeycodes_.end() || lent->second.lastUsed < oldest->second.lastUsed))
                oldest = lent;
        }
        if (oldest == lentKeycodes_.end())
            return 0;
        // The wait is bounded by the rest, and only a client that types
        // more different missing characters than there are spare codes, in
        // quick succession, ever waits.
        XSync(display_, False);
        std::this_thread::sleep_until(oldest->second.lastUsed + kLentKeyRest);
        keycode = oldest->second.keycode;
        lentKeycodes_.erase(oldest);
    }
    setKeycodeMapping(keycode, keysym);
    lentKeycodes_[keysym] = LentKey{keycode, Clock::now()};
    return keycode;
}

void XTestSink::releaseHeld()
{
    DeviceSink::releaseHeld();
    // Lent codes stay bound while the client drives: an application reads
    // the keymap when it handles a key, which may be well after the key
    // went up, and must still find the keysym there.
    for (const auto& [keysym, lent] : lentKeycodes_)
        setKeycodeMapping(lent.keycode, NoSymbol);
    lentKeycodes_.clear();
}

unsigned XTestSink::spareKeycode() const
{
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(display_, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym* map = XGetKeyboardMapping(display_, KeyCode(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    if (!map)
        return 0;
    unsigned spare = 0;
    // From the top: the highest codes are the least likely to be on a real key.
    for (int keycode = maxKeycode; keycode >= minKeycode && spare == 0; --keycode) {
        bool empty = true;
        for (int i = 0; i < perKeycode && empty; ++i)
            empty = map[(keycode - minKeycode) * perKeycode + i] == NoSymbol;
        bool inUse = false;
        for (const auto& [keysym, lent] : lentKeycodes_)
            inUse = inUse || lent.keycode == unsigned(keycode);
        if (empty && !inUse)
            spare = unsigned(keycode);
    }
    XFree(map);
    return spare;
}

void XTestSink::setKeycodeMapping(unsigned keycode, unsigned long keysym)
{
    KeySym symbols[2] = {keysym, keysym};
    XChangeKeyboardMapping(display_, int(keycode), 2, symbols, 1);
    XSync(display_, False);
}

void XTestSink::pressButton(MouseButton button, bool down)
{
    const unsigned number = button == MouseButton::Left ? 1 : button == MouseButton::Middle ? 2 : 3;
    XTestFakeButtonEvent(display_, number, down, CurrentTime);
}

void XTestSink::moveBy(int dx, int dy)
{
    XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
}

void XTestSink::scrollStep(bool up)
{
    const unsigned number = up ? 4 : 5;
    XTestFakeButtonEvent(display_, number, True, CurrentTime);
    XTestFakeButtonEvent(display_, number, False, CurrentTime);
}

unsigned long XTestSink::activeWindow() const
{
    const Atom property = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window window = 0;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), property, 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &after, &data)
            == Success
        && data) {
        if (type == XA_WINDOW && format == 32 && count == 1)
            window = *reinterpret_cast<Window*>(data);
        XFree(data);
    }
    return window;
}

void XTestSink::sendToWindowManager(unsigned long window, const char* messageType, const long (&data)[5])
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, messageType, False);
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i)
        event.xclient.data.l[i] = data[i];
    XSendEvent(display_, DefaultRootWindow(display_), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
}

void XTestSink::runWindowCommand(WindowCommand command)
{
    const Window window = activeWindow();
    if (window == 0) {
        // No window manager that speaks the desktop conventions: the keys are
        // the best remaining way to reach it.
        DeviceSink::runWindowCommand(command);
        return;
    }
    switch (command) {
    case WindowCommand::Close:
        sendToWindowManager(window, "_NET_CLOSE_WINDOW", {CurrentTime, kSourceTool, 0, 0, 0});
        break;
    case WindowCommand::Minimise:
        XIconifyWindow(display_, window, DefaultScreen(display_));
        break;
    case WindowCommand::Maximise: {
        const long vertical = long(XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False));
        const long horizontal = long(XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
        sendToWindowManager(window, "_NET_WM_STATE", {kToggleState, vertical, horizontal, kSourceTool, 0});
        break;
    }
    }
}

void XTestSink::endOfBatch()
{
    sendQueuedXRequests(display_);
    handleQueuedEvents();
}

InputSink::PollRequest XTestSink::pollRequest() const
{
    PollRequest request;
    request.fd = ConnectionNumber(display_);
    request.events = POLLIN;
    return request;
}

bool XTestSink::handlePoll(short revents)
{
    // XPending reads what has arrived; a lost display ends the process in
    // Xlib's handler, after its notice.
    if (revents && XPending(display_) > 0)
        handleQueuedEvents();
    return true;
}

void XTestSink::handleQueuedEvents()
{
    // Nothing is selected, but keymap changes are announced to every client:
    // handling them keeps Xlib's copy of the keymap current. Replies to our
    // own requests may have brought some in already.
    while (XEventsQueued(display_, QueuedAlready) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify)
            XRefreshKeyboardMapping(&event.xmapping);
    }
}

bool XTestSink::serverIsXwayland() const
{
    // Xwayland has its own extension since version 21.1; older ones name
    // their input devices after it, which only XInput would tell.
    int opcode = 0, eventBase = 0, errorBase = 0;
    return XQueryExtension(display_, "XWAYLAND", &opcode, &eventBase, &errorBase);
}
