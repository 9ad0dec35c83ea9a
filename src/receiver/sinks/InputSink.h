// SPDX-License-Identifier: GPL-3.0-or-later
// Where the receiver delivers what its clients do: connections coming and
// going, login answers, and the keyboard and mouse events of accepted
// sessions. One sink serves every connection; events reach it in the order
// they arrived on the wire. Each back end is one class in this folder;
// docs/ARCHITECTURE.md ("Adding a sink") says how to add one.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class InputSink {
public:
    virtual ~InputSink() = default;

    // A client connected from `peer` ("address:port").
    virtual void connected(const std::string& peer) = 0;
    // The receiver answered a client's login.
    virtual void loginAnswered(bool accepted) = 0;
    // A key went down (state 1) or up (state 0).
    virtual void keyboard(uint8_t state, uint32_t keycode) = 0;
    // The whole button state and a relative movement, y growing downwards.
    virtual void mouse(uint8_t buttons, int16_t dx, int16_t dy) = 0;
    // A client's connection ended, for whatever reason.
    virtual void disconnected() = 0;
    // The client that drives the input is going away (its connection ended
    // or a newer login took over): let go of every key and button it still
    // holds, so that a dropped phone never leaves Shift or a button stuck.
    virtual void releaseHeld() {}

    // Everything read in one turn of the receiver's loop has been handed
    // over: a sink that queues its output sends it now, once per batch
    // rather than once per event.
    virtual void endOfBatch() {}

    // A sink that talks to a server (an X display, the session bus) has the
    // receiver's loop watch its connection, so that it never blocks on it.
    struct PollRequest {
        int fd = -1;      // -1: nothing to watch
        short events = 0; // POLLIN, POLLOUT
        std::optional<std::chrono::milliseconds> timeout; // wake up by then at the latest
    };
    virtual PollRequest pollRequest() const { return {}; }
    // What poll reported for that descriptor (0 when it woke for another
    // reason). False when the sink can no longer make input at all; the
    // receiver then stops (see permissionWithheld).
    virtual bool handlePoll(short revents)
    {
        (void)revents;
        return true;
    }
    // Whether the sink stopped because the user refused the desktop's
    // permission dialog or left it unanswered: the receiver then stops for
    // good (status 3) rather than with a failure that a restart may mend.
    virtual bool permissionWithheld() const { return false; }
};
