// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/XAppWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>
#include <thread>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollStep = std::chrono::milliseconds(20);
constexpr int kColorTolerance = 8;

// The _NET_WM_PID of a window, or 0.
pid_t processOf(Display* display, Window window)
{
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
    if (pidAtom == None)
        return 0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    pid_t pid = 0;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data)
            == Success
        && data && format == 32 && count == 1)
        pid = pid_t(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

// The shift that brings a colour mask's bits down to bit 0, and their width.
void maskBits(unsigned long mask, int& shift, int& width)
{
    shift = 0;
    width = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++width;
    }
}

int channel(unsigned long pixel, int shift, int width)
{
    if (width == 0)
        return 0;
    const unsigned long value = (pixel >> shift) & ((1UL << width) - 1);
    return int(value * 255 / ((1UL << width) - 1));
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= kColorTolerance && std::abs(qGreen(a) - qGreen(b)) <= kColorTolerance
           && std::abs(qBlue(a) - qBlue(b)) <= kColorTolerance;
}

} // namespace

XAppWindow::XAppWindow(const std::string& displayName) : display_(XOpenDisplay(displayName.c_str())) {}

XAppWindow::~XAppWindow()
{
    if (display_) {
        XTestFakeButtonEvent(display_, 1, False, CurrentTime); // never leave the button held
        XCloseDisplay(display_);
    }
}

bool XAppWindow::waitForWindow(pid_t pid, Milliseconds wait)
{
    if (!display_)
        return false;
    const auto deadline = Clock::now() + wait;
    while (Clock::now() < deadline) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !window_; ++i) {
                XWindowAttributes attributes;
                // Qt keeps 1 x 1 helper windows of its own beside the real one.
                if (processOf(display_, children[i]) == pid && XGetWindowAttributes(display_, children[i], &attributes)
                    && attributes.map_state == IsViewable && attributes.width > 1)
                    window_ = children[i];
            }
            if (children)
                XFree(children);
        }
        if (window_)
            return true;
        std::this_thread::sleep_for(kPollStep);
    }
    return false;
}

QSize XAppWindow::size() const
{
    XWindowAttributes attributes;
    if (!display_ || !window_ || !XGetWindowAttributes(display_, window_, &attributes))
        return {};
    return {attributes.width, attributes.height};
}

bool XAppWindow::waitForSize(const QSize& wanted, Milliseconds wait) const
{
    const auto deadline = Clock::now() + wait;
    while (size() != wanted) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(kPollStep);
    }
    return true;
}

QPoint XAppWindow::onRoot(const QPoint& at) const
{
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), at.x(), at.y(), &x, &y, &child);
    return {x, y};
}

void XAppWindow::moveTo(const QPoint& at)
{
    const QPoint root = onRoot(at);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), root.x(), root.y(), CurrentTime);
    XSync(display_, False);
}

void XAppWindow::press()
{
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XSync(display_, False);
}

void XAppWindow::release()
{
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XSync(display_, False);
}

void XAppWindow::pause(Milliseconds length)
{
    std::this_thread::sleep_for(length);
}

void XAppWindow::tap(const QPoint& at)
{
    moveTo(at);
    pause(Milliseconds(20));
    press();
    pause(Milliseconds(40));
    release();
}

void XAppWindow::drag(const QPoint& from, const QPoint& to, int steps)
{
    moveTo(from);
    pause(Milliseconds(20));
    press();
    pause(Milliseconds(40));
    for (int i = 1; i <= steps; ++i) {
        moveTo(from + (to - from) * i / steps);
        pause(Milliseconds(15));
    }
    pause(Milliseconds(40));
    release();
}

void XAppWindow::focus()
{
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XSync(display_, False);
}

QImage XAppWindow::capture() const
{
    const QSize extent = size();
    if (extent.isEmpty())
        return {};
    XImage* shot = XGetImage(display_, window_, 0, 0, unsigned(extent.width()), unsigned(extent.height()), AllPlanes,
                             ZPixmap);
    if (!shot)
        return {};
    int redShift, redWidth, greenShift, greenWidth, blueShift, blueWidth;
    maskBits(shot->red_mask, redShift, redWidth);
    maskBits(shot->green_mask, greenShift, greenWidth);
    maskBits(shot->blue_mask, blueShift, blueWidth);
    QImage image(extent, QImage::Format_RGB32);
    for (int y = 0; y < extent.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < extent.width(); ++x) {
            const unsigned long pixel = XGetPixel(shot, x, y);
            line[x] = qRgb(channel(pixel, redShift, redWidth), channel(pixel, greenShift, greenWidth),
                           channel(pixel, blueShift, blueWidth));
        }
    }
    XDestroyImage(shot);
    return image;
}

std::size_t XAppWindow::missedLandmarks(const QImage& image, const std::vector<Landmark>& landmarks)
{
    std::size_t missed = 0;
    for (const Landmark& landmark : landmarks)
        if (!image.rect().contains(landmark.at) || !near(image.pixel(landmark.at), landmark.color))
            ++missed;
    return missed;
}

std::optional<QImage> XAppWindow::waitUntilShows(const std::vector<Landmark>& landmarks, Milliseconds wait) const
{
    const auto deadline = Clock::now() + wait;
    for (;;) {
        QImage image = capture();
        // A few points may differ for good: a focused field shows its clear
        // button, the pointer rests on a control.
        if (!image.isNull() && missedLandmarks(image, landmarks) <= landmarks.size() / 50)
            return image;
        if (Clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(kPollStep);
    }
}

} // namespace e2e
