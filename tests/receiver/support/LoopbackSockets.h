// Client sockets for the end-to-end tests. Everything here talks to
// 127.0.0.1 only, and every wait is bounded.
#pragma once

#include "ReceiverProcess.h"
#include "SessionBytes.h"
#include "SocketAddress.h"

#include <chrono>
#include <optional>

// A TCP connection to 127.0.0.1:port from `from`, another loopback address
// standing for another host (invalid when it failed).
UniqueFd connectToLoopback(uint16_t port, const char* from = "127.0.0.1");
// "127.0.0.1:port" of this end of a connection, as the receiver names its peer.
std::string formatPeerOfLocalEnd(int fd);
bool sendAll(int fd, const Bytes& bytes);
// Exactly `count` bytes, or nothing when they did not all come in time.
std::optional<Bytes> receiveExactly(int fd, std::size_t count, std::chrono::milliseconds wait = kGenerousWait);
// True when the peer closed the connection (end of file or reset) in time.
bool waitForPeerClose(int fd, std::chrono::milliseconds wait = kGenerousWait);

// A UDP socket bound to `address`:`port`; with `shared`, SO_REUSEADDR is set
// first, as a client that shares the discovery port does.
UniqueFd boundUdpSocket(const char* address, uint16_t port, bool shared = false);
bool sendDatagramToLoopback(int fd, uint16_t port, const Bytes& datagram);
std::optional<Bytes> receiveDatagram(int fd, std::chrono::milliseconds wait = kGenerousWait);
