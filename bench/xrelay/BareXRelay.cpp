// SPDX-License-Identifier: GPL-3.0-or-later
#include "xrelay/BareXRelay.h"

#include "WireFormat.h"
#include "support/ChildCpuTime.h"
#include "support/LoopbackSockets.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
// For _XSend, which writes Xlib's queued requests without the read XFlush adds.
#include <X11/Xlibint.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The child's life: relays until the socket ends.
void relay(Display* display, int in)
{
    uint8_t packets[4096];
    std::size_t held = 0;
    for (;;) {
        const ssize_t got = ::recv(in, packets + held, sizeof packets - held, 0);
        if (got <= 0)
            return;
        held += std::size_t(got);
        std::size_t at = 0;
        for (; held - at >= REMOTE_MOUSE_PACKET_SIZE; at += REMOTE_MOUSE_PACKET_SIZE) {
            const uint8_t* packet = packets + at;
            XTestFakeRelativeMotionEvent(display, int16_t(packet[2] | packet[3] << 8),
                                         int16_t(packet[4] | packet[5] << 8), CurrentTime);
        }
        held -= at;
        for (std::size_t i = 0; i < held; ++i)
            packets[i] = packets[at + i];
        LockDisplay(display);
        _XSend(display, nullptr, 0);
        UnlockDisplay(display);
    }
}

} // namespace

BareXRelay::BareXRelay(const std::string& displayName)
{
    const UniqueFd listener = listeningOnLoopback(1);
    sender_ = connectToLoopback(localPort(listener.get()), /*noDelay=*/true);
    const UniqueFd in(::accept(listener.get(), nullptr, nullptr));
    int ready[2];
    if (!in.valid() || pipe2(ready, O_CLOEXEC) != 0) {
        sender_.reset();
        return;
    }
    const UniqueFd readyRead(ready[0]);
    UniqueFd readyWrite(ready[1]);
    child_ = fork();
    if (child_ == 0) {
        sender_.reset();
        Display* display = XOpenDisplay(displayName.c_str());
        const char connected = display ? 1 : 0;
        [[maybe_unused]] const ssize_t told = ::write(readyWrite.get(), &connected, 1);
        readyWrite.reset();
        if (display)
            relay(display, in.get());
        _exit(0);
    }
    readyWrite.reset();
    char connected = 0;
    if (child_ < 0 || !waitUntilReadable(readyRead.get()) || ::read(readyRead.get(), &connected, 1) != 1
        || !connected)
        sender_.reset();
}

BareXRelay::~BareXRelay()
{
    sender_.reset(); // the relay reads the end and stops
    if (child_ > 0) {
        int status = 0;
        waitpid(child_, &status, 0);
    }
}

std::chrono::nanoseconds BareXRelay::cpuTime() const
{
    return bench::cpuTimeOf(child_);
}
