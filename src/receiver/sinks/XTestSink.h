// SPDX-License-Identifier: GPL-3.0-or-later
// The `xtest` sink: input on an X11 display through the XTEST extension, as
// if it came from the computer's own keyboard and mouse.
#pragma once

#include "sinks/DeviceSink.h"

#include <chrono>
#include <map>
#include <memory>
#include <string>

struct _XDisplay;

class XTestSink : public DeviceSink {
public:
    // Connects to the display named by $DISPLAY; null (with `error` saying
    // why) when there is none or it lacks the XTEST extension.
    static std::unique_ptr<XTestSink> open(std::string& error);
    ~XTestSink() override;

    // Also gives back the key codes lent to keysyms missing from the keymap.
    void releaseHeld() override;
    // Sends the fake events of a batch in one write.
    void endOfBatch() override;
    // Reads what the server tells every client (keymap changes) as it comes.
    PollRequest pollRequest() const override;
    bool handlePoll(short revents) override;

    // Whether the display is Xwayland, where XTEST reaches only the
    // programs that still use X11.
    bool serverIsXwayland() const;

protected:
    bool pressKey(uint32_t keysym, bool down) override;
    void pressButton(MouseButton button, bool down) override;
    void moveBy(int dx, int dy) override;
    void scrollStep(bool up) override;
    void runWindowCommand(WindowCommand command) override;
    std::string whyNotTyped() const override { return "the keymap lacks it and every spare key code is held"; }

private:
    explicit XTestSink(_XDisplay* display);

    using Clock = std::chrono::steady_clock;
    // A key as it went down: its code, and whether this sink pressed Shift
    // for it.
    struct PressedKey {
        unsigned keycode = 0;
        bool withShift = false;
    };
    struct LentKey {
        unsigned keycode = 0;
        Clock::time_point lastUsed;
    };

    // How the current keymap types `keysym`: a key that has it on its first
    // level, or on the level Shift selects; a key code of 0 when it has none.
    PressedKey keyFor(uint32_t keysym) const;
    // Whether Shift is down by the phone's Shift key or for a held key.
    bool shiftIsDown() const;
    // A key code that the keymap leaves empty and that is not lent yet, or
    // 0 when there is none.
    unsigned spareKeycode() const;
    // Binds `keysym` to a spare key code (or to the one lent longest ago to
    // a keysym not held now); 0 when there is none.
    unsigned lendKeycode(uint32_t keysym);
    void setKeycodeMapping(unsigned keycode, unsigned long keysym);
    // The window that has the focus as the window manager sees it, or 0
    // when no window manager publishes it.
    unsigned long activeWindow() const;
    void sendToWindowManager(unsigned long window, const char* messageType, const long (&data)[5]);
    // Handles the events Xlib has read so far, without reading more.
    void handleQueuedEvents();

    _XDisplay* display_;
    // Keysyms missing from the keymap, bound to a spare key code until the
    // driving client goes.
    std::map<uint32_t, LentKey> lentKeycodes_;
    std::map<uint32_t, PressedKey> down_; // the keysyms the phone holds now
};
