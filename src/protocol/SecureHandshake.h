// SPDX-License-Identifier: GPL-3.0-or-later
// The secure session's handshake as two state machines without sockets: the
// phone initiates, the receiver responds. They make and read the payloads of
// four value-tree messages (the caller frames and sends them as any message):
//   1. phone:    {"Cmd": "SecureLogin", "Ver": 1, "Sid": hex(16), "Ya": hex(32)}
//   2. receiver: {"Yb": hex(32), "Name": name}, or {"Rsp": 1} when it cannot
//   3. phone:    {"Ta": hex(64)}
//   4. receiver: {"Tb": hex(64)} once Ta verified, else {"Rsp": 1}
// Binary values travel as lowercase hex of exactly their size; anything else
// is refused. Ya and Yb are CPace shares from the passcode; Ta and Tb are
// HMAC-SHA-512 over the whole transcript, each under its direction's key, so
// that a tag sent back never confirms. Both end with the record keys of the
// two directions.
//
// Each object serves one connection: its scalar is fresh and never reused.
// Any refusal is final. The passcode is read, never kept (the one buffer that
// holds it, the generator string, is wiped at once); keys, scalars and ISK
// are wiped when no longer needed and on destruction. No exceptions; every
// call returns a HandshakeResult.
#pragma once

#include "CPace.h"
#include "Hkdf.h"
#include "SecureRecord.h"

#include <memory>
#include <string>
#include <string_view>

enum class HandshakeResult : int {
    Ok = 0,
    // Receiver: the first message is not a secure login (a plain login, or
    // anything else); nothing is answered, the caller handles it as before.
    NotSecureLogin,
    // Phone: the answer holds no "Yb": the receiver speaks only the plain login.
    PlainOnly,
    // A share refused: not a point, its top bit set, the identity, or our own.
    BadShare,
    // A tag that does not verify, or an answer in its place without one.
    BadTag,
    // Not the message expected: not a dictionary, an entry missing or of the
    // wrong type, hex of the wrong size or form.
    Malformed,
    // Receiver: a "Ver" it does not speak.
    UnknownVersion,
    // Called out of order or after a refusal, or libsodium is not usable.
    Failed,
};

// The record keys of a confirmed session, from this side's point of view.
struct SessionKeys {
    RecordKey sending;
    RecordKey receiving;
};

// What both sides keep between their messages (defined in the source).
struct HandshakeState;

class PhoneHandshake {
public:
    PhoneHandshake();
    ~PhoneHandshake();
    PhoneHandshake(const PhoneHandshake&) = delete;
    PhoneHandshake& operator=(const PhoneHandshake&) = delete;

    // Message 1 into `payload`, from the passcode's exact bytes; the passcode
    // is not kept. Ok or Failed.
    HandshakeResult start(std::string_view passcode, Bytes& payload);
    // Reads message 2 and puts message 3 into `payload`. Ok, PlainOnly,
    // BadShare, Malformed or Failed.
    HandshakeResult answer(const uint8_t* reply, std::size_t length, Bytes& payload);
    // Reads message 4. Ok (keys() is set) or BadTag, whatever else came; Failed
    // out of order. A BadTag is a refused passcode.
    HandshakeResult confirm(const uint8_t* reply, std::size_t length);

    // The name the receiver gave with its share (its bytes as sent), once answer() is Ok.
    const std::string& receiverName() const { return receiverName_; }
    // The record keys once confirm() is Ok, else null. Copy them into the
    // sealer and the opener, then let the handshake go: it wipes them.
    const SessionKeys* keys() const;

private:
    std::unique_ptr<HandshakeState> state_;
    std::string receiverName_;
};

class ReceiverHandshake {
public:
    // `name` is the receiver's name as it tells it to phones (up to a NUL,
    // which a value-tree text cannot hold).
    explicit ReceiverHandshake(std::string name);
    ~ReceiverHandshake();
    ReceiverHandshake(const ReceiverHandshake&) = delete;
    ReceiverHandshake& operator=(const ReceiverHandshake&) = delete;

    // Reads message 1 and puts message 2 into `payload`: Ok. NotSecureLogin,
    // `payload` empty, for any other first message. Malformed,
    // UnknownVersion, BadShare and Failed put {"Rsp": 1} there.
    HandshakeResult hello(std::string_view passcode, const uint8_t* request, std::size_t length, Bytes& payload);
    // Message 3 arrived: takes Ta without checking it, so that the guessing
    // throttle can hold it as it holds a plain login. Ok, or Malformed (the
    // check then refuses it); Failed out of order.
    HandshakeResult takeTag(const uint8_t* request, std::size_t length);
    // Checks the Ta taken: Ok puts message 4 into `payload` and sets keys().
    // BadTag (a wrong passcode) and Failed (out of order) put {"Rsp": 1} there.
    HandshakeResult verifyTag(Bytes& payload);

    // The record keys once verifyTag() is Ok, else null; as for the phone.
    const SessionKeys* keys() const;

private:
    std::unique_ptr<HandshakeState> state_;
    std::string name_;
};
