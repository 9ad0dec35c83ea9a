// SPDX-License-Identifier: GPL-3.0-or-later
// The `uinput` sink: input through a virtual device of the kernel, for the
// console and for Wayland desktops without the remote-desktop portal. A
// virtual keyboard sends key positions, so keysyms become the keys that type
// them in the computer's keyboard layout.
#pragma once

#include "keys/KeyboardLayout.h"
#include "sinks/DeviceSink.h"
#include "sinks/UinputDevice.h"

#include <map>
#include <memory>
#include <string>

class UinputSink : public DeviceSink {
public:
    // Makes the virtual device; null with `error` when that is not allowed
    // or the layout named in `requested` is not known. An empty layout name
    // means the computer's own layout, else US.
    static std::unique_ptr<UinputSink> open(const LayoutNames& requested, std::string& error);

    // Without a layout (no layout data on the computer) keys are placed as
    // on a US keyboard.
    UinputSink(std::unique_ptr<UinputDevice> device, std::unique_ptr<KeyboardLayout> layout);
    ~UinputSink() override;

protected:
    bool pressKey(uint32_t keysym, bool down) override;
    void pressButton(MouseButton button, bool down) override;
    void moveBy(int dx, int dy) override;
    void scrollStep(bool up) override;
    void endOfEvent() override;
    std::string whyNotTyped() const override;

private:
    std::optional<KeyTyping> typingFor(uint32_t keysym) const;
    // Presses or releases one key, each change a moment of its own, so that
    // a modifier is down before its key in every reader. Keys are counted:
    // Shift held by the phone stays down when a stroke that needed it ends.
    void setKey(uint16_t key, bool down);
    // The modifiers, then the key; and back in reverse.
    void pressStroke(const KeyStroke& stroke);
    void releaseStroke(const KeyStroke& stroke);

    std::unique_ptr<UinputDevice> device_;
    std::unique_ptr<KeyboardLayout> layout_;
    std::map<uint16_t, int> keysDown_;       // Linux key -> how many strokes hold it
    std::map<uint32_t, KeyStroke> heldKeys_; // by the keysym the phone holds
    bool pending_ = false;                   // events written since the last synchronisation
};
