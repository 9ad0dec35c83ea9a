// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers around IPv4 socket addresses and descriptors.
#pragma once

#include "UniqueFd.h"

#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <string>

// "a.b.c.d:port".
std::string formatPeer(const sockaddr_in& address);

// The IPv4 address in `text` with `port`, or nothing when `text` is not a
// dotted IPv4 address.
std::optional<sockaddr_in> makeAddress(const std::string& text, uint16_t port);

// The port a bound socket actually got (the one asked for, or the system's
// pick for port 0); 0 when it cannot be read.
uint16_t boundPort(int fd);

bool setNonBlocking(int fd);
