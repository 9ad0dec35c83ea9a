// SPDX-License-Identifier: GPL-3.0-or-later
// What the receiver does with the bytes of one client connection, free of
// sockets: it parses the stream, answers the login, passes the input events of
// an accepted session to the sink and decides when the client must be dropped.
#pragma once

#include "net/LoginCheck.h"
#include "net/PacketStreamParser.h"
#include "sinks/InputSink.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class ReceiverSession {
public:
    enum class State {
        AwaitingLogin,
        // The login request arrived and waits for its turn to be checked (the
        // guessing throttle holds it); what follows it waits unread.
        LoginPending,
        Accepted,
        // The login was refused: the client may keep the connection open (the
        // phone does until it connects again), but its events go nowhere.
        Refused,
    };

    // What the caller must do after `receive`.
    struct Outcome {
        std::vector<uint8_t> reply;       // bytes to send to the client
        std::vector<std::string> notices; // for the operator, about this client
        bool drop = false;                // close the connection (after sending `reply`)
        std::string dropReason;
        std::optional<LoginVerdict> verdict; // the login answered in this step, if any
    };

    // `passcode` and `sink` must outlive the session.
    ReceiverSession(const std::string& passcode, InputSink& sink);

    Outcome receive(const uint8_t* bytes, std::size_t count);

    // Asked when a login request arrives: false holds it (state LoginPending)
    // until answerPendingLogin(). Without a gate every login is checked at once.
    void setLoginGate(std::function<bool()> gate) { loginGate_ = std::move(gate); }
    // Checks the held login, answers it, then handles what arrived after it.
    Outcome answerPendingLogin();

    // Called when this session's login is accepted, before the sink hears of
    // it and before any of its events: the server lets a new login take over
    // from the one that drove the input until then.
    void setAcceptedHandler(std::function<void()> handler) { acceptedHandler_ = std::move(handler); }

    State state() const { return state_; }

private:
    void handlePackets(Outcome& outcome);
    void handle(const SessionPacket& packet, Outcome& outcome);
    void handleMessage(const MessagePacket& message, Outcome& outcome);
    void answerLogin(const std::vector<uint8_t>& request, Outcome& outcome);
    bool mayDeliverInput(Outcome& outcome);

    const std::string& passcode_;
    InputSink& sink_;
    PacketStreamParser parser_;
    State state_ = State::AwaitingLogin;
    bool toldIgnoredInput_ = false;
    std::function<void()> acceptedHandler_;
    std::function<bool()> loginGate_;
    std::vector<uint8_t> pendingLogin_;
};
