// SPDX-License-Identifier: GPL-3.0-or-later
// ReceiverDouble: a scripted receiver on 127.0.0.1 for the session tests.
//
// It listens on a free port, accepts one connection, optionally reads the
// login frame, answers with scripted reply pieces (pausing between them so
// that each arrives on its own), and then records every byte that follows
// until the phone side closes. Waits are bounded so a broken session fails
// the test instead of hanging it.
#pragma once

#include "support/SessionBytes.h"
#include "UniqueFd.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct ReceiverScript {
    bool readsLogin = true;
    std::vector<Bytes> replyPieces; // sent after the login, one write each
    bool closesAfterReply = false;
    // After the reply it keeps the connection open but reads nothing more,
    // as a hung receiver or a host gone without a word.
    bool stopsReadingAfterReply = false;
};

class ReceiverDouble {
public:
    explicit ReceiverDouble(ReceiverScript script);
    ~ReceiverDouble();
    ReceiverDouble(const ReceiverDouble&) = delete;
    ReceiverDouble& operator=(const ReceiverDouble&) = delete;

    uint16_t port() const { return port_; }

    // The login frame as it arrived (header and payload); empty if none came.
    Bytes loginFrame();
    // The bytes received after the login frame, once at least `count` have
    // arrived or the phone side closed (or the bounded wait ran out).
    Bytes received(size_t count);
    // True once the phone side closed the connection.
    bool waitForPeerClose();
    // True once the double has closed its side after replying.
    bool waitForOwnClose();
    // The phone side's local port, once a connection was accepted; 0 before.
    uint16_t clientPort();

private:
    void run();
    bool readLogin(int fd);
    void recordUntilClosed(int fd);
    bool pause(int milliseconds);
    template <typename Ready> bool waitFor(Ready ready);

    ReceiverScript script_;
    UniqueFd listener_;
    int wakePipe_[2] = {-1, -1};
    uint16_t port_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    Bytes login_;
    bool loginDone_ = false;
    Bytes received_;
    bool peerClosed_ = false;
    bool ownClosed_ = false;
    uint16_t clientPort_ = 0;

    std::thread thread_;
};

// Listening-free loopback port: bound but not listening, so a connect to it
// is refused and no other test can take it meanwhile.
class RefusingPort {
public:
    RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    uint16_t port() const { return port_; }

private:
    UniqueFd fd_;
    uint16_t port_ = 0;
};
