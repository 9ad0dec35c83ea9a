// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/ReceiverSession.h"

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
    handlePackets(outcome);
    return outcome;
}

ReceiverSession::Outcome ReceiverSession::answerPendingLogin()
{
    Outcome outcome;
    if (state_ != State::LoginPending)
        return outcome;
    const std::vector<uint8_t> request = std::move(pendingLogin_);
    pendingLogin_.clear();
    answerLogin(request, outcome);
    handlePackets(outcome);
    return outcome;
}

void ReceiverSession::handlePackets(Outcome& outcome)
{
    // A held login keeps what follows it unread, so that events sent right
    // behind a login are handled after its answer, in order.
    while (state_ != State::LoginPending) {
        auto packet = parser_.next();
        if (!packet)
            break;
        handle(*packet, outcome);
    }
    if (parser_.failed()) {
        outcome.drop = true;
        outcome.dropReason = parser_.error();
    }
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
    if (loginGate_ && !loginGate_()) {
        state_ = State::LoginPending;
        pendingLogin_ = message.payload;
        return;
    }
    answerLogin(message.payload, outcome);
}

void ReceiverSession::answerLogin(const std::vector<uint8_t>& request, Outcome& outcome)
{
    const LoginVerdict verdict = checkLoginRequest(request.data(), request.size(), passcode_);
    outcome.verdict = verdict;
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
