// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/XClipboardOwner.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace e2e {

XClipboardOwner::XClipboardOwner(const std::string& displayName, const QByteArray& utf8Text)
    : display_(XOpenDisplay(displayName.c_str())), text_(utf8Text)
{
    if (!display_ || pipe2(wake_, O_CLOEXEC) != 0)
        return;
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display_, "CLIPBOARD", False);
    XSetSelectionOwner(display_, clipboard, window_, CurrentTime);
    XSync(display_, False);
    owning_ = XGetSelectionOwner(display_, clipboard) == window_;
    // From here on only the thread uses the connection.
    thread_ = std::thread([this] { serve(); });
}

XClipboardOwner::~XClipboardOwner()
{
    if (thread_.joinable()) {
        const char stop = 0;
        (void)!write(wake_[1], &stop, 1);
        thread_.join();
    }
    for (int fd : wake_)
        if (fd >= 0)
            close(fd);
    if (display_)
        XCloseDisplay(display_);
}

void XClipboardOwner::serve()
{
    const Atom targets = XInternAtom(display_, "TARGETS", False);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    for (;;) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != SelectionRequest)
                continue;
            const XSelectionRequestEvent& request = event.xselectionrequest;
            XSelectionEvent reply{};
            reply.type = SelectionNotify;
            reply.requestor = request.requestor;
            reply.selection = request.selection;
            reply.target = request.target;
            reply.time = request.time;
            reply.property = None;
            // Clients of old may name no property: the target is then the one.
            const Atom property = request.property != None ? request.property : request.target;
            if (request.target == targets) {
                const Atom forms[] = {targets, utf8};
                XChangeProperty(display_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(forms), 2);
                reply.property = property;
            } else if (request.target == utf8) {
                XChangeProperty(display_, request.requestor, property, utf8, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(text_.constData()), int(text_.size()));
                reply.property = property;
            }
            XSendEvent(display_, request.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
            XFlush(display_);
        }
        pollfd ready[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        poll(ready, 2, -1);
        if (ready[1].revents)
            return;
    }
}

} // namespace e2e
