// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the desktop's remote-desktop portal, written for the tests:
// it owns org.freedesktop.portal.Desktop on a private session bus and serves
// org.freedesktop.portal.RemoteDesktop at /org/freedesktop/portal/desktop
// from a thread of its own, answering requests through the Response signal
// of Request objects as the real portal does, and writes down every call it
// gets as a line of text:
//
//   CreateSession
//   SelectDevices types=3 persist_mode=2 restore_token=token-1
//   Start
//   NotifyPointerMotion 5 -3
//   NotifyPointerButton 272 1
//   NotifyPointerAxisDiscrete 0 -1
//   NotifyKeyboardKeysym 65505 1
//   Session.Close
//   Request.Close
//
// An input call on a session that is not started is written down with
// " (no session)" after it. Options missing from a call are left out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct sd_bus;
struct sd_bus_message;

class StandInPortal {
public:
    enum class StartAnswer {
        Grant,   // response 0, with a new restore token when persistence was asked for
        Refuse,  // response 1: the user said no
        Silence, // no response at all: a dialog nobody answers
    };

    struct Behaviour {
        uint32_t version = 2;
        StartAnswer start = StartAnswer::Grant;
        // CreateSession's Response is sent before its reply, as a portal
        // quicker than its own reply may do: a client that subscribes late
        // loses it.
        bool answerBeforeReply = true;
    };

    // Connects to the bus at `address` and takes the portal's name. Null
    // with `why` when that fails.
    static std::unique_ptr<StandInPortal> start(const std::string& address, Behaviour behaviour, std::string& why);
    ~StandInPortal();
    StandInPortal(const StandInPortal&) = delete;
    StandInPortal& operator=(const StandInPortal&) = delete;

    // Every call so far.
    std::vector<std::string> calls() const;
    // Waits until a call equal to `call` has come after the last one a wait
    // found; false when none comes in time.
    bool waitForCall(const std::string& call, std::chrono::milliseconds wait = std::chrono::seconds(5));
    // Waits until `count` calls have come in all; the calls then.
    std::vector<std::string> waitForCallCount(std::size_t count,
                                              std::chrono::milliseconds wait = std::chrono::seconds(5));

    // The desktop ends every started session (as when the user stops
    // sharing from the desktop's own controls).
    void closeSessionsFromDesktop();

    // The restore tokens handed out so far, oldest first.
    std::vector<std::string> tokensGiven() const;

private:
    StandInPortal(sd_bus* bus, Behaviour behaviour);
    void run();
    void record(const std::string& call);
    // Answers a request with the reply (its Request object's path) and that
    // object's Response signal, in the order asked for.
    int answer(sd_bus_message* call, const std::string& requestToken, uint32_t response,
               const std::map<std::string, std::string>& strings, const std::map<std::string, uint32_t>& numbers,
               bool signalFirst);
    // The caller's unique name as request and session paths spell it.
    static std::string senderPart(sd_bus_message* call);
    static std::string requestPath(sd_bus_message* call, const std::string& token);

    // sd-bus's method handlers.
    friend struct StandInHandlers;

    sd_bus* bus_;
    Behaviour behaviour_;
    int wakeFd_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> calls_;
    std::size_t waitedUpTo_ = 0;
    std::set<std::string> createdSessions_;
    std::set<std::string> startedSessions_;
    std::vector<std::string> tokens_;
    bool persistAsked_ = false;
    bool closeSessionsRequested_ = false;
    bool stopRequested_ = false;
};
