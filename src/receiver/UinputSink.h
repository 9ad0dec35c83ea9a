// The `uinput` sink: input through a virtual device of the kernel, for
// Wayland desktops and the console where XTEST is not there. Keysyms become
// key positions of a US layout.
#pragma once

#include "DeviceSink.h"
#include "UinputDevice.h"

#include <memory>
#include <string>

class UinputSink : public DeviceSink {
public:
    // Makes the virtual device; null with `error` when that is not allowed.
    static std::unique_ptr<UinputSink> open(std::string& error);

    explicit UinputSink(std::unique_ptr<UinputDevice> device);
    ~UinputSink() override;

protected:
    bool pressKey(uint32_t keysym, bool down) override;
    void pressButton(MouseButton button, bool down) override;
    void moveBy(int dx, int dy) override;
    void scrollStep(bool up) override;
    void flush() override;

private:
    std::unique_ptr<UinputDevice> device_;
    bool pending_ = false; // events written since the last synchronisation
};
