#include "UinputSink.h"

#include "LinuxKeyCodes.h"

#include <linux/input-event-codes.h>

std::unique_ptr<UinputSink> UinputSink::open(std::string& error)
{
    auto device = UinputDevice::create(error);
    if (!device)
        return nullptr;
    return std::make_unique<UinputSink>(std::move(device));
}

UinputSink::UinputSink(std::unique_ptr<UinputDevice> device)
    : device_(std::move(device))
{
}

UinputSink::~UinputSink()
{
    releaseHeld();
}

bool UinputSink::pressKey(uint32_t keysym, bool down)
{
    const auto key = linuxKeyForKeysym(keysym);
    if (!key)
        return false;
    // Each key change is its own moment, so that a shortcut's modifier is
    // down before its key in every reader.
    device_->emit(EV_KEY, *key, down ? 1 : 0);
    device_->synchronise();
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

void UinputSink::flush()
{
    if (pending_)
        device_->synchronise();
    pending_ = false;
}
