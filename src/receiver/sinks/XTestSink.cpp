// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/XTestSink.h"

#include "common/ExitStatus.h"
#include "common/Notice.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <poll.h>

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

unsigned XTestSink::keycodeFor(uint32_t keysym) const
{
    const unsigned keycode = XKeysymToKeycode(display_, keysym);
    // The keypad's digits and decimal point are the second level of their
    // keys, reached only with Num Lock on; the phone's keypad "5" must type 5
    // either way, so such a keysym is treated as missing and lent a key of
    // its own.
    if (keycode != 0 && IsKeypadKey(keysym) && XkbKeycodeToKeysym(display_, KeyCode(keycode), 0, 0) != keysym)
        return 0;
    return keycode;
}

bool XTestSink::pressKey(uint32_t keysym, bool down)
{
    unsigned keycode = 0;
    if (const auto lent = lentKeycodes_.find(keysym); lent != lentKeycodes_.end())
        keycode = lent->second;
    else
        keycode = keycodeFor(keysym);
    if (keycode == 0) {
        if (!down)
            return false;
        keycode = lendKeycode(keysym);
        if (keycode == 0)
            return false;
    }
    if (lentKeycodes_.count(keysym)) {
        if (down)
            lentDown_.insert(keysym);
        else
            lentDown_.erase(keysym);
    }
    XTestFakeKeyEvent(display_, keycode, down, CurrentTime);
    return true;
}

unsigned XTestSink::lendKeycode(uint32_t keysym)
{
    unsigned keycode = spareKeycode();
    if (keycode == 0) {
        // Every spare code is lent: take one back from a keysym not held now.
        for (auto lent = lentKeycodes_.begin(); lent != lentKeycodes_.end(); ++lent) {
            if (!lentDown_.count(lent->first)) {
                keycode = lent->second;
                lentKeycodes_.erase(lent);
                break;
            }
        }
    }
    if (keycode == 0)
        return 0;
    setKeycodeMapping(keycode, keysym);
    lentKeycodes_[keysym] = keycode;
    return keycode;
}

void XTestSink::releaseHeld()
{
    DeviceSink::releaseHeld();
    // Lent codes stay bound while the client drives: an application reads
    // the keymap when it handles a key, which may be well after the key
    // went up, and must still find the keysym there.
    for (const auto& [keysym, keycode] : lentKeycodes_)
        setKeycodeMapping(keycode, NoSymbol);
    lentKeycodes_.clear();
    lentDown_.clear();
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
        for (const auto& [keysym, code] : lentKeycodes_)
            inUse = inUse || code == unsigned(keycode);
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
    XFlush(display_);
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
