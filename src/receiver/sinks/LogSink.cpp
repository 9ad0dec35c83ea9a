// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/LogSink.h"

#include <charconv>
#include <string>

namespace {

// The button bits that are held (left, middle, right), not one-off wheel steps.
constexpr uint8_t kHeldButtonBits = 1 | 2 | 4;
// More keys than any keyboard holds at once; a client cannot grow the set beyond.
constexpr std::size_t kMaxHeldKeys = 256;

} // namespace

LogSink::LogSink(LineOutput& out)
    : out_(out)
{
}

void LogSink::connected(const std::string& peer)
{
    out_.writeLine("{\"type\":\"connect\",\"peer\":\"" + jsonEscaped(peer) + "\"}");
}

void LogSink::loginAnswered(bool accepted)
{
    out_.writeLine(std::string("{\"type\":\"login\",\"accepted\":") + (accepted ? "true" : "false") + "}");
}

void LogSink::keyboard(uint8_t state, uint32_t keycode)
{
    if (state && keycode != 0 && heldKeycodes_.size() < kMaxHeldKeys)
        heldKeycodes_.insert(keycode);
    else if (!state)
        heldKeycodes_.erase(keycode);
    line_.assign(R"({"type":"keyboard","state":)");
    append(state);
    line_ += R"(,"keycode":)";
    append(keycode);
    line_ += '}';
    out_.writeLine(line_);
}

void LogSink::mouse(uint8_t buttons, int16_t dx, int16_t dy)
{
    heldButtons_ = buttons & kHeldButtonBits;
    line_.assign(R"({"type":"mouse","buttons":)");
    append(buttons);
    line_ += R"(,"dx":)";
    append(dx);
    line_ += R"(,"dy":)";
    append(dy);
    line_ += '}';
    out_.writeLine(line_);
}

void LogSink::endOfBatch()
{
    out_.flush();
}

void LogSink::append(long long number)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    line_.append(digits, end);
}

void LogSink::disconnected()
{
    out_.writeLine("{\"type\":\"disconnect\"}");
}

void LogSink::releaseHeld()
{
    std::string keycodes;
    for (uint32_t keycode : heldKeycodes_)
        keycodes += (keycodes.empty() ? "" : ",") + std::to_string(keycode);
    out_.writeLine("{\"type\":\"release\",\"keycodes\":[" + keycodes
                   + "],\"buttons\":" + std::to_string(heldButtons_) + "}");
    heldKeycodes_.clear();
    heldButtons_ = 0;
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
