// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/UinputSink.h"

#include "common/Notice.h"
#include "keys/LinuxKeyCodes.h"
#include "keys/SystemKeyboardLayout.h"

#include <linux/input-event-codes.h>

namespace {

// Keysyms that name a key rather than a character (Return, F1, the keypad,
// the modifiers, the media keys): the same key in every layout.
bool namesAKey(uint32_t keysym)
{
    return (keysym & 0xFFFFFF00u) == 0xFF00u || (keysym >> 16) == 0x1008u;
}

// The layout asked for, else the computer's own, else US; null when not even
// US can be compiled (no layout data), with a notice.
std::unique_ptr<KeyboardLayout> chooseLayout(const LayoutNames& requested, std::string& error)
{
    if (!requested.layout.empty()) {
        auto layout = KeyboardLayout::compile(requested, error);
        if (layout)
            notice("keys follow the keyboard layout " + layout->description() + " (--layout)");
        return layout;
    }
    if (const auto configured = configuredKeyboardLayout()) {
        std::string why;
        if (auto layout = KeyboardLayout::compile(configured->names, why)) {
            notice("keys follow the keyboard layout " + layout->description() + " (from " + configured->source
                   + "; --layout chooses another)");
            return layout;
        }
        notice(why + " (from " + configured->source + "); using US instead");
    }
    std::string why;
    auto layout = KeyboardLayout::compile(LayoutNames{"us", "", "", ""}, why);
    if (layout)
        notice("keys follow the keyboard layout 'us' (none is configured; --layout chooses another)");
    else
        notice(why + "; keys are placed as on a US keyboard");
    return layout;
}

} // namespace

std::unique_ptr<UinputSink> UinputSink::open(const LayoutNames& requested, std::string& error)
{
    auto device = UinputDevice::create(error);
    if (!device)
        return nullptr;
    auto layout = chooseLayout(requested, error);
    if (!layout && !error.empty())
        return nullptr;
    return std::make_unique<UinputSink>(std::move(device), std::move(layout));
}

UinputSink::UinputSink(std::unique_ptr<UinputDevice> device, std::unique_ptr<KeyboardLayout> layout)
    : device_(std::move(device))
    , layout_(std::move(layout))
{
}

UinputSink::~UinputSink()
{
    releaseHeld();
}

std::optional<KeyTyping> UinputSink::typingFor(uint32_t keysym) const
{
    if (!layout_ || namesAKey(keysym)) {
        if (const auto key = linuxKeyForKeysym(keysym))
            return KeyTyping{{}, KeyStroke{*key, {}}};
    }
    if (!layout_)
        return std::nullopt;
    return layout_->typingFor(keysym);
}

std::string UinputSink::whyNotTyped() const
{
    // A virtual keyboard can only press keys: a character is typed as
    // itself or not at all, never as the nearest character a key has.
    if (!layout_)
        return "no key of a US keyboard types it";
    return "the keyboard layout " + layout_->description() + " has no key for it";
}

void UinputSink::setKey(uint16_t key, bool down)
{
    int& count = keysDown_[key];
    count += down ? 1 : -1;
    if (count == (down ? 1 : 0)) {
        device_->emit(EV_KEY, key, down ? 1 : 0);
        device_->synchronise();
    }
    if (count <= 0)
        keysDown_.erase(key);
}

void UinputSink::pressStroke(const KeyStroke& stroke)
{
    for (uint16_t modifier : stroke.modifiers)
        setKey(modifier, true);
    setKey(stroke.key, true);
}

void UinputSink::releaseStroke(const KeyStroke& stroke)
{
    setKey(stroke.key, false);
    for (auto modifier = stroke.modifiers.rbegin(); modifier != stroke.modifiers.rend(); ++modifier)
        setKey(*modifier, false);
}

bool UinputSink::pressKey(uint32_t keysym, bool down)
{
    if (!down) {
        const auto held = heldKeys_.find(keysym);
        if (held == heldKeys_.end())
            return false;
        releaseStroke(held->second);
        heldKeys_.erase(held);
        return true;
    }
    // A repeated key down of a held key: the key is down already, and the
    // desktop repeats it as it does for its own keyboards.
    if (heldKeys_.count(keysym))
        return true;
    const auto typing = typingFor(keysym);
    if (!typing)
        return false;
    for (const KeyStroke& lead : typing->lead) {
        pressStroke(lead);
        releaseStroke(lead);
    }
    pressStroke(typing->key);
    heldKeys_[keysym] = typing->key;
    return true;
}

void UinputSink::pressButton(MouseButton button, bool down)
{
    const uint16_t code = button == MouseButton::Left ? BTN_LEFT : button == MouseButton::Middle ? BTN_MIDDLE
                                                                                                  : BTN_RIGHT;
    device_->emit(EV_KEY, code, down ? 1 : 0);
    pending_ = true;
}

void UinputSink::moveBy(int dx, int dy)
{
    if (dx != 0)
        device_->emit(EV_REL, REL_X, dx);
    if (dy != 0)
        device_->emit(EV_REL, REL_Y, dy);
    pending_ = true;
}

void UinputSink::scrollStep(bool up)
{
    device_->emit(EV_REL, REL_WHEEL, up ? 1 : -1);
    pending_ = true;
}

void UinputSink::endOfEvent()
{
    if (pending_)
        device_->synchronise();
    pending_ = false;
}
