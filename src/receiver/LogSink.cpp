// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogSink.h"

#include <string>

LogSink::LogSink(std::FILE* out)
    : out_(out)
{
}

void LogSink::connected(const std::string& peer)
{
    writeLine("{\"type\":\"connect\",\"peer\":\"" + jsonEscaped(peer) + "\"}");
}

void LogSink::loginAnswered(bool accepted)
{
    writeLine(std::string("{\"type\":\"login\",\"accepted\":") + (accepted ? "true" : "false") + "}");
}

void LogSink::keyboard(uint8_t state, uint32_t keycode)
{
    writeLine("{\"type\":\"keyboard\",\"state\":" + std::to_string(state)
              + ",\"keycode\":" + std::to_string(keycode) + "}");
}

void LogSink::mouse(uint8_t buttons, int16_t dx, int16_t dy)
{
    writeLine("{\"type\":\"mouse\",\"buttons\":" + std::to_string(buttons) + ",\"dx\":" + std::to_string(dx)
              + ",\"dy\":" + std::to_string(dy) + "}");
}

void LogSink::disconnected()
{
    writeLine("{\"type\":\"disconnect\"}");
}

std::string LogSink::jsonEscaped(const std::string& text)
{
    static const char hex[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            escaped += '\\';
            escaped += static_cast<char>(c);
        } else if (c < 0x20) {
            escaped += "\\u00";
            escaped += hex[c >> 4];
            escaped += hex[c & 0xF];
        } else {
            escaped += static_cast<char>(c);
        }
    }
    return escaped;
}

void LogSink::writeLine(const std::string& line)
{
    // A reader that went away must not stop the receiver: write errors are
    // dropped (SIGPIPE is ignored process-wide).
    std::fputs(line.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}
