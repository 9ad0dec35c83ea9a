// SPDX-License-Identifier: GPL-3.0-or-later
// The `log` sink: one JSON object per line, flushed at once, so that a
// script or a test reading the stream sees each event as it happens.
#pragma once

#include "InputSink.h"

#include <cstdio>

class LogSink : public InputSink {
public:
    explicit LogSink(std::FILE* out);

    void connected(const std::string& peer) override;
    void loginAnswered(bool accepted) override;
    void keyboard(uint8_t state, uint32_t keycode) override;
    void mouse(uint8_t buttons, int16_t dx, int16_t dy) override;
    void disconnected() override;

    // `text` as the body of a JSON string literal (without the quotes).
    static std::string jsonEscaped(const std::string& text);

private:
    void writeLine(const std::string& line);

    std::FILE* out_;
};
