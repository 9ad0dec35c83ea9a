// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SecureLoginAnswer.h"

#include "SecureHandshake.h"
#include "WireFormat.h"
#include "support/LoopbackSockets.h"
#include "support/SessionBytes.h"

namespace bench {

namespace {

// One message's payload from the phone, or nothing.
bool readPayload(int fd, Bytes& payload)
{
    Bytes frame;
    if (readMessage(fd, frame, -1, REMOTE_RECEIVE_CAPACITY) != MessageRead::Whole)
        return false;
    payload.assign(frame.begin() + REMOTE_MESSAGE_HEADER_SIZE, frame.end());
    return true;
}

} // namespace

bool answerSecureLogin(int fd, const std::string& passcode, const std::string& name)
{
    ReceiverHandshake handshake(name);
    Bytes request, reply;
    if (!readPayload(fd, request)
        || handshake.hello(passcode, request.data(), request.size(), reply) != HandshakeResult::Ok
        || !sendAll(fd, messagePacket(reply)) || !readPayload(fd, request)
        || handshake.takeTag(request.data(), request.size()) != HandshakeResult::Ok
        || handshake.verifyTag(reply) != HandshakeResult::Ok)
        return false;
    return sendAll(fd, messagePacket(reply));
}

} // namespace bench
