// SPDX-License-Identifier: GPL-3.0-or-later
// The session server's rules, apart from its sockets: who gets one of the
// places, who makes room for a newcomer, how long a client has to log in,
// when a held login's turn comes, and how much may be said about one
// connection. Plain arithmetic on time and counts: the server tells it what
// happens to its clients (one arrived, its login was held or answered, it
// left) and asks it what to do.
//
// Against hostile clients: each address may hold only a few places, and a
// few places are kept for the addresses that have logged in before (in this
// run or an earlier one), which strangers cannot take; a newcomer makes room
// only by taking the place of a client that has been connected for a while
// without logging in, never one that has just arrived, and of those one
// from the address that holds the most places, so that a flood pushes out
// itself; a client that does not log in in time is dropped; logins wait
// their turn in a LoginThrottle, so that a passcode cannot be guessed
// quickly (an address that logged in before is not held by its limit on
// all addresses); and the notices about any one connection are limited.
#pragma once

#include "net/LoginCheck.h"
#include "net/LoginThrottle.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class AdmissionPolicy {
public:
    using Clock = std::chrono::steady_clock;
    // Handed out in order of arrival; never used twice.
    using ConnectionId = std::uint64_t;

    struct Limits {
        // Clients at once. When all places are taken, a client that has not
        // logged in (or was refused) makes room for a newcomer, if it has
        // been connected for the grace period: the oldest such client of the
        // address that holds the most places. Otherwise the newcomer is
        // turned away.
        std::size_t maxConnections = 64;
        std::size_t maxConnectionsPerAddress = 8;
        // Of the places, those that only addresses that logged in before may
        // take: strangers together hold at most the others.
        std::size_t placesForKnownAddresses = 8;
        std::chrono::milliseconds gracePeriod = std::chrono::seconds(2);
        // A client whose login has not been answered by then is dropped, so
        // that idle connections cannot hold places for ever.
        std::chrono::milliseconds loginTimeout = std::chrono::seconds(30);
        // Notices about one connection between its arrival and its end.
        int noticesPerConnection = 4;
        LoginThrottle::Policy throttle;
    };

    // What becomes of a newcomer.
    struct Admission {
        bool admitted = false;
        // The client to close first, to make room for it.
        std::optional<ConnectionId> makeRoomBy;
        // Why it is turned away, when it is.
        std::string refusal;
    };

    // How much of a notice about one connection may be said.
    enum class NoticeShare {
        None,
        One,
        // The last of its share: say it, then that further ones are left out.
        Last,
    };

    AdmissionPolicy();
    explicit AdmissionPolicy(Limits limits);

    // Whether a newcomer from `address` (IPv4, network byte order) gets a
    // place at `now`, and whose place it takes. Every rule about who gets a
    // place and who makes room lives here; it sees every client's address,
    // age and login.
    Admission admit(uint32_t address, Clock::time_point now) const;
    // The newcomer took its place (after the client that made room left).
    ConnectionId arrived(uint32_t address, Clock::time_point now);
    // A client's connection ended, for whatever reason. When its secure
    // login's share had gone out and its tag was not yet verified, that
    // counts as one wrong passcode of its address, whoever ended it:
    // otherwise a guesser would hang up before each verdict. It had no
    // verdict, so it uses none of the limit on all failures, which holds
    // back new phones on other addresses. True when this starts holding its
    // address back (the one notice about that is due).
    bool left(ConnectionId id, Clock::time_point now);
    // A client's secure login had its share answered.
    void challenged(ConnectionId id);
    // Asked when a client's secure login opens, before any of its
    // cryptography: false refuses it, since its address, or all addresses
    // but those that logged in before, have spent their budget of hellos.
    bool mayAnswerHello(ConnectionId id, Clock::time_point now);

    // Asked when a client's login request arrives: false holds it (tell
    // loginHeld) while another login of its address is held, or while the
    // throttle holds its address back.
    bool mayCheckLoginNow(ConnectionId id, Clock::time_point now) const;
    void loginHeld(ConnectionId id);
    // Calls `check` for each held login whose turn has come at `now`: fewest
    // failures of its address first, then in order of arrival, and one per
    // address, so that an address's next login waits for the delay its last
    // failure earned. Each is looked at afresh just before its turn, since
    // the answer to one may use up the last share of the limit on all
    // failures (tell loginAnswered from `check`).
    void takeDueLogins(Clock::time_point now, const std::function<void(ConnectionId)>& check);
    // A login was checked and answered. True when this answer starts holding
    // its address back (the one notice about that is due).
    bool loginAnswered(ConnectionId id, LoginVerdict verdict, Clock::time_point now);

    // The addresses that logged in before this run, oldest first.
    void rememberKnownAddresses(const std::vector<uint32_t>& addresses);
    // The addresses that have logged in, oldest login first, once a login
    // changed them since the last call (to be kept for the next run);
    // nothing when none did.
    std::optional<std::vector<uint32_t>> takeChangedKnownAddresses();

    // Whether a client's login is still unanswered when its time is up.
    bool loginOverdue(ConnectionId id, Clock::time_point now) const;
    // How long until a held login's turn comes or a login falls due; nothing
    // when no client is waiting for either.
    std::optional<std::chrono::milliseconds> timeUntilNextDeadline(Clock::time_point now) const;

    // An address the throttle holds back: it said so once, and says nothing
    // more about that address's connections.
    bool isHeldBack(uint32_t address) const;
    // Takes a share of what may be said about one connection.
    NoticeShare takeNotice(ConnectionId id);

    const LoginThrottle::Policy& throttlePolicy() const { return throttle_.policy(); }

private:
    enum class Login { Awaited, Held, Accepted, Refused };
    struct Client {
        uint32_t address = 0;
        Clock::time_point arrived;
        Clock::time_point loginDue;
        Login login = Login::Awaited;
        int noticesLeft = 0;
        bool challenged = false; // its secure login's share was answered
    };

    // The client whose place a newcomer takes, if any may: of those that
    // drive nothing and had their grace period (and, when `strangersOnly`,
    // are not of an address that logged in), the oldest of the address
    // that holds the most places.
    std::optional<ConnectionId> whoMakesRoom(Clock::time_point now, bool strangersOnly) const;

    Limits limits_;
    LoginThrottle throttle_;
    ConnectionId nextId_ = 0;
    std::map<ConnectionId, Client> clients_; // in order of arrival
    bool knownAddressesChanged_ = false;
};
