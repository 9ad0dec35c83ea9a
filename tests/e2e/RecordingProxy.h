// SPDX-License-Identifier: GPL-3.0-or-later
// Someone on the path between the app and the receiver: a TCP relay on a
// thread of its own that records the bytes of each direction of every
// connection (what an eavesdropper captures), and on demand flips one bit in
// flight, resets a connection after the app's first message, or answers that
// message as a receiver that speaks only the plain login. What a client sent
// can be replayed on a new connection of its own. Loopback only.
#pragma once

#include "support/SessionBytes.h"
#include "UniqueFd.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

class RecordingProxy {
public:
    // What becomes of the connections accepted from now on.
    enum class Mode {
        Relay,
        // Reads the client's first message, then resets the connection;
        // nothing reaches the receiver.
        ResetAfterFirstMessage,
        // Answers the client's first message with {"Rsp": 1}, as a receiver
        // that knows only the plain login does; nothing reaches the receiver.
        AnswerAsPlainReceiver,
    };

    struct Connection {
        Bytes fromClient;   // as the client sent it, before any flipped bit
        Bytes fromReceiver; // as the receiver sent it (or the proxy, in its place)
        // The client's bytes as each read brought them, for a replay.
        std::vector<Bytes> clientChunks;
    };

    // Listens on 127.0.0.1 (a free port) and relays to 127.0.0.1:`targetPort`.
    explicit RecordingProxy(uint16_t targetPort);
    ~RecordingProxy();
    RecordingProxy(const RecordingProxy&) = delete;
    RecordingProxy& operator=(const RecordingProxy&) = delete;

    uint16_t port() const { return port_; }
    void setMode(Mode mode);
    // Flips the lowest bit of the byte at `offset` of the client's stream of
    // the newest connection, once, as it passes (it must not have yet).
    void flipClientBitAt(std::size_t offset);

    // Every connection so far, oldest first (copies).
    std::vector<Connection> connections() const;
    // Sends the client chunks of connection `index` on a new connection to
    // the receiver, each after the answer to the one before (or a short
    // wait), and returns what the receiver sent back.
    Bytes replay(std::size_t index) const;

private:
    // One relayed connection, as the proxy's thread holds it.
    struct Link {
        UniqueFd client;
        UniqueFd receiver; // invalid when the proxy answers in its place
        std::size_t index = 0;
        Mode mode = Mode::Relay;
        std::size_t clientBytes = 0;
        Bytes firstMessage; // until it is whole, when the proxy answers it
    };

    void run();
    void accept();
    // False once the link is closed.
    bool fromClient(Link& link);
    bool fromReceiver(Link& link);

    uint16_t targetPort_;
    UniqueFd listener_;
    uint16_t port_ = 0;
    mutable std::mutex mutex_; // guards what follows
    Mode mode_ = Mode::Relay;
    // The connection and the offset in its client's stream.
    std::optional<std::pair<std::size_t, std::size_t>> flipAt_;
    std::vector<Connection> connections_;
    std::vector<Link> links_; // the proxy's thread only
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
