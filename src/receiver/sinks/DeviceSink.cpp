// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/DeviceSink.h"

#include "common/Notice.h"
#include "WireFormat.h"

#include <cstdio>
#include <xkbcommon/xkbcommon.h>

namespace {

// Refusals told per session: one line for each keysym, and no more lines
// than this however many keysyms a client tries.
constexpr std::size_t kMaxRefusalsTold = 256;

std::string hex(uint32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
}

// Direction marks and line separators would rearrange the operator's log.
bool garblesALine(uint32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// 'character "中" (U+4E2D)' for a keysym that types a character, "key code
// 0x..." for any other key.
std::string describeKey(uint32_t keysym)
{
    const bool characterKeysym = keysym < 0xFF00u || (keysym >= 0x01000000u && keysym <= 0x0110FFFFu);
    const uint32_t c = xkb_keysym_to_utf32(keysym);
    if (!characterKeysym || c < 0x20 || (c >= 0x7F && c <= 0x9F))
        return "key code " + hex(keysym);
    char codePoint[16];
    std::snprintf(codePoint, sizeof codePoint, "U+%04X", c);
    char text[8] = {};
    if (garblesALine(c) || xkb_keysym_to_utf8(keysym, text, sizeof text) <= 0)
        return std::string("character ") + codePoint;
    return std::string("character \"") + text + "\" (" + codePoint + ")";
}

} // namespace

void DeviceSink::keyboard(uint8_t state, uint32_t keycode)
{
    if (keycode == 0)
        return;
    uint32_t keysym = keycode;
    if (isCommandCode(keycode)) {
        const CommandKey* command = findCommandKey(keycode);
        if (!command) {
            if (state)
                notice("command code " + hex(keycode) + " ignored: not known");
            return;
        }
        if (command->keysym == 0) {
            // A window command acts once, when the key goes down.
            if (state) {
                runWindowCommand(command->window);
                endOfEvent();
            }
            return;
        }
        keysym = command->keysym;
    } else if (keysym == XKB_KEY_Meta_L) {
        // The phone's "win" key sends Meta_L; on a PC keyboard the key
        // between Ctrl and Alt is Super_L, while Meta_L sits on a key that
        // acts as Alt.
        keysym = XKB_KEY_Super_L;
    }

    if (isPowerKeysym(keysym) && !powerKeysAllowed_) {
        // One tap would switch the computer off where no desktop holds the
        // power key, losing the work on screen.
        if (state && !toldPowerIgnored_)
            notice("the power command was ignored: start the receiver with --allow-power to let the remote press "
                   "this computer's power key");
        toldPowerIgnored_ = toldPowerIgnored_ || state;
        return;
    }
    if (state) {
        // A held key arrives as repeated key downs: each one is a stroke.
        if (pressKey(keysym, true))
            heldKeysyms_.insert(keysym);
        else if (refusedKeysyms_.size() < kMaxRefusalsTold && refusedKeysyms_.insert(keysym).second)
            notice(describeKey(keycode) + " not typed: " + whyNotTyped());
    } else if (heldKeysyms_.erase(keysym)) {
        // A release of a key this client never pressed is dropped, so that it
        // cannot let go of a key the local user holds.
        pressKey(keysym, false);
    }
    endOfEvent();
}

void DeviceSink::mouse(uint8_t buttons, int16_t dx, int16_t dy)
{
    if (dx != 0 || dy != 0)
        moveBy(dx, dy);
    applyButton(buttons, REMOTE_BUTTON_LEFT, MouseButton::Left);
    applyButton(buttons, REMOTE_BUTTON_MIDDLE, MouseButton::Middle);
    applyButton(buttons, REMOTE_BUTTON_RIGHT, MouseButton::Right);
    // The wheel bits are one step each time they are present; they are not a
    // state, and no packet clears them.
    if (buttons & REMOTE_WHEEL_UP)
        scrollStep(true);
    if (buttons & REMOTE_WHEEL_DOWN)
        scrollStep(false);
    endOfEvent();
}

void DeviceSink::releaseHeld()
{
    for (uint32_t keysym : heldKeysyms_)
        pressKey(keysym, false);
    heldKeysyms_.clear();
    refusedKeysyms_.clear();
    applyButton(0, REMOTE_BUTTON_LEFT, MouseButton::Left);
    applyButton(0, REMOTE_BUTTON_MIDDLE, MouseButton::Middle);
    applyButton(0, REMOTE_BUTTON_RIGHT, MouseButton::Right);
    endOfEvent();
    // When the receiver stops this is the last thing the sink hears.
    endOfBatch();
}

void DeviceSink::runWindowCommand(WindowCommand command)
{
    typeShortcut(windowCommandShortcut(command));
}

void DeviceSink::typeShortcut(const std::vector<uint32_t>& keys)
{
    std::vector<uint32_t> pressed;
    for (uint32_t keysym : keys) {
        if (pressKey(keysym, true))
            pressed.push_back(keysym);
    }
    for (auto key = pressed.rbegin(); key != pressed.rend(); ++key)
        pressKey(*key, false);
}

void DeviceSink::applyButton(uint8_t buttons, uint8_t bit, MouseButton button)
{
    const bool down = buttons & bit;
    if (down == bool(heldButtons_ & bit))
        return;
    pressButton(button, down);
    heldButtons_ = down ? uint8_t(heldButtons_ | bit) : uint8_t(heldButtons_ & ~bit);
}
