// SPDX-License-Identifier: GPL-3.0-or-later
// The session server's rules without a socket: tables of what happens to its
// clients on a manual clock (arrivals, logins and their answers, departures,
// time passing) and what the policy answers each time, written out: who gets
// a place and whose place it takes (the places kept for addresses that
// logged in before), which logins wait and when their turn comes, who is
// dropped for not logging in, how much is said, and which departures count
// as a wrong passcode.
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
    enum class Kind { Arrive, Attempt, Share, Login, Turns, Tick, Leave, Notice, HeldBack } kind;
    const char* address = "";
    Id id = 0;
    LoginVerdict verdict = kRight;
};

// A newcomer connects from `from`.
Event arrive(const char* from) { return {Event::Kind::Arrive, from}; }
// A newcomer from `from` sends its login at once; it is admitted, and its
// login finds `verdict`, now or when its turn comes.
Event attempt(const char* from, LoginVerdict verdict) { return {Event::Kind::Attempt, from, 0, verdict}; }
// The share of `id`'s secure login went out.
Event share(Id id) { return {Event::Kind::Share, "", id}; }
// The login request (or a secure login's tag) of `id` arrives; checking it, now or at its turn, finds `verdict`.
Event login(Id id, LoginVerdict verdict) { return {Event::Kind::Login, "", id, verdict}; }
// The server's round: the held logins whose turn has come are checked.
Event turns() { return {Event::Kind::Turns}; }
// The server drops the clients whose login is overdue and asks when to wake up next.
Event tick() { return {Event::Kind::Tick}; }
Event leave(Id id) { return {Event::Kind::Leave, "", id}; }
// The server has something to say about `id`.
Event notice(Id id) { return {Event::Kind::Notice, "", id}; }
Event heldBack(const char* from) { return {Event::Kind::HeldBack, from}; }

class PolicyUnderTest {
public:
    // `known`: the addresses that logged in before this run.
    explicit PolicyUnderTest(AdmissionPolicy::Limits limits = {}, const std::vector<const char*>& known = {})
        : policy_(limits)
    {
        std::vector<uint32_t> addresses;
        for (const char* text : known)
            addresses.push_back(address(text));
        policy_.rememberKnownAddresses(addresses);
    }

    // What the policy answers to `event` at `sinceStart` (never earlier than the last event's).
    std::string at(std::chrono::milliseconds sinceStart, const Event& event)
    {
        EXPECT_GE(sinceStart, last_) << "time runs backwards";
        last_ = sinceStart;
        return apply(kStart + sinceStart, event);
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
                gone(*admission.makeRoomBy, now);
            }
            const Id id = policy_.arrived(address(event.address), now);
            live_.push_back(id);
            return "#" + std::to_string(id) + made;
        }
        case Event::Kind::Attempt: {
            const std::string admitted = apply(now, arrive(event.address));
            EXPECT_EQ(admitted.find_first_not_of("#0123456789"), std::string::npos) << "not admitted plainly: " << admitted;
            return admitted + " " + apply(now, login(live_.back(), event.verdict));
        }
        case Event::Kind::Share:
            policy_.challenged(event.id);
            return "share sent";
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
                    gone(id, now);
                }
            }
            if (!text.empty())
                text += "; ";
            const auto next = policy_.timeUntilNextDeadline(now);
            return text + (next ? "next in " + std::to_string(next->count()) + " ms" : "no deadline");
        }
        case Event::Kind::Leave:
            return gone(event.id, now) ? "gone, held back from now on" : "gone";
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

    bool gone(Id id, Clock::time_point now)
    {
        live_.erase(std::find(live_.begin(), live_.end(), id));
        return policy_.left(id, now);
    }

    AdmissionPolicy policy_;
    std::vector<Id> live_;
    std::map<Id, LoginVerdict> held_;
    std::chrono::milliseconds last_{0};
};

// `forKnown` of the places are kept for addresses that logged in before.
AdmissionPolicy::Limits places(std::size_t all, std::size_t perAddress = 8, std::size_t forKnown = 0)
{
    AdmissionPolicy::Limits limits;
    limits.maxConnections = all;
    limits.maxConnectionsPerAddress = perAddress;
    limits.placesForKnownAddresses = forKnown;
    return limits;
}

} // namespace

TEST(AdmissionPolicyPlaces, ANewcomerTakesThePlaceOfTheOldestClientNotLoggedInThatHadItsGracePeriod)
{
    PolicyUnderTest t(places(4, 2));
    EXPECT_EQ(t.at(0ms, attempt("10.0.0.1", kRight)), "#0 accepted");
    EXPECT_EQ(t.at(0ms, attempt("10.0.0.3", kWrong)), "#1 refused");
    EXPECT_EQ(t.at(1000ms, arrive("10.0.0.1")), "#2");
    EXPECT_EQ(t.at(1000ms, arrive("10.0.0.1")), "turned away: too many connections from its address");
    EXPECT_EQ(t.at(1000ms, arrive("10.0.0.2")), "#3");
    // Full, and those that drive nothing have been there less than 2 s.
    EXPECT_EQ(t.at(1999ms, arrive("10.0.0.4")), "turned away: too many connections");
    // A refused client makes room too; the one logged in never does.
    EXPECT_EQ(t.at(2000ms, arrive("10.0.0.4")), "#4, #1 makes room");
    EXPECT_EQ(t.at(2999ms, arrive("10.0.0.4")), "turned away: too many connections");
    EXPECT_EQ(t.at(3000ms, arrive("10.0.0.4")), "#5, #2 makes room");
    EXPECT_EQ(t.at(3000ms, arrive("10.0.0.1")), "#6, #3 makes room");
    EXPECT_EQ(t.at(3000ms, arrive("10.0.0.5")), "turned away: too many connections");
    // A place that is given back is free at once.
    EXPECT_EQ(t.at(3000ms, leave(4)), "gone");
    EXPECT_EQ(t.at(3000ms, arrive("10.0.0.5")), "#7");
    EXPECT_EQ(t.at(3000ms, arrive("10.0.0.1")), "turned away: too many connections from its address");
}

TEST(AdmissionPolicyPlaces, AFloodCannotPushOutAClientThatHasJustArrivedNorTheOneLoggedIn)
{
    // A phone that has just connected and is about to log in keeps its place:
    // the flood is turned away instead.
    PolicyUnderTest t(places(2));
    EXPECT_EQ(t.at(0ms, arrive(kPhone)), "#0");
    EXPECT_EQ(t.at(0ms, arrive("127.0.0.1")), "#1");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(t.at(1999ms, arrive("127.0.0.1")), "turned away: too many connections");
    EXPECT_EQ(t.at(1999ms, login(0, kRight)), "accepted");

    PolicyUnderTest onePlace(places(1));
    EXPECT_EQ(onePlace.at(0ms, attempt(kPhone, kRight)), "#0 accepted");
    EXPECT_EQ(onePlace.at(1h, arrive("127.0.0.1")), "turned away: too many connections");
}

TEST(AdmissionPolicyPlaces, ANewcomerPushesOutTheOldestClientOfTheAddressThatHoldsTheMostPlaces)
{
    PolicyUnderTest t(places(4, 3));
    EXPECT_EQ(t.at(0ms, arrive("10.0.0.1")), "#0");
    EXPECT_EQ(t.at(100ms, arrive("10.0.0.2")), "#1");
    EXPECT_EQ(t.at(200ms, arrive("10.0.0.2")), "#2");
    EXPECT_EQ(t.at(300ms, arrive("10.0.0.2")), "#3");
    // 10.0.0.1's client is the oldest, but 10.0.0.2 holds three places.
    EXPECT_EQ(t.at(2300ms, arrive("10.0.0.3")), "#4, #1 makes room");
    EXPECT_EQ(t.at(2300ms, arrive("10.0.0.3")), "#5, #2 makes room");
    // 10.0.0.3 holds the most now, but has just arrived; of the others,
    // which hold one place each, the client that came first makes room.
    EXPECT_EQ(t.at(2300ms, arrive("10.0.0.4")), "#6, #0 makes room");
    EXPECT_EQ(t.at(2300ms, arrive("10.0.0.4")), "#7, #3 makes room");
    EXPECT_EQ(t.at(2300ms, arrive("10.0.0.5")), "turned away: too many connections");
}

TEST(AdmissionPolicyPlaces, AnAddressThatLoggedInBeforeHasPlacesThatStrangersCannotTake)
{
    // One of four places is kept; the phone logged in during an earlier run.
    PolicyUnderTest t(places(4, 8, 1), {kPhone});
    EXPECT_EQ(t.at(0ms, arrive("10.0.0.1")), "#0");
    EXPECT_EQ(t.at(0ms, arrive("10.0.0.2")), "#1");
    EXPECT_EQ(t.at(0ms, arrive("10.0.0.3")), "#2");
    EXPECT_EQ(t.at(0ms, arrive("10.0.0.4")), "turned away: too many connections");
    // Every stranger has just arrived, yet the owner gets in at once.
    EXPECT_EQ(t.at(0ms, attempt(kPhone, kRight)), "#3 accepted");
    // The place the owner gives back is the owner's again, not a stranger's.
    EXPECT_EQ(t.at(1000ms, leave(3)), "gone");
    EXPECT_EQ(t.at(1000ms, arrive("10.0.0.4")), "turned away: too many connections");
    EXPECT_EQ(t.at(1000ms, arrive(kPhone)), "#4");
    // Strangers make room among themselves, once they had their grace
    // period; with every place taken, the owner's next connection takes a
    // place as any newcomer does.
    EXPECT_EQ(t.at(2000ms, arrive("10.0.0.4")), "#5, #0 makes room");
    EXPECT_EQ(t.at(2000ms, arrive(kPhone)), "#6, #1 makes room");

    // An address that logs in for the first time is known from then on.
    PolicyUnderTest firstRun(places(3, 8, 1));
    EXPECT_EQ(firstRun.at(0ms, arrive(kPhone)), "#0");
    EXPECT_EQ(firstRun.at(0ms, arrive("10.0.0.1")), "#1");
    EXPECT_EQ(firstRun.at(0ms, arrive("10.0.0.2")), "turned away: too many connections");
    EXPECT_EQ(firstRun.at(0ms, login(0, kRight)), "accepted");
    EXPECT_EQ(firstRun.at(0ms, arrive(kPhone)), "#2");
}

TEST(AdmissionPolicyDeadlines, AClientHasUntilItsTimeIsUpToLogInAndAnAnsweredLoginHasNoDeadline)
{
    PolicyUnderTest t;
    EXPECT_EQ(t.at(0ms, arrive("127.0.0.1")), "#0");
    EXPECT_EQ(t.at(0ms, tick()), "next in 30000 ms");
    EXPECT_EQ(t.at(5000ms, attempt("127.0.0.1", kRight)), "#1 accepted");
    EXPECT_EQ(t.at(6000ms, attempt("127.0.0.1", kWrong)), "#2 refused");
    EXPECT_EQ(t.at(29999ms, tick()), "next in 1 ms");
    EXPECT_EQ(t.at(30000ms, tick()), "dropped #0; no deadline");
    // The phone keeps even a refused connection open.
    EXPECT_EQ(t.at(24h, tick()), "no deadline");
}

TEST(AdmissionPolicyDeadlines, AHeldLoginWaitsForItsTurnOrItsTimeWhicheverComesFirst)
{
    AdmissionPolicy::Limits limits;
    limits.throttle.firstDelay = 60s;
    limits.throttle.maxDelay = 60s;
    PolicyUnderTest t(limits);
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#0 refused");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#1 refused");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#2 refused, held back from now on");
    EXPECT_EQ(t.at(10000ms, attempt(kGuesser, kWrong)), "#3 held");
    EXPECT_EQ(t.at(10000ms, tick()), "next in 30000 ms");
    EXPECT_EQ(t.at(39999ms, tick()), "next in 1 ms");
    EXPECT_EQ(t.at(40000ms, tick()), "dropped #3; no deadline");
    // A turn that comes before the login's time wakes the server then.
    EXPECT_EQ(t.at(50000ms, attempt(kGuesser, kRight)), "#4 held");
    EXPECT_EQ(t.at(50000ms, tick()), "next in 10000 ms");
    EXPECT_EQ(t.at(59999ms, turns()), "none");
    EXPECT_EQ(t.at(60000ms, turns()), "checked #4 accepted");
    EXPECT_EQ(t.at(60000ms, tick()), "no deadline");
}

TEST(AdmissionPolicyTurns, AGuesserWaitsLongerAfterEachFailureWhileAnotherAddressIsAnsweredAtOnce)
{
    PolicyUnderTest t;
    // Three wrong passcodes are answered at once.
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#0 refused");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#1 refused");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#2 refused, held back from now on");
    // From then on each attempt waits: 1 s, then 2 s, then 4 s.
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#3 held");
    EXPECT_EQ(t.at(0ms, turns()), "none");
    EXPECT_EQ(t.at(0ms, tick()), "next in 1000 ms");
    EXPECT_EQ(t.at(999ms, turns()), "none");
    EXPECT_EQ(t.at(1000ms, turns()), "checked #3 refused");
    EXPECT_EQ(t.at(1000ms, attempt(kGuesser, kWrong)), "#4 held");
    EXPECT_EQ(t.at(1000ms, tick()), "next in 2000 ms");
    // Meanwhile the owner's phone, on another address, is answered at once.
    EXPECT_EQ(t.at(1000ms, attempt(kPhone, kRight)), "#5 accepted");
    EXPECT_EQ(t.at(2999ms, turns()), "none");
    EXPECT_EQ(t.at(3000ms, turns()), "checked #4 refused");
    EXPECT_EQ(t.at(3000ms, attempt(kGuesser, kWrong)), "#6 held");
    EXPECT_EQ(t.at(3000ms, tick()), "next in 4000 ms");
    EXPECT_EQ(t.at(6999ms, turns()), "none");
    EXPECT_EQ(t.at(7000ms, turns()), "checked #6 refused");
    EXPECT_EQ(t.at(7000ms, tick()), "no deadline");
}

TEST(AdmissionPolicyTurns, ParallelLoginsOfAGuesserAreCheckedOneDelayApart)
{
    PolicyUnderTest t;
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#0 refused");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#1 refused");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#2 refused, held back from now on");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#3 held");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#4 held");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#5 held");
    EXPECT_EQ(t.at(0ms, turns()), "none");
    // One that comes when its address may be checked still waits behind those before it.
    EXPECT_EQ(t.at(1000ms, attempt(kGuesser, kWrong)), "#6 held");
    // The first waits 1 s; the second 2 s after the first, the third 4 s after that.
    EXPECT_EQ(t.at(1000ms, turns()), "checked #3 refused");
    EXPECT_EQ(t.at(2000ms, turns()), "none");
    EXPECT_EQ(t.at(3000ms, turns()), "checked #4 refused");
    EXPECT_EQ(t.at(6999ms, turns()), "none");
    EXPECT_EQ(t.at(7000ms, turns()), "checked #5 refused");
    EXPECT_EQ(t.at(14999ms, turns()), "none");
    EXPECT_EQ(t.at(15000ms, turns()), "checked #6 refused");

    // Also an address that the limit on all holds back, not its own delays.
    AdmissionPolicy::Limits limits;
    limits.throttle.failuresPerMinute = 2;
    limits.loginTimeout = 120s;
    PolicyUnderTest heldByAll(limits);
    EXPECT_EQ(heldByAll.at(0ms, attempt("192.0.2.7", kWrong)), "#0 refused");
    EXPECT_EQ(heldByAll.at(0ms, attempt("192.0.2.8", kWrong)), "#1 refused");
    EXPECT_EQ(heldByAll.at(0ms, attempt(kGuesser, kWrong)), "#2 held");
    EXPECT_EQ(heldByAll.at(0ms, attempt(kGuesser, kWrong)), "#3 held");
    EXPECT_EQ(heldByAll.at(60000ms, turns()), "checked #2 refused");
    EXPECT_EQ(heldByAll.at(60000ms, turns()), "checked #3 refused");
}

TEST(AdmissionPolicyTurns, ManyAddressesTogetherGetOneShareOfTheLimitAtATimeFewestFailuresFirst)
{
    // Two wrong passcodes a minute for all addresses together, after a burst of two.
    AdmissionPolicy::Limits limits;
    limits.throttle.failuresPerMinute = 2;
    limits.loginTimeout = 120s;
    PolicyUnderTest t(limits);
    // The owner's phone logged in earlier from its address.
    EXPECT_EQ(t.at(0ms, attempt(kPhone, kRight)), "#0 accepted");
    EXPECT_EQ(t.at(0ms, attempt("192.0.2.3", kWrong)), "#1 refused");
    EXPECT_EQ(t.at(0ms, attempt("192.0.2.4", kWrong)), "#2 refused");
    // The limit on all is spent: everyone else waits their turn.
    EXPECT_EQ(t.at(0ms, attempt("192.0.2.3", kWrong)), "#3 held");
    EXPECT_EQ(t.at(0ms, attempt("192.0.2.5", kWrong)), "#4 held");
    EXPECT_EQ(t.at(0ms, attempt("192.0.2.6", kWrong)), "#5 held");
    EXPECT_EQ(t.at(0ms, turns()), "none");
    // Yet the owner's phone is answered at once.
    EXPECT_EQ(t.at(0ms, attempt(kPhone, kRight)), "#6 accepted");
    EXPECT_EQ(t.at(0ms, tick()), "next in 30000 ms");
    EXPECT_EQ(t.at(29000ms, turns()), "none");
    // One more share, for one of those held: an address that has not
    // failed goes before one that has, though it came later.
    EXPECT_EQ(t.at(30000ms, turns()), "checked #4 refused");
    EXPECT_EQ(t.at(30000ms, turns()), "none");
    EXPECT_EQ(t.at(60000ms, turns()), "checked #5 refused");
    EXPECT_EQ(t.at(90000ms, turns()), "checked #3 refused");
}

TEST(AdmissionPolicyNotices, EachConnectionHasAShareAndAnAddressHeldBackSaysNothingMore)
{
    PolicyUnderTest t;
    EXPECT_EQ(t.at(0ms, arrive(kPhone)), "#0");
    EXPECT_EQ(t.at(0ms, notice(0)), "say");
    EXPECT_EQ(t.at(0ms, notice(0)), "say");
    EXPECT_EQ(t.at(0ms, notice(0)), "say");
    EXPECT_EQ(t.at(0ms, notice(0)), "say, then no more");
    EXPECT_EQ(t.at(0ms, notice(0)), "silent");
    EXPECT_EQ(t.at(0ms, arrive(kPhone)), "#1");
    EXPECT_EQ(t.at(0ms, notice(1)), "say");
    EXPECT_EQ(t.at(0ms, heldBack(kGuesser)), "heard");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#2 refused");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#3 refused");
    EXPECT_EQ(t.at(0ms, notice(3)), "say");
    EXPECT_EQ(t.at(0ms, attempt(kGuesser, kWrong)), "#4 refused, held back from now on");
    EXPECT_EQ(t.at(0ms, heldBack(kGuesser)), "held back");
    EXPECT_EQ(t.at(0ms, notice(4)), "silent");
    EXPECT_EQ(t.at(0ms, notice(3)), "silent");
    EXPECT_EQ(t.at(0ms, heldBack(kPhone)), "heard");
    EXPECT_EQ(t.at(0ms, notice(1)), "say");
    // A right passcode clears the address.
    EXPECT_EQ(t.at(1000ms, attempt(kGuesser, kRight)), "#5 accepted");
    EXPECT_EQ(t.at(1000ms, heldBack(kGuesser)), "heard");
    EXPECT_EQ(t.at(1000ms, notice(5)), "say");
}

TEST(AdmissionPolicyTurns, LeavingAfterTheShareBeforeAVerdictCountsAsAWrongPasscodeOfItsAddressOnly)
{
    AdmissionPolicy::Limits limits;
    limits.throttle.failuresPerMinute = 2;
    PolicyUnderTest t(limits);
    EXPECT_EQ(t.at(0ms, arrive(kGuesser)), "#0");
    EXPECT_EQ(t.at(0ms, leave(0)), "gone"); // before the share: no count
    EXPECT_EQ(t.at(0ms, arrive(kGuesser)), "#1");
    EXPECT_EQ(t.at(0ms, share(1)), "share sent");
    EXPECT_EQ(t.at(0ms, login(1, kWrong)), "refused");
    EXPECT_EQ(t.at(0ms, leave(1)), "gone"); // after its verdict: no second count
    EXPECT_EQ(t.at(0ms, arrive(kGuesser)), "#2");
    EXPECT_EQ(t.at(0ms, share(2)), "share sent");
    EXPECT_EQ(t.at(0ms, leave(2)), "gone");
    EXPECT_EQ(t.at(0ms, heldBack(kGuesser)), "heard");
    EXPECT_EQ(t.at(0ms, arrive(kGuesser)), "#3");
    EXPECT_EQ(t.at(0ms, share(3)), "share sent");
    EXPECT_EQ(t.at(30000ms, tick()), "dropped #3; no deadline");
    EXPECT_EQ(t.at(30000ms, heldBack(kGuesser)), "held back");
    // No verdict, so none of the limit on all: a new phone is answered at once.
    EXPECT_EQ(t.at(30000ms, attempt(kPhone, kRight)), "#4 accepted");
}
