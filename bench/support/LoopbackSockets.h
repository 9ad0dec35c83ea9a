// SPDX-License-Identifier: GPL-3.0-or-later
// Plain TCP sockets on 127.0.0.1 for the benchmarks: nothing here ever
// leaves the loopback interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>

namespace bench {

sockaddr_in loopbackAddress(uint16_t port);

// A socket bound to a free port on 127.0.0.1 (written to port), or -1.
// Without listen() it refuses every connection, which some benchmarks want.
int boundLoopbackSocket(uint16_t& port);

// As boundLoopbackSocket, and listening for one connection; -1 on failure.
int listeningLoopbackSocket(uint16_t& port);

// A connection to 127.0.0.1:port with no delay on small packets, as the
// session has; -1 when nothing accepts it.
int connectOnLoopback(uint16_t port);

// False when the connection closes or fails before count bytes arrive.
bool readExactly(int fd, uint8_t* bytes, size_t count);

} // namespace bench
