// SPDX-License-Identifier: GPL-3.0-or-later
// A session bus of the test's own: dbus-daemon on a socket in a private
// directory, with no service files (nothing is started on demand, so a
// missing portal stays missing), stopped when the object goes.
#pragma once

#include <memory>
#include <string>
#include <sys/types.h>

class PrivateSessionBus {
public:
    // Null, with `why` set, where dbus-daemon cannot run; the caller skips.
    static std::unique_ptr<PrivateSessionBus> start(std::string& why);
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // For DBUS_SESSION_BUS_ADDRESS.
    const std::string& address() const { return address_; }
    // A private directory the test may use (removed with the bus).
    const std::string& directory() const { return directory_; }

private:
    PrivateSessionBus(pid_t pid, std::string directory, std::string address);

    pid_t pid_;
    std::string directory_;
    std::string address_;
};
