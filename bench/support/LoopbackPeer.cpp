// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LoopbackPeer.h"

#include "support/LoopbackSockets.h"
#include "support/SessionBytes.h"

#include <stdexcept>
#include <sys/socket.h>
#include <vector>

namespace bench {

LoopbackPeer::LoopbackPeer(Login login, AfterAccepting afterAccepting)
    : listener_(listeningOnLoopback(1))
    , port_(localPort(listener_.get()))
{
    if (!listener_.valid())
        throw std::runtime_error("cannot listen on loopback");
    if (afterAccepting == AfterAccepting::DrainUntilClosed) {
        thread_ = std::thread([this, login] { drain(login); });
        return;
    }
    thread_ = std::thread([this, login] {
        handedOver_.reset(accept(listener_.get(), nullptr, nullptr));
        if (handedOver_.valid() && login == Login::Accept)
            answerLoginWithAccept(handedOver_.get());
    });
}

LoopbackPeer::~LoopbackPeer()
{
    if (thread_.joinable())
        thread_.join();
}

int LoopbackPeer::connection()
{
    if (thread_.joinable())
        thread_.join();
    return handedOver_.get();
}

void LoopbackPeer::drain(Login login)
{
    const UniqueFd connection(accept(listener_.get(), nullptr, nullptr));
    if (!connection.valid() || (login == Login::Accept && !answerLoginWithAccept(connection.get())))
        return;
    std::vector<uint8_t> sink(64 * 1024);
    while (recv(connection.get(), sink.data(), sink.size(), 0) > 0) {
    }
}

bool answerLoginWithAccept(int fd)
{
    Bytes request;
    return readMessage(fd, request, -1, 1024) == MessageRead::Whole && sendAll(fd, acceptingLoginReply());
}

} // namespace bench
