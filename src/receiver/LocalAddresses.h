// SPDX-License-Identifier: GPL-3.0-or-later
// Whether an address belongs to this computer, so that discovery can also
// answer a client that shares its port on this computer; and which network
// interface carries an address, so that a receiver bound to one address can
// tell the queries broadcast on that address's network.
#pragma once

#include <netinet/in.h>

#include <optional>

// True for the loopback range, for 0.0.0.0 and for any IPv4 address of a
// local interface.
bool isAddressOfThisHost(in_addr address);

// The index of the interface that holds `address`, if one does.
std::optional<unsigned> interfaceIndexOf(in_addr address);
