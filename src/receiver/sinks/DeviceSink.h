// SPDX-License-Identifier: GPL-3.0-or-later
// The common part of the sinks that drive real input devices: it turns the
// phone's key codes and mouse events into key strokes, button changes,
// movement and wheel steps, keeps track of what the client holds, and lets
// go of all of it when the client is gone. The device itself is behind the
// protected operations below.
#pragma once

#include "keys/KeyCommands.h"
#include "sinks/InputSink.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

enum class MouseButton { Left, Middle, Right };

class DeviceSink : public InputSink {
public:
    // The log of connections is not a device's business.
    void connected(const std::string&) override {}
    void loginAnswered(bool) override {}
    void disconnected() override {}

    void keyboard(uint8_t state, uint32_t keycode) override;
    void mouse(uint8_t buttons, int16_t dx, int16_t dy) override;
    void releaseHeld() override;

    // Whether the power command (and any power, sleep or log-off key the
    // phone sends) presses its key. Off by default: such a key is ignored,
    // and the first one says in the log how to allow it.
    void allowPowerKeys(bool allowed) { powerKeysAllowed_ = allowed; }

protected:
    // Presses or releases the key that produces `keysym`. False when the
    // device has no way to produce it (the stroke is then not counted as held).
    virtual bool pressKey(uint32_t keysym, bool down) = 0;
    virtual void pressButton(MouseButton button, bool down) = 0;
    virtual void moveBy(int dx, int dy) = 0;
    // One wheel step; up when `up`, else down.
    virtual void scrollStep(bool up) = 0;
    // Acts on the active window. By default it types the usual shortcut.
    virtual void runWindowCommand(WindowCommand command);
    // Why pressKey() found no way to type a keysym, for the line that tells
    // the operator once a session.
    virtual std::string whyNotTyped() const { return "no key produces it here"; }
    // Ends what one event of the phone did, so that a device that groups
    // its changes into moments can close one.
    virtual void endOfEvent() {}

    // Presses `keys` in order and releases them in reverse.
    void typeShortcut(const std::vector<uint32_t>& keys);

private:
    void applyButton(uint8_t buttons, uint8_t bit, MouseButton button);

    std::set<uint32_t> heldKeysyms_;
    std::set<uint32_t> refusedKeysyms_; // told this session
    uint8_t heldButtons_ = 0; // the left, middle and right bits of the last mouse event
    bool powerKeysAllowed_ = false;
    bool toldPowerIgnored_ = false;
};
