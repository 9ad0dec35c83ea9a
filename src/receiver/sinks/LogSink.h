// SPDX-License-Identifier: GPL-3.0-or-later
// The `log` sink: one JSON object per line, so that a script or a test
// reading the stream sees each event as it happens. The lines of one batch
// (what one turn of the receiver's loop handled) are written together, in
// one system call where the reader takes them. It
// keeps track of the keys and buttons the driving client holds, as a real
// sink does, and prints what it lets go of when that client goes:
//
//     {"type":"release","keycodes":[65505,65],"buttons":1}
#pragma once

#include "common/OutputChannel.h"
#include "sinks/InputSink.h"

#include <cstdint>
#include <set>
#include <string>

class LogSink : public InputSink {
public:
    // `out` must outlive the sink.
    explicit LogSink(LineOutput& out);

    void connected(const std::string& peer) override;
    void loginAnswered(bool accepted) override;
    void keyboard(uint8_t state, uint32_t keycode) override;
    void mouse(uint8_t buttons, int16_t dx, int16_t dy) override;
    void disconnected() override;
    void releaseHeld() override;
    void endOfBatch() override;

    // `text` as the body of a JSON string literal (without the quotes).
    static std::string jsonEscaped(const std::string& text);

private:
    // Appends `number` in decimal to the line being made.
    void append(long long number);

    LineOutput& out_;
    std::string line_; // the line being made, kept to spare an allocation a line
    std::set<uint32_t> heldKeycodes_;
    uint8_t heldButtons_ = 0; // the left, middle and right bits of the last mouse event
};
