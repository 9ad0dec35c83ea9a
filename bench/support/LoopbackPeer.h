// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in receiver on 127.0.0.1 that accepts one connection on its own
// thread, so that a session which blocks in its login can be answered.
#pragma once

#include "UniqueFd.h"

#include <cstdint>
#include <thread>

namespace bench {

class LoopbackPeer {
public:
    enum class Login { NotExpected, Accept };
    enum class AfterAccepting {
        HandOver,        // the benchmark reads each packet itself, via connection()
        DrainUntilClosed // read and dropped on the peer's thread until the sender closes
    };

    // Throws std::runtime_error when it cannot listen on loopback.
    LoopbackPeer(Login login, AfterAccepting afterAccepting);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    uint16_t port() const { return port_; }
    // The accepted connection once the other side is connected (and logged
    // in); only for HandOver, and -1 if the accept failed.
    int connection();

private:
    void drain(Login login);

    UniqueFd listener_;
    UniqueFd handedOver_;
    uint16_t port_ = 0;
    std::thread thread_;
};

// Reads one login request frame from fd and answers it with the accepting
// reply (Rsp 0); false when the request or the send fails.
bool answerLoginWithAccept(int fd);

} // namespace bench
