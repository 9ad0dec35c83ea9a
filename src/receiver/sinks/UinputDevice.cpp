// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/UinputDevice.h"

#include "keys/LinuxKeyCodes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr const char* kDevicePath = "/dev/uinput";
constexpr const char* kDeviceName = "Quillon remote input";

bool announceCapabilities(int fd)
{
    bool ok = ioctl(fd, UI_SET_EVBIT, EV_KEY) == 0 && ioctl(fd, UI_SET_EVBIT, EV_REL) == 0
              && ioctl(fd, UI_SET_EVBIT, EV_SYN) == 0;
    // Every key of a full keyboard, since the layout decides which of them
    // type the phone's characters, and the media keys beyond them.
    for (int key = KEY_ESC; key <= KEY_MICMUTE; ++key)
        ok = ok && ioctl(fd, UI_SET_KEYBIT, key) == 0;
    for (uint16_t key : linuxKeysInUse())
        ok = ok && ioctl(fd, UI_SET_KEYBIT, int(key)) == 0;
    for (int button : {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE})
        ok = ok && ioctl(fd, UI_SET_KEYBIT, button) == 0;
    for (int axis : {REL_X, REL_Y, REL_WHEEL})
        ok = ok && ioctl(fd, UI_SET_RELBIT, axis) == 0;
    return ok;
}

} // namespace

std::string UinputDevice::permissionAdvice()
{
    return "to let the logged-in user create input devices, add the udev rule\n"
           "  KERNEL==\"uinput\", SUBSYSTEM==\"misc\", TAG+=\"uaccess\", OPTIONS+=\"static_node=uinput\"\n"
           "as /etc/udev/rules.d/60-quillon-uinput.rules, then run\n"
           "  sudo modprobe uinput && sudo udevadm control --reload && sudo udevadm trigger\n"
           "and log in again";
}

std::unique_ptr<UinputDevice> UinputDevice::create(std::string& error)
{
    UniqueFd fd(::open(kDevicePath, O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        error = std::string("cannot open ") + kDevicePath + ": " + std::strerror(errno);
        if (errno == ENOENT)
            error += " (is the uinput module loaded? sudo modprobe uinput)";
        else if (errno == EACCES || errno == EPERM)
            error += "; " + permissionAdvice();
        return nullptr;
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x1209; // the open "generic" vendor id
    setup.id.product = 0x5143;
    setup.id.version = 1;
    std::strncpy(setup.name, kDeviceName, UINPUT_MAX_NAME_SIZE - 1);
    if (!announceCapabilities(fd.get()) || ioctl(fd.get(), UI_DEV_SETUP, &setup) != 0
        || ioctl(fd.get(), UI_DEV_CREATE) != 0) {
        error = std::string("cannot create the uinput device: ") + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<UinputDevice>(std::move(fd), true);
}

UinputDevice::UinputDevice(UniqueFd fd, bool owned)
    : fd_(std::move(fd))
    , owned_(owned)
{
}

UinputDevice::~UinputDevice()
{
    if (owned_ && fd_.valid())
        ioctl(fd_.get(), UI_DEV_DESTROY);
}

bool UinputDevice::emit(uint16_t type, uint16_t code, int32_t value)
{
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    for (;;) {
        const ssize_t written = ::write(fd_.get(), &event, sizeof event);
        if (written == ssize_t(sizeof event))
            return true;
        if (written < 0 && errno == EINTR)
            continue;
        return false;
    }
}

bool UinputDevice::synchronise()
{
    return emit(EV_SYN, SYN_REPORT, 0);
}
