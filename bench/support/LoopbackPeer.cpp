// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopbackPeer.h"

#include "LoopbackSockets.h"

#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace bench {

LoopbackPeer::LoopbackPeer(Login login, AfterAccepting afterAccepting)
{
    listener_ = listeningLoopbackSocket(port_);
    if (listener_ < 0)
        throw std::runtime_error("cannot listen on loopback");
    if (afterAccepting == AfterAccepting::DrainUntilClosed) {
        thread_ = std::thread([this, login] { drain(login); });
        return;
    }
    thread_ = std::thread([this, login] {
        handedOver_ = accept(listener_, nullptr, nullptr);
        if (handedOver_ >= 0 && login == Login::Accept)
            answerLoginWithAccept(handedOver_);
    });
}

LoopbackPeer::~LoopbackPeer()
{
    if (thread_.joinable())
        thread_.join();
    if (handedOver_ >= 0)
        close(handedOver_);
    close(listener_);
}

int LoopbackPeer::connection()
{
    if (thread_.joinable())
        thread_.join();
    return handedOver_;
}

void LoopbackPeer::drain(Login login)
{
    const int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0)
        return;
    if (login == Login::Accept && !answerLoginWithAccept(fd)) {
        close(fd);
        return;
    }
    std::vector<uint8_t> sink(64 * 1024);
    while (recv(fd, sink.data(), sink.size(), 0) > 0) {
    }
    close(fd);
}

bool answerLoginWithAccept(int fd)
{
    uint8_t frame[1024];
    if (!readExactly(fd, frame, 5))
        return false;
    const uint32_t length = frame[1] | frame[2] << 8 | frame[3] << 16 | uint32_t(frame[4]) << 24;
    if (length > sizeof frame || !readExactly(fd, frame, length))
        return false;
    // A 0x80 frame holding the dictionary Rsp = 0.
    static const uint8_t accepted[] = {0x80, 0x0C, 0x00, 0x00, 0x00, 0x5B, 0x73, 0x03, 0x52,
                                       0x73, 0x70, 0x69, 0x00, 0x00, 0x00, 0x00, 0x5D};
    return send(fd, accepted, sizeof accepted, MSG_NOSIGNAL) == ssize_t(sizeof accepted);
}

} // namespace bench
