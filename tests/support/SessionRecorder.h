// SPDX-License-Identifier: GPL-3.0-or-later
// SessionRecorder: the app's session, logged in securely to a receiver
// double on 127.0.0.1, and the input packets the screens sent through it (as
// the double opened them from their records).
//
// takePackets() answers "what was sent since the last call" exactly, without
// waiting for silence: it sends a sentinel packet through the same session
// and reads up to it. The session socket is blocking and ordered, so every
// packet a screen sent before the call arrives before the sentinel.
#pragma once

#include "support/ReceiverDouble.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

// One keyboard or mouse packet as the receiver saw it.
struct SentPacket {
    enum class Kind { Keyboard, Mouse };
    Kind kind = Kind::Keyboard;
    int state = 0;        // keyboard: 1 down, 0 up
    uint32_t keyCode = 0; // keyboard
    int buttons = 0;      // mouse
    int dx = 0;           // mouse
    int dy = 0;           // mouse

    static SentPacket key(int state, uint32_t keyCode);
    static SentPacket keyDown(uint32_t keyCode) { return key(1, keyCode); }
    static SentPacket keyUp(uint32_t keyCode) { return key(0, keyCode); }
    static SentPacket mouse(int buttons, int dx = 0, int dy = 0);

    bool operator==(const SentPacket& other) const;
    bool operator!=(const SentPacket& other) const { return !(*this == other); }
};
using SentPackets = std::vector<SentPacket>;

// Readable failures: key(down 0x41), mouse(buttons 1, dx -3, dy 5).
std::ostream& operator<<(std::ostream& out, const SentPacket& packet);

class SessionRecorder {
public:
    // Starts the double and connects the app's session to it; connected()
    // tells whether the login went through.
    SessionRecorder();
    // Leaves the app with no session, so that the next test starts clean.
    ~SessionRecorder();
    SessionRecorder(const SessionRecorder&) = delete;
    SessionRecorder& operator=(const SessionRecorder&) = delete;

    bool connected() const { return connected_; }

    // The packets sent since the previous call (or since the login). An
    // empty list means nothing was sent. Fails the running test if the bytes
    // on the wire are not whole packets.
    SentPackets takePackets();

    // Makes the receiver go away, as a computer that was switched off: the
    // app notices at its next send.
    void receiverGoesAway();

private:
    std::unique_ptr<ReceiverDouble> receiver_;
    bool connected_ = false;
    size_t consumed_ = 0; // bytes of the recording already handed out
};

// Closes the app's session, if any, so that remote_is_connected() is 0.
void closeAppSession();
