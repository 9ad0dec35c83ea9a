// SPDX-License-Identifier: GPL-3.0-or-later
// Sockets on 127.0.0.1 for the tests and the benchmarks: nothing here ever
// leaves the loopback interface (but a datagram with packet info, which only
// tests in a network of their own send), and every wait is bounded except
// readExactly's, which a benchmark times.
#pragma once

#include "support/GenerousWait.h"
#include "support/SessionBytes.h"
#include "UniqueFd.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <string>

// The IPv4 address `dotted`:port (0.0.0.0 when `dotted` is not one).
sockaddr_in ipv4Address(const char* dotted, uint16_t port);
// The local port a socket is bound to; 0 when it is not bound.
uint16_t localPort(int fd);
// True when something can be read from `fd` (or it closed) within `wait`.
bool waitUntilReadable(int fd, std::chrono::milliseconds wait = kGenerousWait);

// TCP on 127.0.0.1, a free port each (read it with localPort). Bound but not
// listening, a port refuses every connection and no one else can take it.
UniqueFd boundOnLoopback();
UniqueFd listeningOnLoopback(int backlog = 4);
// A connection to 127.0.0.1:port (invalid when nothing accepts it); with
// `noDelay`, small packets go out at once, as on the app's session.
UniqueFd connectToLoopback(uint16_t port, bool noDelay = false);
// The same from `from`, another loopback address standing for another host.
UniqueFd connectToLoopbackFrom(const char* from, uint16_t port);
// "127.0.0.1:port" of this end of a connection, as the receiver names its peer.
std::string formatPeerOfLocalEnd(int fd);
bool sendAll(int fd, const Bytes& bytes);
// Blocks until `count` bytes have arrived; false when the connection closes
// or fails first. For benchmarks, whose reads are the thing timed.
bool readExactly(int fd, uint8_t* bytes, std::size_t count);
// Exactly `count` bytes, or nothing when they did not all come in time.
std::optional<Bytes> receiveExactly(int fd, std::size_t count, std::chrono::milliseconds wait = kGenerousWait);
// True when the peer closed the connection (end of file or reset) in time.
bool waitForPeerClose(int fd, std::chrono::milliseconds wait = kGenerousWait);

// How reading one value-tree message (0x80, a 32-bit little-endian length,
// the payload) from a session ended.
enum class MessageRead { Whole, PeerClosed, Cancelled, TooLong };
// Reads one message into `frame`, header included; on failure `frame` keeps
// what did arrive. No time limit, but a byte to read on `cancelFd` ends the
// wait; a payload longer than `maxPayload` is not read.
MessageRead readMessage(int fd, Bytes& frame, int cancelFd = -1, std::size_t maxPayload = 1 << 20);

// A UDP socket bound to `address`:`port`; with `shared`, SO_REUSEADDR is set
// first, as a client that shares the discovery port does.
UniqueFd boundUdpSocket(const char* address, uint16_t port, bool shared = false);
bool sendDatagramToLoopback(int fd, uint16_t port, const Bytes& datagram);
// Sends `datagram` to `to` with IP_PKTINFO `info`: out of its interface
// (ipi_ifindex), or from its source address (ipi_spec_dst).
bool sendDatagramWithPacketInfo(int fd, const sockaddr_in& to, const Bytes& datagram, const in_pktinfo& info,
                                int flags = 0);
std::optional<Bytes> receiveDatagram(int fd, std::chrono::milliseconds wait = kGenerousWait);
