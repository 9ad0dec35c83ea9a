// Where the receiver delivers what its clients do: connections coming and
// going, login answers, and the keyboard and mouse events of accepted
// sessions. One sink serves every connection; events reach it in the order
// they arrived on the wire.
#pragma once

#include <cstdint>
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
};
