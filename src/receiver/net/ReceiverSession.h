// SPDX-License-Identifier: GPL-3.0-or-later
// What the receiver does with the bytes of one client connection, free of
// sockets: it parses the stream, answers the login, passes the input events of
// an accepted session to the sink and decides when the client must be dropped.
//
// A phone logs in securely: its first message opens the handshake
// (SecureHandshake.h), the receiver answers with its share at once, and the
// phone's tag, the proof that it knows the passcode, waits in the guessing
// throttle exactly as a plain login does. Once the tag is verified every
// byte of the connection is a record (SecureRecord.h) holding one of the
// session's packets; a record that does not open ends the session. The
// receiver sends nothing derived from the exchange's key before the tag is
// verified, and nothing at all after its confirmation.
//
// A plain login (the passcode in clear) is refused unless the receiver allows
// it, and the operator is told that the passcode has crossed the network.
#pragma once

#include "net/LoginCheck.h"
#include "net/PacketStreamParser.h"
#include "sinks/InputSink.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ReceiverHandshake;
class RecordOpener;

class ReceiverSession {
public:
    enum class State {
        AwaitingLogin,
        // A secure login's share was answered: the phone's tag is awaited.
        AwaitingTag,
        // The login request (or a secure login's tag) arrived and waits for
        // its turn to be checked (the guessing throttle holds it); what
        // follows it waits unread.
        LoginPending,
        Accepted,
        // The login was refused: the client may keep the connection open (the
        // phone does until it connects again), but its events go nowhere. A
        // secure login refused for a wrong passcode is dropped instead.
        Refused,
    };

    struct Settings {
        // The receiver's name as its discovery reply gives it: the secure
        // handshake binds it, so that a phone can pin it.
        std::string name;
        // Plain logins are answered as secure ones are; otherwise refused.
        bool allowPlain = false;
    };

    // What the caller must do after `receive`.
    struct Outcome {
        std::vector<uint8_t> reply;       // bytes to send to the client
        std::vector<std::string> notices; // for the operator, about this client
        bool drop = false;                // close the connection (after sending `reply`)
        std::string dropReason;
        std::optional<LoginVerdict> verdict; // the login answered in this step, if any
        // A secure login's share went out in this step: from now on, the
        // connection ending before a verdict counts as a wrong passcode.
        bool challenged = false;
    };

    // `passcode` and `sink` must outlive the session.
    ReceiverSession(const std::string& passcode, InputSink& sink, Settings settings);
    ~ReceiverSession();

    Outcome receive(const uint8_t* bytes, std::size_t count);

    // Asked when a login request (or a secure login's tag) arrives: false
    // holds it (state LoginPending) until answerPendingLogin(). Without a
    // gate every login is checked at once.
    void setLoginGate(std::function<bool()> gate) { loginGate_ = std::move(gate); }
    // Asked when a secure login opens, before its share is computed: false
    // drops the client unanswered (it counts as no guess). Without a gate
    // every hello is answered.
    void setHelloGate(std::function<bool()> gate) { helloGate_ = std::move(gate); }
    // Checks the held login, answers it, then handles what arrived after it.
    Outcome answerPendingLogin();

    // Called when this session's login is accepted, before the sink hears of
    // it and before any of its events: the server lets a new login take over
    // from the one that drove the input until then.
    void setAcceptedHandler(std::function<void()> handler) { acceptedHandler_ = std::move(handler); }

    State state() const { return state_; }
    // Whether its bytes are records of a confirmed secure login.
    bool secure() const { return records_ != nullptr; }

private:
    void handlePackets(Outcome& outcome);
    void handle(const SessionPacket& packet, Outcome& outcome);
    void handleMessage(const MessagePacket& message, Outcome& outcome);
    void startLogin(const std::vector<uint8_t>& request, Outcome& outcome);
    void takeTag(const std::vector<uint8_t>& message, Outcome& outcome);
    void verifyTag(Outcome& outcome);
    void answerLogin(const std::vector<uint8_t>& request, Outcome& outcome);
    void refusePlainLogin(Outcome& outcome);
    void refuse(LoginVerdict verdict, const std::vector<uint8_t>& message, Outcome& outcome);
    void openRecords(const uint8_t* bytes, std::size_t count, Outcome& outcome);
    bool mayDeliverInput(Outcome& outcome);

    const std::string& passcode_;
    InputSink& sink_;
    Settings settings_;
    PacketStreamParser parser_;
    State state_ = State::AwaitingLogin;
    bool toldIgnoredInput_ = false;
    std::function<void()> acceptedHandler_;
    std::function<bool()> loginGate_;
    std::function<bool()> helloGate_;
    std::vector<uint8_t> pendingLogin_;
    // Until the verdict on a secure login; let go then, so its keys are wiped.
    std::unique_ptr<ReceiverHandshake> handshake_;
    // After a confirmed secure login: the phone's records, and the packet
    // inside each, parsed as a plain stream's are.
    std::unique_ptr<RecordOpener> records_;
    PacketStreamParser recordPacket_;
};
