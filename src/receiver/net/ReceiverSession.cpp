// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/ReceiverSession.h"

#include "SecureHandshake.h"
#include "SecureRecord.h"

#include <type_traits>

namespace {

// Why a secure login was refused before its share was answered; none of
// these is a guess at the passcode.
const char* whySecureLoginRefused(HandshakeResult result)
{
    switch (result) {
    case HandshakeResult::BadShare:
        return "secure login refused: its key share is not valid";
    case HandshakeResult::UnknownVersion:
        return "secure login refused: a version this receiver does not speak";
    case HandshakeResult::Malformed:
        return "secure login refused: not a secure login request";
    default:
        return "secure login failed: the receiver's cryptography is not usable";
    }
}

// Said whatever the passcode was: it is never compared, so that neither the
// reply, its timing, the throttle nor this notice tell a right one from a
// wrong one, and a near miss gives the passcode away just the same.
constexpr const char* kPlainLoginNotice =
    "plain login refused: this phone sent a passcode unencrypted, readable by anyone on the network. "
    "If it is one of yours, change the passcode now (edit the passcode file, or run "
    "'quillon-receiver --new-passcode --force') and log in with an app that speaks the secure login; "
    "'--allow-plain' accepts phones that speak only the plain login, whose passcodes and keys then "
    "cross the network readable";

} // namespace

ReceiverSession::ReceiverSession(const std::string& passcode, InputSink& sink, Settings settings)
    : passcode_(passcode)
    , sink_(sink)
    , settings_(std::move(settings))
    , handshake_(std::make_unique<ReceiverHandshake>(settings_.name))
{
}

ReceiverSession::~ReceiverSession() = default;

ReceiverSession::Outcome ReceiverSession::receive(const uint8_t* bytes, std::size_t count)
{
    Outcome outcome;
    if (records_) {
        openRecords(bytes, count, outcome);
        return outcome;
    }
    parser_.feed(bytes, count);
    handlePackets(outcome);
    return outcome;
}

ReceiverSession::Outcome ReceiverSession::answerPendingLogin()
{
    Outcome outcome;
    if (state_ != State::LoginPending)
        return outcome;
    if (handshake_) {
        verifyTag(outcome);
    } else {
        const std::vector<uint8_t> request = std::move(pendingLogin_);
        pendingLogin_.clear();
        answerLogin(request, outcome);
    }
    handlePackets(outcome);
    return outcome;
}

void ReceiverSession::handlePackets(Outcome& outcome)
{
    // A held login keeps what follows it unread, so that events sent right
    // behind a login are handled after its answer, in order.
    while (state_ != State::LoginPending && !records_ && !outcome.drop) {
        auto packet = parser_.next();
        if (!packet)
            break;
        handle(*packet, outcome);
    }
    if (parser_.failed() && !outcome.drop) {
        outcome.drop = true;
        outcome.dropReason = parser_.error();
    }
    if (records_ && !outcome.drop) {
        // The bytes behind a verified tag are already records.
        const std::vector<uint8_t> rest = parser_.takeRemaining();
        openRecords(rest.data(), rest.size(), outcome);
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
    if (state_ == State::AwaitingLogin) {
        startLogin(message.payload, outcome);
    } else if (state_ == State::AwaitingTag) {
        takeTag(message.payload, outcome);
    } else {
        // One login per connection: a client cannot try passcodes one after
        // another on the same connection.
        outcome.notices.push_back("message after the login ignored");
    }
}

void ReceiverSession::startLogin(const std::vector<uint8_t>& request, Outcome& outcome)
{
    if (helloGate_ && isSecureLoginRequest(request.data(), request.size()) && !helloGate_()) {
        // No answer: anything but a share would read as a receiver that
        // speaks only the plain login. The phone sees the connection close.
        handshake_.reset();
        state_ = State::Refused;
        outcome.drop = true;
        outcome.dropReason = "secure login not answered: too many from its address, or from all addresses";
        return;
    }
    std::vector<uint8_t> answer;
    const HandshakeResult result = handshake_->hello(passcode_, request.data(), request.size(), answer);
    if (result == HandshakeResult::Ok) {
        // The share is not derived from the exchange's key: it tells a guesser nothing.
        state_ = State::AwaitingTag;
        outcome.challenged = true;
        const std::vector<uint8_t> message = framedMessage(answer);
        outcome.reply.insert(outcome.reply.end(), message.begin(), message.end());
        return;
    }
    handshake_.reset();
    if (result != HandshakeResult::NotSecureLogin) {
        outcome.notices.push_back(whySecureLoginRefused(result));
        refuse(LoginVerdict::Malformed, framedMessage(answer), outcome);
        return;
    }
    if (!settings_.allowPlain && isPlainLoginRequest(request.data(), request.size())) {
        refusePlainLogin(outcome);
        return;
    }
    if (loginGate_ && !loginGate_()) {
        state_ = State::LoginPending;
        pendingLogin_ = request;
        return;
    }
    answerLogin(request, outcome);
}

void ReceiverSession::takeTag(const std::vector<uint8_t>& message, Outcome& outcome)
{
    // A tag of the wrong form is taken all the same: its check refuses it,
    // in its turn, as a wrong passcode.
    handshake_->takeTag(message.data(), message.size());
    if (loginGate_ && !loginGate_()) {
        state_ = State::LoginPending;
        return;
    }
    verifyTag(outcome);
}

void ReceiverSession::verifyTag(Outcome& outcome)
{
    std::vector<uint8_t> answer;
    const bool accepted = handshake_->verifyTag(answer) == HandshakeResult::Ok;
    outcome.verdict = accepted ? LoginVerdict::Accepted : LoginVerdict::WrongPasscode;
    state_ = accepted ? State::Accepted : State::Refused;
    if (accepted) {
        records_ = std::make_unique<RecordOpener>(handshake_->keys()->receiving);
        handshake_.reset();
        if (acceptedHandler_)
            acceptedHandler_();
    } else {
        handshake_.reset();
        outcome.notices.push_back("login refused: wrong passcode");
        // Nothing more is read from a phone that does not know the passcode.
        outcome.drop = true;
        outcome.dropReason = "its secure login was refused";
    }
    sink_.loginAnswered(accepted);
    const std::vector<uint8_t> message = framedMessage(answer);
    outcome.reply.insert(outcome.reply.end(), message.begin(), message.end());
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

void ReceiverSession::refusePlainLogin(Outcome& outcome)
{
    // Answered at once and never held: with no passcode compared there is
    // nothing for the throttle to slow down.
    outcome.notices.push_back(kPlainLoginNotice);
    refuse(LoginVerdict::PlainRefused, encodeLoginReply(false), outcome);
}

void ReceiverSession::refuse(LoginVerdict verdict, const std::vector<uint8_t>& message, Outcome& outcome)
{
    outcome.verdict = verdict;
    state_ = State::Refused;
    sink_.loginAnswered(false);
    outcome.reply.insert(outcome.reply.end(), message.begin(), message.end());
}

void ReceiverSession::openRecords(const uint8_t* bytes, std::size_t count, Outcome& outcome)
{
    while (count > 0 && !outcome.drop) {
        std::size_t used = 0;
        const RecordOpener::Status status = records_->feed(bytes, count, used);
        bytes += used;
        count -= used;
        if (status == RecordOpener::Status::Failed) {
            // Nothing of it reached the sink; the server's close lets go of
            // what the phone held.
            outcome.drop = true;
            outcome.dropReason = "a record did not open (altered, replayed, out of order or malformed)";
        } else if (status == RecordOpener::Status::Packet) {
            recordPacket_.feed(records_->packet(), records_->packetSize());
            if (auto packet = recordPacket_.next())
                handle(*packet, outcome);
        }
    }
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
