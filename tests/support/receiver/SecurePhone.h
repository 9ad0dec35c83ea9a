// SPDX-License-Identifier: GPL-3.0-or-later
// A phone's side of the secure login for the receiver's tests, from the
// protocol core: the messages it sends, framed, and records of whatever
// packet a test gives it, hostile ones included (header only).
#pragma once

#include "SecureHandshake.h"
#include "SecureRecord.h"
#include "support/LoopbackSockets.h"
#include "support/SessionBytes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

class SecurePhone {
public:
    explicit SecurePhone(const std::string& passcode)
    {
        Bytes payload;
        EXPECT_EQ(handshake_.start(passcode, payload), HandshakeResult::Ok);
        hello_ = messagePacket(payload);
    }

    const Bytes& hello() const { return hello_; }
    // The message with the phone's tag, from the receiver's answer (a whole message).
    Bytes tag(const Bytes& share)
    {
        Bytes payload;
        const bool ok = share.size() > 5 && handshake_.answer(share.data() + 5, share.size() - 5, payload) == HandshakeResult::Ok;
        EXPECT_TRUE(ok) << "not a share";
        return messagePacket(payload);
    }
    HandshakeResult confirm(const Bytes& tb)
    {
        const std::size_t header = std::min<std::size_t>(5, tb.size());
        const HandshakeResult result = handshake_.confirm(tb.data() + header, tb.size() - header);
        if (const SessionKeys* keys = handshake_.keys())
            sealer_.emplace(keys->sending);
        return result;
    }
    Bytes record(const Bytes& packet)
    {
        Bytes out(recordSize(packet.size()));
        EXPECT_TRUE(sealer_ && sealer_->seal(packet.data(), packet.size(), out.data(), out.size()) > 0);
        return out;
    }
    const std::string& receiverName() const { return handshake_.receiverName(); }

    // The whole secure login on the connected `fd`, each answer awaited at
    // most `wait`: true when the receiver confirmed the passcode.
    bool logIn(int fd, std::chrono::milliseconds wait = kGenerousWait)
    {
        Bytes share;
        Bytes tb;
        return sendAll(fd, hello_) && waitUntilReadable(fd, wait) && readMessage(fd, share, -1, 4096) == MessageRead::Whole
               && sendAll(fd, tag(share)) && waitUntilReadable(fd, wait)
               && readMessage(fd, tb, -1, 4096) == MessageRead::Whole && confirm(tb) == HandshakeResult::Ok;
    }

private:
    PhoneHandshake handshake_;
    std::optional<RecordSealer> sealer_;
    Bytes hello_;
};
