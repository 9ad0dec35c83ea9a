// SPDX-License-Identifier: GPL-3.0-or-later
// x_text_reader: a window on the X display in $DISPLAY that takes the
// keyboard focus and writes on standard output, line by line, the text typed
// into it as the X server's own key events say: each key press read with
// Xutf8LookupString through Xlib's built-in input method, so that every
// keysym reads as its character (Unicode keysyms and keys lent to them
// included). BackSpace takes back the last character; Return ends the line.
// It writes "ready" once it has the focus, and ends when its standard input
// closes. The end-to-end tests run it as the computer's application.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <clocale>
#include <cstdio>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

// Drops the last UTF-8 character of `line`.
void eraseLastCharacter(std::string& line)
{
    while (!line.empty()) {
        const unsigned char last = static_cast<unsigned char>(line.back());
        line.pop_back();
        if ((last & 0xC0) != 0x80)
            break;
    }
}

} // namespace

int main()
{
    std::setlocale(LC_ALL, "C.UTF-8");
    XSetLocaleModifiers("@im=none");
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x_text_reader: cannot open the display\n");
        return 1;
    }
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 320, 80, 0, 0, 0);
    XSelectInput(display, window, KeyPressMask | StructureNotifyMask);
    XMapWindow(display, window);
    for (XEvent event; XNextEvent(display, &event), event.type != MapNotify;) {
    }
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XIM method = XOpenIM(display, nullptr, nullptr, nullptr);
    XIC context = method ? XCreateIC(method, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                                     window, XNFocusWindow, window, nullptr)
                         : nullptr;
    if (!context) {
        std::fprintf(stderr, "x_text_reader: no input context for UTF-8\n");
        return 1;
    }
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);

    std::string line;
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            // A key lent to a keysym after this client read the keymap must
            // read as that keysym, as in every application.
            if (event.type == MappingNotify)
                XRefreshKeyboardMapping(&event.xmapping);
            if (event.type != KeyPress || XFilterEvent(&event, None))
                continue;
            char text[64];
            KeySym keysym = NoSymbol;
            Status status = 0;
            const int length = Xutf8LookupString(context, &event.xkey, text, sizeof text, &keysym, &status);
            if (keysym == XK_Return) {
                std::printf("%s\n", line.c_str());
                std::fflush(stdout);
                line.clear();
            } else if (keysym == XK_BackSpace) {
                eraseLastCharacter(line);
            } else if ((status == XLookupChars || status == XLookupBoth) && length > 0) {
                line.append(text, std::size_t(length));
            }
        }
        pollfd ready[2] = {{ConnectionNumber(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        poll(ready, 2, -1);
        char byte;
        if (ready[1].revents && read(STDIN_FILENO, &byte, 1) <= 0)
            break;
    }
    XDestroyIC(context);
    XCloseIM(method);
    XCloseDisplay(display);
    return 0;
}
