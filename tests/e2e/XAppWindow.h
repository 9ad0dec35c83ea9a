// SPDX-License-Identifier: GPL-3.0-or-later
// The app's window on a private X server, used as a person uses it: the
// pointer is moved and its button pressed through XTest at points of the
// window, with a person's pauses in between, and what the server shows is
// read back as pixels. Nothing reaches the app but what the X server sends it.
#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct _XDisplay;

namespace e2e {

// A point of a screen as the app draws it, where the colour is flat all
// around (so that text and edges, which may be drawn a little differently,
// are left out).
struct Landmark {
    QPoint at;
    QRgb color;
};

class XAppWindow {
public:
    using Milliseconds = std::chrono::milliseconds;

    // Connects to the display (":N"); valid() tells whether it could.
    explicit XAppWindow(const std::string& displayName);
    ~XAppWindow();
    XAppWindow(const XAppWindow&) = delete;
    XAppWindow& operator=(const XAppWindow&) = delete;

    bool valid() const { return display_ != nullptr; }

    // Waits (bounded) for the mapped top-level window of process `pid`.
    bool waitForWindow(pid_t pid, Milliseconds wait);
    // The window's size in pixels, as the server has it now.
    QSize size() const;
    bool waitForSize(const QSize& size, Milliseconds wait) const;

    // The pointer, at points of the window (one point is one pixel: the app
    // runs with --scale 1). Each call is flushed to the server at once.
    void moveTo(const QPoint& at);
    void press();
    void release();
    void pause(Milliseconds length);
    // Down and up where it is, as a quick tap of a finger (40 ms).
    void tap(const QPoint& at);
    // Down at `from`, a slide in small steps to `to`, up there.
    void drag(const QPoint& from, const QPoint& to, int steps = 12);
    // Gives the window the keyboard focus, as a window manager does for the
    // window a person clicked.
    void focus();

    // What the server shows of the window now (empty when it cannot tell).
    QImage capture() const;
    // Waits until the window shows the landmarks (within a small colour
    // tolerance; 2 % of them may differ) and returns that capture; nothing
    // when it never does.
    std::optional<QImage> waitUntilShows(const std::vector<Landmark>& landmarks, Milliseconds wait) const;
    // How many landmarks an image misses.
    static std::size_t missedLandmarks(const QImage& image, const std::vector<Landmark>& landmarks);

private:
    QPoint onRoot(const QPoint& at) const;

    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
};

} // namespace e2e
