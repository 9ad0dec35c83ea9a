// SPDX-License-Identifier: GPL-3.0-or-later
// Test support for the connection screens: a private settings file, a UDP
// peer on loopback that plays receivers (and other phones) for discovery,
// and discovery replies built with the value-tree codec.
#pragma once

#include "support/LoopbackSockets.h"
#include "UniqueFd.h"

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

using Datagram = std::vector<uint8_t>;

// Points the standard settings store at a fresh file for its lifetime.
class TemporarySettings {
public:
    TemporarySettings();
    ~TemporarySettings();
    TemporarySettings(const TemporarySettings&) = delete;
    TemporarySettings& operator=(const TemporarySettings&) = delete;

    QString filePath() const;
    // The file as written to disk, read back afresh.
    QByteArray fileContents() const;

private:
    QTemporaryDir dir_;
    QByteArray saved_;
    bool hadSaved_ = false;
};

// A UDP socket on loopback. Bound to any address on a free port it hears the
// list's loopback broadcast; bound to 127.0.0.x it sends from that address.
class UdpPeer {
public:
    struct Received {
        Datagram bytes;
        std::string senderAddress;
        uint16_t senderPort = 0;
    };

    // `bindAddress` "0.0.0.0" to hear broadcasts; `port` 0 for a free one.
    explicit UdpPeer(const char* bindAddress = "0.0.0.0", uint16_t port = 0);
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    uint16_t port() const { return port_; }
    // Sends to 127.0.0.1 on `port`.
    void sendTo(uint16_t port, const Datagram& bytes) const;
    // The next datagram, waiting at most a few seconds (a broken screen fails
    // the test instead of hanging it).
    std::optional<Received> receive();
    // A datagram already waiting, without waiting for one.
    std::optional<Received> receiveWaiting();

private:
    UniqueFd fd_;
    uint16_t port_ = 0;
};

// The memory the datagrams waiting on the UDP socket bound to `port` take
// (the kernel's receive queue count); -1 when no such socket is listed.
long udpReceiveQueue(uint16_t port);
// Waits (a few seconds at most) until that queue holds at least `bytes`.
bool waitForUdpReceiveQueue(uint16_t port, long bytes);

// A free UDP port on loopback, for a list that must hear its own query.
uint16_t freeUdpPort();
// A free TCP port on loopback.
uint16_t freeTcpPort();

// A dictionary of string and integer items, encoded as a datagram.
using ReplyValue = std::variant<std::string, int32_t>;
Datagram encodeDictionary(const std::vector<std::pair<std::string, ReplyValue>>& entries);

// A well-formed receiver reply.
Datagram receiverReply(const std::string& name, const std::string& ip = "?", int32_t port = 25736,
                       const std::string& os = "Linux");
