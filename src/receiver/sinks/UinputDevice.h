// SPDX-License-Identifier: GPL-3.0-or-later
// A virtual keyboard and relative pointer with a wheel, made through the
// kernel's uinput interface. Works under X11, Wayland and on the console
// alike, since the kernel sees it as one more input device.
#pragma once

#include "UniqueFd.h"

#include <cstdint>
#include <memory>
#include <string>

class UinputDevice {
public:
    // Creates the device; null (with `error` saying why and how to allow it)
    // when /dev/uinput cannot be opened or the device cannot be made.
    static std::unique_ptr<UinputDevice> create(std::string& error);

    // Writes events to a descriptor that is already set up; `owned` says
    // whether the device is to be destroyed with this object.
    UinputDevice(UniqueFd fd, bool owned);
    ~UinputDevice();
    UinputDevice(const UinputDevice&) = delete;
    UinputDevice& operator=(const UinputDevice&) = delete;

    // One input event (EV_KEY, EV_REL, EV_SYN...). False when the write failed.
    bool emit(uint16_t type, uint16_t code, int32_t value);
    // Ends a group of events that belong to the same moment.
    bool synchronise();

    // The advice given when /dev/uinput may not be opened.
    static std::string permissionAdvice();

private:
    UniqueFd fd_;
    bool owned_;
};
