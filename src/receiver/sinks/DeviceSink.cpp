// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/DeviceSink.h"

#include "common/Notice.h"
#include "WireFormat.h"

#include <cstdio>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

std::string hex(uint32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
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
        else
            notice("key code " + hex(keycode) + " ignored: no key produces it here");
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
