// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReceiverSession.h"

#include "LoginCheck.h"

#include <type_traits>

ReceiverSession::ReceiverSession(const std::string& passcode, InputSink& sink)
    : passcode_(passcode)
    , sink_(sink)
{
}

ReceiverSession::Outcome ReceiverSession::receive(const uint8_t* bytes, std::size_t count)
{
    Outcome outcome;
    parser_.feed(bytes, count);
    while (auto packet = parser_.next())
        handle(*packet, outcome);
    if (parser_.failed()) {
        outcome.drop = true;
        outcome.dropReason = parser_.error();
    }
    return outcome;
}

void ReceiverSession::handle(const SessionPacket& packet, Outcome& outcome)
{
    std::visit(
        [&](const auto& p) {
            using Packet = std::decay_t<decltype(p)>;
            if constexpr (std::is_same_v<Packet, MessagePacket>) {
                handleMessage(p, outcome);
            } else if constexpr (std::is_same_v<Packet, KeyboardPacket>) {
                if (mayDeliverInput(outcome))
                    sink_.keyboard(p.state, p.keycode);
            } else {
                if (mayDeliverInput(outcome))
                    sink_.mouse(p.buttons, p.dx, p.dy);
            }
        },
        packet);
}

void ReceiverSession::handleMessage(const MessagePacket& message, Outcome& outcome)
{
    if (state_ != State::AwaitingLogin) {
        // One login per connection: a client cannot try passcodes one after
        // another on the same connection.
        outcome.notices.push_back("message after the login ignored");
        return;
    }
    const LoginVerdict verdict = checkLoginRequest(message.payload.data(), message.payload.size(), passcode_);
    const bool accepted = verdict == LoginVerdict::Accepted;
    state_ = accepted ? State::Accepted : State::Refused;
    if (verdict == LoginVerdict::Malformed)
        outcome.notices.push_back("login refused: not a login request");
    else if (!accepted)
        outcome.notices.push_back("login refused: wrong passcode");
    if (accepted && acceptedHandler_)
        acceptedHandler_();
    sink_.loginAnswered(accepted);
    const std::vector<uint8_t> reply = encodeLoginReply(accepted);
    outcome.reply.insert(outcome.reply.end(), reply.begin(), reply.end());
}

bool ReceiverSession::mayDeliverInput(Outcome& outcome)
{
    if (state_ == State::Accepted)
        return true;
    if (!toldIgnoredInput_) {
        toldIgnoredInput_ = true;
        outcome.notices.push_back(state_ == State::Refused ? "input of a refused login ignored"
                                                           : "input before the login ignored");
    }
    return false;
}
