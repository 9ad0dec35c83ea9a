// SPDX-License-Identifier: GPL-3.0-or-later
// ReceiverDouble: a scripted receiver on 127.0.0.1 for the session tests.
//
// It listens on a free port and serves one connection after another. By
// default it speaks the secure session: it runs the receiver's half of the
// handshake with its passcode and name, then opens every record and keeps
// the packets inside, so that a test reads what the phone sent as if the
// session were plain. A phone with another passcode gets {"Rsp": 1} after its
// tag and the connection closes, as with the real receiver. In plain mode it
// optionally reads the login frame, answers with scripted reply pieces
// (pausing between them so that each arrives on its own), and records every
// byte that follows. Waits are bounded so a broken session fails the test
// instead of hanging it.
#pragma once

#include "support/SessionBytes.h"
#include "UniqueFd.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class RecordOpener;

// The passcode and the name a secure double uses unless told otherwise.
inline const std::string kReceiverDoublePasscode = "test passcode";
inline const std::string kReceiverDoubleName = "Test Receiver";

struct ReceiverScript {
    enum class Login { Secure, Plain };
    Login login = Login::Secure;

    // Secure: the passcode and the name of the handshake, and how the double
    // answers a tag Ta that verified (the last three are receivers that must
    // not be believed).
    std::string passcode = kReceiverDoublePasscode;
    std::string name = kReceiverDoubleName;
    enum class Confirm { WithTb, ByResetting, WithTheTaSentBack, WithAWrongTb };
    Confirm confirm = Confirm::WithTb;

    // Plain: whether the first message is read, and the answer to it, one
    // write each.
    bool readsLogin = true;
    std::vector<Bytes> replyPieces;

    // Both: after its answer to the login (the pieces, or Tb) the double
    // closes, or keeps the connection open but reads nothing more, as a hung
    // receiver or a host gone without a word. `resets` closes with a reset
    // instead of an orderly close.
    bool closesAfterReply = false;
    bool stopsReadingAfterReply = false;
    bool resets = false;

    // A plain receiver that answers the first message with `pieces`.
    static ReceiverScript plain(std::vector<Bytes> pieces, bool closesAfterReply = false);
};

class ReceiverDouble {
public:
    explicit ReceiverDouble(ReceiverScript script = ReceiverScript());
    ~ReceiverDouble();
    ReceiverDouble(const ReceiverDouble&) = delete;
    ReceiverDouble& operator=(const ReceiverDouble&) = delete;

    uint16_t port() const { return port_; }
    // The connections accepted so far (no waiting).
    int connections();
    // The passcode of the next connections' handshakes: the receiver's
    // passcode changed, or another computer took its address.
    void setPasscode(const std::string& passcode);

    // Of the latest connection:
    // the first message as it arrived (header and payload); empty if none came.
    Bytes loginFrame();
    // The secure handshake's message 3, the phone's tag Ta; empty if none came.
    Bytes tagFrame();
    // The packets received after the login (opened from their records on a
    // secure session), once at least `count` bytes of them have arrived or
    // the phone side closed (or the bounded wait ran out).
    Bytes received(size_t count);
    // Every byte the phone sent, as it crossed the wire, so far.
    Bytes wire();
    // True once the phone side closed the connection.
    bool waitForPeerClose();
    // True once the double has closed its side after replying.
    bool waitForOwnClose();
    // The phone side's local port, once a connection was accepted; 0 before.
    uint16_t clientPort();

private:
    void run();
    // Each false when the connection is over.
    bool serveSecure(int fd);
    bool servePlain(int fd);
    bool readFrame(int fd, Bytes& into, bool& done);
    void recordUntilClosed(int fd, RecordOpener* opener);
    bool pause(int milliseconds);
    template <typename Ready> bool waitFor(Ready ready);

    ReceiverScript script_;
    UniqueFd listener_;
    int wakePipe_[2] = {-1, -1};
    uint16_t port_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string passcode_;
    int connections_ = 0;
    Bytes login_;
    bool loginDone_ = false;
    Bytes tag_;
    bool tagDone_ = false;
    Bytes received_;
    Bytes wire_;
    bool peerClosed_ = false;
    bool ownClosed_ = false;
    uint16_t clientPort_ = 0;

    std::thread thread_;
};

// Listening-free loopback port: bound but not listening, so a connect to it
// is refused and no other test can take it meanwhile.
class RefusingPort {
public:
    RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    uint16_t port() const { return port_; }

private:
    UniqueFd fd_;
    uint16_t port_ = 0;
};
