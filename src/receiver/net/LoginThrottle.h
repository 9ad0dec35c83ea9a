// SPDX-License-Identifier: GPL-3.0-or-later
// Slows down passcode guessing. Each address may fail a few logins at once;
// after that each further attempt from it waits a delay that doubles with
// every failure, up to a cap, before its passcode is even looked at. On top,
// wrong passcodes from all addresses together are limited per minute, so
// that many addresses cannot add up to a fast guesser; one address held back
// by its delays stays well inside that limit, so the owner's phone on another
// address is answered at once. An address that has logged in before is not
// held by the limit on all (only by its own delays), so the owner's phone is
// answered at once even while many addresses guess together. A right
// passcode clears its address's record; a record that stays quiet long
// enough is forgotten. The addresses that logged in are kept in order of
// their last login, the oldest forgotten first; the receiver keeps them
// across its runs (rememberLoggedIn at start).
//
// It also budgets the secure logins' hellos, each of which costs the receiver
// a key exchange's scalar multiplications before any guess is made: a few
// from one address, then so many a second; and from all addresses together,
// but for those that logged in before, as for the failures. A hostile client
// that connects again and again then keeps no core busy.
#pragma once

#include "common/TokenBucket.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <unordered_map>
#include <vector>

class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    struct Policy {
        int freeFailures = 3; // failures of one address before its attempts wait
        std::chrono::milliseconds firstDelay = std::chrono::seconds(1);
        std::chrono::milliseconds maxDelay = std::chrono::seconds(60);
        int failuresPerMinute = 10; // of all addresses together, after a burst of as many
        std::chrono::milliseconds forgetAfter = std::chrono::hours(1);
        std::size_t maxAddresses = 4096; // remembered at once
        std::size_t maxLoggedIn = 64;    // addresses remembered for a right passcode
        // Hellos answered from one address: a burst, then so many a second...
        double hellosPerAddressBurst = 20;
        double hellosPerAddressPerSecond = 5;
        // ...and from all addresses that have not logged in before, together.
        double hellosOfAllBurst = 40;
        double hellosOfAllPerSecond = 20;
    };

    LoginThrottle();
    explicit LoginThrottle(Policy policy);

    // The failures remembered for `address` (IPv4, network byte order).
    int failures(uint32_t address) const;
    // Whether an attempt from `address` may have its passcode checked at `now`.
    bool mayCheck(uint32_t address, Clock::time_point now) const;
    // When an attempt from `address` that may not be checked now can be.
    Clock::time_point checkableAt(uint32_t address, Clock::time_point now) const;
    // A checked attempt's outcome. recordFailure is true when this failure
    // starts holding the address back (its one notice is due); recordSuccess
    // is true when the addresses that logged in, or their order, changed.
    bool recordFailure(uint32_t address, Clock::time_point now);
    // A login that ended before its verdict (its client hung up after the
    // secure login's share): it counts against its address as a failure, but
    // was given no verdict, so it takes nothing of the limit on all.
    bool recordUnanswered(uint32_t address, Clock::time_point now);
    bool recordSuccess(uint32_t address);

    // Whether a secure login's hello from `address` may be answered at
    // `now`; counts it when it may. Asked before any of its cryptography.
    bool takeHello(uint32_t address, Clock::time_point now);

    // Whether `address` has logged in (in this run or, when it was
    // remembered, an earlier one).
    bool hasLoggedIn(uint32_t address) const;
    // The addresses that logged in, oldest login first; at most maxLoggedIn.
    const std::deque<uint32_t>& loggedIn() const { return loggedIn_; }
    // Addresses that logged in before this run, oldest first, as if they
    // had logged in now in that order.
    void rememberLoggedIn(const std::vector<uint32_t>& addresses);

    // The wait after the n-th failure of one address (0 for the free ones).
    std::chrono::milliseconds delayAfter(int failures) const;
    const Policy& policy() const { return policy_; }

private:
    struct Record {
        int failures = 0;
        Clock::time_point lastFailure;
    };
    void forgetOld(Clock::time_point now);
    // The hello budget of `address`; null when the table is full of
    // addresses still spending theirs.
    TokenBucket* helloBucket(uint32_t address, Clock::time_point now);

    Policy policy_;
    TokenBucket failuresOfAll_;
    std::unordered_map<uint32_t, Record> records_;
    std::deque<uint32_t> loggedIn_; // oldest first
    TokenBucket hellosOfAll_;
    std::unordered_map<uint32_t, TokenBucket> hellos_; // at most maxAddresses
};
