// SPDX-License-Identifier: GPL-3.0-or-later
#include "xrelay/BareXRelay.h"

#include "WireFormat.h"
#include "support/LoopbackSockets.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
// For _XSend, which writes Xlib's queued requests without the read XFlush adds.
#include <X11/Xlibint.h>

#include <pthread.h>
#include <sys/socket.h>
#include <time.h>

BareXRelay::BareXRelay(const std::string& displayName)
    : display_(XOpenDisplay(displayName.c_str()))
{
    if (!display_)
        return;
    const UniqueFd listener = listeningOnLoopback(1);
    sender_ = connectToLoopback(localPort(listener.get()), /*noDelay=*/true);
    in_.reset(::accept(listener.get(), nullptr, nullptr));
    thread_ = std::thread([this] { run(); });
}

BareXRelay::~BareXRelay()
{
    sender_.reset(); // the relay reads the end and stops
    if (thread_.joinable())
        thread_.join();
    if (display_)
        XCloseDisplay(display_);
}

std::chrono::nanoseconds BareXRelay::cpuTime()
{
    clockid_t clock{};
    timespec now{};
    if (pthread_getcpuclockid(thread_.native_handle(), &clock) != 0 || clock_gettime(clock, &now) != 0)
        return {};
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

void BareXRelay::run()
{
    uint8_t packets[4096];
    std::size_t held = 0;
    for (;;) {
        const ssize_t got = ::recv(in_.get(), packets + held, sizeof packets - held, 0);
        if (got <= 0)
            return;
        held += std::size_t(got);
        std::size_t at = 0;
        for (; held - at >= REMOTE_MOUSE_PACKET_SIZE; at += REMOTE_MOUSE_PACKET_SIZE) {
            const uint8_t* packet = packets + at;
            XTestFakeRelativeMotionEvent(display_, int16_t(packet[2] | packet[3] << 8),
                                         int16_t(packet[4] | packet[5] << 8), CurrentTime);
        }
        held -= at;
        for (std::size_t i = 0; i < held; ++i)
            packets[i] = packets[at + i];
        LockDisplay(display_);
        _XSend(display_, nullptr, 0);
        UnlockDisplay(display_);
    }
}
