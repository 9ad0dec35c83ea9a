// SPDX-License-Identifier: GPL-3.0-or-later
// The session server's rules without a socket: tables of what happens to its
// clients on a manual clock (arrivals, logins and their answers, departures,
// time passing) and what the policy answers each time, written out: who gets
// a place and whose place it takes, which logins wait and when their turn
// comes, who is dropped for not logging in, how much is said.
#include "net/AdmissionPolicy.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = AdmissionPolicy::Clock;
using Id = AdmissionPolicy::ConnectionId;

const Clock::time_point kStart{std::chrono::hours(1000)};
const char* const kPhone = "192.0.2.10";
const char* const kGuesser = "192.0.2.66";
const LoginVerdict kRight = LoginVerdict::Accepted;
const LoginVerdict kWrong = LoginVerdict::WrongPasscode;

uint32_t address(const char* text)
{
    in_addr parsed{};
    EXPECT_EQ(inet_pton(AF_INET, text, &parsed), 1) << text;
    return parsed.s_addr;
}

// What happens, as the server would tell the policy or ask it.
struct Event {
    enum class Kind { Arrive, Login, Turns, Tick, Leave, Notice, HeldBack } kind;
    const char* address = "";
    Id id = 0;
    LoginVerdict verdict = kRight;
};

// A newcomer connects from `from`.
Event arrive(const char* from) { return {Event::Kind::Arrive, from}; }
// The login request of `id` arrives; checking it, now or at its turn, finds `verdict`.
Event login(Id id, LoginVerdict verdict) { return {Event::Kind::Login, "", id, verdict}; }
// The server's round: the held logins whose turn has come are checked.
Event turns() { return {Event::Kind::Turns}; }
// The server drops the clients whose login is overdue and asks when to wake up next.
Event tick() { return {Event::Kind::Tick}; }
Event leave(Id id) { return {Event::Kind::Leave, "", id}; }
// The server has something to say about `id`.
Event notice(Id id) { return {Event::Kind::Notice, "", id}; }
Event heldBack(const char* from) { return {Event::Kind::HeldBack, from}; }

struct Step {
    std::chrono::milliseconds at; // since the start
    Event event;
    std::string expected;
};

class PolicyUnderTest {
public:
    explicit PolicyUnderTest(AdmissionPolicy::Limits limits = {})
        : policy_(limits)
    {
    }

    void run(const std::vector<Step>& steps)
    {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(apply(kStart + steps[i].at, steps[i].event), steps[i].expected)
                << "step " << i << ", at " << steps[i].at.count() << " ms";
        }
    }

private:
    std::string apply(Clock::time_point now, const Event& event)
    {
        switch (event.kind) {
        case Event::Kind::Arrive: {
            const AdmissionPolicy::Admission admission = policy_.admit(address(event.address), now);
            if (!admission.admitted)
                return "turned away: " + admission.refusal;
            std::string made;
            if (admission.makeRoomBy) {
                made = ", #" + std::to_string(*admission.makeRoomBy) + " makes room";
                gone(*admission.makeRoomBy);
            }
            const Id id = policy_.arrived(address(event.address), now);
            live_.push_back(id);
            return "#" + std::to_string(id) + made;
        }
        case Event::Kind::Login:
            if (policy_.mayCheckLoginNow(event.id, now))
                return answer(event.id, event.verdict, now);
            policy_.loginHeld(event.id);
            held_[event.id] = event.verdict;
            return "held";
        case Event::Kind::Turns: {
            std::string checked;
            policy_.takeDueLogins(now, [&](Id id) { checked += " #" + std::to_string(id) + " " + answer(id, held_.at(id), now); });
            return checked.empty() ? "none" : "checked" + checked;
        }
        case Event::Kind::Tick: {
            std::string text;
            for (Id id : std::vector<Id>(live_)) {
                if (policy_.loginOverdue(id, now)) {
                    text += (text.empty() ? "dropped #" : " #") + std::to_string(id);
                    gone(id);
                }
            }
            if (!text.empty())
                text += "; ";
            const auto next = policy_.timeUntilNextDeadline(now);
            return text + (next ? "next in " + std::to_string(next->count()) + " ms" : "no deadline");
        }
        case Event::Kind::Leave:
            gone(event.id);
            return "gone";
        case Event::Kind::Notice:
            switch (policy_.takeNotice(event.id)) {
            case AdmissionPolicy::NoticeShare::None:
                return "silent";
            case AdmissionPolicy::NoticeShare::One:
                return "say";
            case AdmissionPolicy::NoticeShare::Last:
                return "say, then no more";
            }
            return "?";
        case Event::Kind::HeldBack:
            return policy_.isHeldBack(address(event.address)) ? "held back" : "heard";
        }
        return "?";
    }

    std::string answer(Id id, LoginVerdict verdict, Clock::time_point now)
    {
        const bool startsHolding = policy_.loginAnswered(id, verdict, now);
        return std::string(verdict == kRight ? "accepted" : "refused") + (startsHolding ? ", held back from now on" : "");
    }

    void gone(Id id)
    {
        policy_.left(id);
        live_.erase(std::find(live_.begin(), live_.end(), id));
    }

    AdmissionPolicy policy_;
    std::vector<Id> live_;
    std::map<Id, LoginVerdict> held_;
};

AdmissionPolicy::Limits places(std::size_t all, std::size_t perAddress = 8)
{
    AdmissionPolicy::Limits limits;
    limits.maxConnections = all;
    limits.maxConnectionsPerAddress = perAddress;
    return limits;
}

} // namespace

TEST(AdmissionPolicyPlaces, ANewcomerTakesThePlaceOfTheOldestClientNotLoggedInThatHadItsGracePeriod)
{
    PolicyUnderTest(places(4, 2)).run({
        {0ms, arrive("10.0.0.1"), "#0"},
        {0ms, login(0, kRight), "accepted"},
        {0ms, arrive("10.0.0.3"), "#1"},
        {0ms, login(1, kWrong), "refused"},
        {1000ms, arrive("10.0.0.1"), "#2"},
        {1000ms, arrive("10.0.0.1"), "turned away: too many connections from its address"},
        {1000ms, arrive("10.0.0.2"), "#3"},
        // Full, and those that drive nothing have been there less than 2 s.
        {1999ms, arrive("10.0.0.4"), "turned away: too many connections"},
        // A refused client makes room too; the one logged in never does.
        {2000ms, arrive("10.0.0.4"), "#4, #1 makes room"},
        {2999ms, arrive("10.0.0.4"), "turned away: too many connections"},
        {3000ms, arrive("10.0.0.4"), "#5, #2 makes room"},
        {3000ms, arrive("10.0.0.1"), "#6, #3 makes room"},
        {3000ms, arrive("10.0.0.5"), "turned away: too many connections"},
        // A place that is given back is free at once.
        {3000ms, leave(4), "gone"},
        {3000ms, arrive("10.0.0.5"), "#7"},
        {3000ms, arrive("10.0.0.1"), "turned away: too many connections from its address"},
    });
}

TEST(AdmissionPolicyPlaces, AFloodCannotPushOutAClientThatHasJustArrivedNorTheOneLoggedIn)
{
    // A phone that has just connected and is about to log in keeps its place:
    // the flood is turned away instead.
    PolicyUnderTest(places(2)).run({
        {0ms, arrive(kPhone), "#0"},
        {0ms, arrive("127.0.0.1"), "#1"},
        {1999ms, arrive("127.0.0.1"), "turned away: too many connections"},
        {1999ms, arrive("127.0.0.1"), "turned away: too many connections"},
        {1999ms, arrive("127.0.0.1"), "turned away: too many connections"},
        {1999ms, arrive("127.0.0.1"), "turned away: too many connections"},
        {1999ms, arrive("127.0.0.1"), "turned away: too many connections"},
        {1999ms, login(0, kRight), "accepted"},
    });
    PolicyUnderTest(places(1)).run({
        {0ms, arrive(kPhone), "#0"},
        {0ms, login(0, kRight), "accepted"},
        {3600000ms, arrive("127.0.0.1"), "turned away: too many connections"},
    });
}

TEST(AdmissionPolicyDeadlines, AClientHasUntilItsTimeIsUpToLogInAndAnAnsweredLoginHasNoDeadline)
{
    PolicyUnderTest().run({
        {0ms, arrive("127.0.0.1"), "#0"},
        {0ms, tick(), "next in 30000 ms"},
        {5000ms, arrive("127.0.0.1"), "#1"},
        {5000ms, login(1, kRight), "accepted"},
        {6000ms, arrive("127.0.0.1"), "#2"},
        {6000ms, login(2, kWrong), "refused"},
        {29999ms, tick(), "next in 1 ms"},
        {30000ms, tick(), "dropped #0; no deadline"},
        // The phone keeps even a refused connection open.
        {86400000ms, tick(), "no deadline"},
    });
}

TEST(AdmissionPolicyDeadlines, AHeldLoginWaitsForItsTurnOrItsTimeWhicheverComesFirst)
{
    AdmissionPolicy::Limits limits;
    limits.throttle.firstDelay = 60s;
    limits.throttle.maxDelay = 60s;
    PolicyUnderTest(limits).run({
        {0ms, arrive(kGuesser), "#0"},
        {0ms, login(0, kWrong), "refused"},
        {0ms, arrive(kGuesser), "#1"},
        {0ms, login(1, kWrong), "refused"},
        {0ms, arrive(kGuesser), "#2"},
        {0ms, login(2, kWrong), "refused, held back from now on"},
        {10000ms, arrive(kGuesser), "#3"},
        {10000ms, login(3, kWrong), "held"},
        {10000ms, tick(), "next in 30000 ms"},
        {39999ms, tick(), "next in 1 ms"},
        {40000ms, tick(), "dropped #3; no deadline"},
        // A turn that comes before the login's time wakes the server then.
        {50000ms, arrive(kGuesser), "#4"},
        {50000ms, login(4, kRight), "held"},
        {50000ms, tick(), "next in 10000 ms"},
        {59999ms, turns(), "none"},
        {60000ms, turns(), "checked #4 accepted"},
        {60000ms, tick(), "no deadline"},
    });
}

TEST(AdmissionPolicyTurns, AGuesserWaitsLongerAfterEachFailureWhileAnotherAddressIsAnsweredAtOnce)
{
    PolicyUnderTest().run({
        // Three wrong passcodes are answered at once.
        {0ms, arrive(kGuesser), "#0"},
        {0ms, login(0, kWrong), "refused"},
        {0ms, arrive(kGuesser), "#1"},
        {0ms, login(1, kWrong), "refused"},
        {0ms, arrive(kGuesser), "#2"},
        {0ms, login(2, kWrong), "refused, held back from now on"},
        // From then on each attempt waits: 1 s, then 2 s, then 4 s.
        {0ms, arrive(kGuesser), "#3"},
        {0ms, login(3, kWrong), "held"},
        {0ms, turns(), "none"},
        {0ms, tick(), "next in 1000 ms"},
        {999ms, turns(), "none"},
        {1000ms, turns(), "checked #3 refused"},
        {1000ms, arrive(kGuesser), "#4"},
        {1000ms, login(4, kWrong), "held"},
        {1000ms, tick(), "next in 2000 ms"},
        // Meanwhile the owner's phone, on another address, is answered at once.
        {1000ms, arrive(kPhone), "#5"},
        {1000ms, login(5, kRight), "accepted"},
        {2999ms, turns(), "none"},
        {3000ms, turns(), "checked #4 refused"},
        {3000ms, arrive(kGuesser), "#6"},
        {3000ms, login(6, kWrong), "held"},
        {3000ms, tick(), "next in 4000 ms"},
        {6999ms, turns(), "none"},
        {7000ms, turns(), "checked #6 refused"},
        {7000ms, tick(), "no deadline"},
    });
}

TEST(AdmissionPolicyTurns, ParallelLoginsOfAGuesserAreCheckedOneDelayApart)
{
    PolicyUnderTest().run({
        {0ms, arrive(kGuesser), "#0"},
        {0ms, login(0, kWrong), "refused"},
        {0ms, arrive(kGuesser), "#1"},
        {0ms, login(1, kWrong), "refused"},
        {0ms, arrive(kGuesser), "#2"},
        {0ms, login(2, kWrong), "refused, held back from now on"},
        {0ms, arrive(kGuesser), "#3"},
        {0ms, login(3, kWrong), "held"},
        {0ms, arrive(kGuesser), "#4"},
        {0ms, login(4, kWrong), "held"},
        {0ms, arrive(kGuesser), "#5"},
        {0ms, login(5, kWrong), "held"},
        {0ms, turns(), "none"},
        // One that comes when its address may be checked still waits behind those before it.
        {1000ms, arrive(kGuesser), "#6"},
        {1000ms, login(6, kWrong), "held"},
        // The first waits 1 s; the second 2 s after the first, the third 4 s after that.
        {1000ms, turns(), "checked #3 refused"},
        {2000ms, turns(), "none"},
        {3000ms, turns(), "checked #4 refused"},
        {6999ms, turns(), "none"},
        {7000ms, turns(), "checked #5 refused"},
        {14999ms, turns(), "none"},
        {15000ms, turns(), "checked #6 refused"},
    });

    // Also an address that the limit on all holds back, not its own delays.
    AdmissionPolicy::Limits limits;
    limits.throttle.failuresPerMinute = 2;
    limits.loginTimeout = 120s;
    PolicyUnderTest(limits).run({
        {0ms, arrive("192.0.2.7"), "#0"},
        {0ms, login(0, kWrong), "refused"},
        {0ms, arrive("192.0.2.8"), "#1"},
        {0ms, login(1, kWrong), "refused"},
        {0ms, arrive(kGuesser), "#2"},
        {0ms, login(2, kWrong), "held"},
        {0ms, arrive(kGuesser), "#3"},
        {0ms, login(3, kWrong), "held"},
        {60000ms, turns(), "checked #2 refused"},
        {60000ms, turns(), "checked #3 refused"},
    });
}

TEST(AdmissionPolicyTurns, ManyAddressesTogetherGetOneShareOfTheLimitAtATimeFewestFailuresFirst)
{
    // Two wrong passcodes a minute for all addresses together, after a burst of two.
    AdmissionPolicy::Limits limits;
    limits.throttle.failuresPerMinute = 2;
    limits.loginTimeout = 120s;
    PolicyUnderTest(limits).run({
        // The owner's phone logged in earlier from its address.
        {0ms, arrive(kPhone), "#0"},
        {0ms, login(0, kRight), "accepted"},
        {0ms, arrive("192.0.2.3"), "#1"},
        {0ms, login(1, kWrong), "refused"},
        {0ms, arrive("192.0.2.4"), "#2"},
        {0ms, login(2, kWrong), "refused"},
        // The limit on all is spent: everyone else waits their turn.
        {0ms, arrive("192.0.2.3"), "#3"},
        {0ms, login(3, kWrong), "held"},
        {0ms, arrive("192.0.2.5"), "#4"},
        {0ms, login(4, kWrong), "held"},
        {0ms, arrive("192.0.2.6"), "#5"},
        {0ms, login(5, kWrong), "held"},
        {0ms, turns(), "none"},
        // Yet the owner's phone is answered at once.
        {0ms, arrive(kPhone), "#6"},
        {0ms, login(6, kRight), "accepted"},
        {0ms, tick(), "next in 30000 ms"},
        {29000ms, turns(), "none"},
        // One more share, for one of those held: an address that has not
        // failed goes before one that has, though it came later.
        {30000ms, turns(), "checked #4 refused"},
        {30000ms, turns(), "none"},
        {60000ms, turns(), "checked #5 refused"},
        {90000ms, turns(), "checked #3 refused"},
    });
}

TEST(AdmissionPolicyNotices, EachConnectionHasAShareAndAnAddressHeldBackSaysNothingMore)
{
    PolicyUnderTest().run({
        {0ms, arrive(kPhone), "#0"},
        {0ms, notice(0), "say"},
        {0ms, notice(0), "say"},
        {0ms, notice(0), "say"},
        {0ms, notice(0), "say, then no more"},
        {0ms, notice(0), "silent"},
        {0ms, arrive(kPhone), "#1"},
        {0ms, notice(1), "say"},
        {0ms, heldBack(kGuesser), "heard"},
        {0ms, arrive(kGuesser), "#2"},
        {0ms, login(2, kWrong), "refused"},
        {0ms, arrive(kGuesser), "#3"},
        {0ms, login(3, kWrong), "refused"},
        {0ms, notice(3), "say"},
        {0ms, arrive(kGuesser), "#4"},
        {0ms, login(4, kWrong), "refused, held back from now on"},
        {0ms, heldBack(kGuesser), "held back"},
        {0ms, notice(4), "silent"},
        {0ms, notice(3), "silent"},
        {0ms, heldBack(kPhone), "heard"},
        {0ms, notice(1), "say"},
        // A right passcode clears the address.
        {1000ms, arrive(kGuesser), "#5"},
        {1000ms, login(5, kRight), "accepted"},
        {1000ms, heldBack(kGuesser), "heard"},
        {1000ms, notice(5), "say"},
    });
}
