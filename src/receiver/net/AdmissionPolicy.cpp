// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/AdmissionPolicy.h"

#include <algorithm>
#include <set>
#include <vector>

AdmissionPolicy::AdmissionPolicy()
    : AdmissionPolicy(Limits{})
{
}

AdmissionPolicy::AdmissionPolicy(Limits limits)
    : limits_(std::move(limits))
    , throttle_(limits_.throttle)
{
}

AdmissionPolicy::Admission AdmissionPolicy::admit(uint32_t address, Clock::time_point now) const
{
    Admission admission;
    std::size_t fromAddress = 0;
    std::size_t strangers = 0;
    for (const auto& [id, client] : clients_) {
        fromAddress += client.address == address;
        strangers += !throttle_.hasLoggedIn(client.address);
    }
    if (fromAddress >= limits_.maxConnectionsPerAddress) {
        admission.refusal = "too many connections from its address";
        return admission;
    }
    const bool known = throttle_.hasLoggedIn(address);
    const std::size_t placesForStrangers =
        limits_.maxConnections - std::min(limits_.placesForKnownAddresses, limits_.maxConnections);
    // A stranger beyond the strangers' places can only take a stranger's.
    const bool strangersFull = !known && strangers >= placesForStrangers;
    if (clients_.size() < limits_.maxConnections && !strangersFull) {
        admission.admitted = true;
        return admission;
    }
    if (const auto room = whoMakesRoom(now, strangersFull)) {
        admission.admitted = true;
        admission.makeRoomBy = room;
        return admission;
    }
    admission.refusal = "too many connections";
    return admission;
}

std::optional<AdmissionPolicy::ConnectionId> AdmissionPolicy::whoMakesRoom(Clock::time_point now,
                                                                         bool strangersOnly) const
{
    std::map<uint32_t, std::size_t> places;
    for (const auto& [id, client] : clients_)
        ++places[client.address];
    std::optional<ConnectionId> chosen;
    std::size_t mostPlaces = 0;
    // In order of arrival: of two addresses that hold as many, the one whose
    // client came first; of one address's clients, the oldest.
    for (const auto& [id, client] : clients_) {
        const bool mayMakeRoom = client.login != Login::Accepted && now - client.arrived >= limits_.gracePeriod
                                 && !(strangersOnly && throttle_.hasLoggedIn(client.address));
        if (mayMakeRoom && places[client.address] > mostPlaces) {
            mostPlaces = places[client.address];
            chosen = id;
        }
    }
    return chosen;
}

AdmissionPolicy::ConnectionId AdmissionPolicy::arrived(uint32_t address, Clock::time_point now)
{
    const ConnectionId id = nextId_++;
    Client& client = clients_[id];
    client.address = address;
    client.arrived = now;
    client.loginDue = now + limits_.loginTimeout;
    client.noticesLeft = limits_.noticesPerConnection;
    return id;
}

bool AdmissionPolicy::left(ConnectionId id, Clock::time_point now)
{
    const auto found = clients_.find(id);
    if (found == clients_.end())
        return false;
    const Client client = found->second;
    clients_.erase(found);
    const bool unanswered = client.login == Login::Awaited || client.login == Login::Held;
    return client.challenged && unanswered && throttle_.recordUnanswered(client.address, now);
}

void AdmissionPolicy::challenged(ConnectionId id)
{
    clients_.at(id).challenged = true;
}

bool AdmissionPolicy::mayAnswerHello(ConnectionId id, Clock::time_point now)
{
    return throttle_.takeHello(clients_.at(id).address, now);
}

bool AdmissionPolicy::mayCheckLoginNow(ConnectionId id, Clock::time_point now) const
{
    const uint32_t from = clients_.at(id).address;
    const bool anotherHeld = std::any_of(clients_.begin(), clients_.end(), [&](const auto& entry) {
        return entry.first != id && entry.second.address == from && entry.second.login == Login::Held;
    });
    return !anotherHeld && throttle_.mayCheck(from, now);
}

void AdmissionPolicy::loginHeld(ConnectionId id)
{
    clients_.at(id).login = Login::Held;
}

void AdmissionPolicy::takeDueLogins(Clock::time_point now, const std::function<void(ConnectionId)>& check)
{
    // When the limit on all failures is what holds logins back, an address
    // that has not failed goes before one that has.
    std::vector<ConnectionId> held;
    for (const auto& [id, client] : clients_) {
        if (client.login == Login::Held)
            held.push_back(id);
    }
    std::sort(held.begin(), held.end(), [this](ConnectionId a, ConnectionId b) {
        const int failuresA = throttle_.failures(clients_.at(a).address);
        const int failuresB = throttle_.failures(clients_.at(b).address);
        return failuresA != failuresB ? failuresA < failuresB : a < b;
    });
    std::set<uint32_t> seen;
    for (ConnectionId id : held) {
        // Checking one may end others (a takeover closes the client that
        // drove until then).
        const auto found = clients_.find(id);
        if (found == clients_.end())
            continue;
        const uint32_t address = found->second.address;
        if (seen.insert(address).second && throttle_.mayCheck(address, now))
            check(id);
    }
}

bool AdmissionPolicy::loginAnswered(ConnectionId id, LoginVerdict verdict, Clock::time_point now)
{
    Client& client = clients_.at(id);
    client.login = verdict == LoginVerdict::Accepted ? Login::Accepted : Login::Refused;
    if (verdict == LoginVerdict::WrongPasscode)
        return throttle_.recordFailure(client.address, now);
    if (verdict == LoginVerdict::Accepted && throttle_.recordSuccess(client.address))
        knownAddressesChanged_ = true;
    return false;
}

void AdmissionPolicy::rememberKnownAddresses(const std::vector<uint32_t>& addresses)
{
    throttle_.rememberLoggedIn(addresses);
}

std::optional<std::vector<uint32_t>> AdmissionPolicy::takeChangedKnownAddresses()
{
    if (!knownAddressesChanged_)
        return std::nullopt;
    knownAddressesChanged_ = false;
    return std::vector<uint32_t>(throttle_.loggedIn().begin(), throttle_.loggedIn().end());
}

bool AdmissionPolicy::loginOverdue(ConnectionId id, Clock::time_point now) const
{
    const Client& client = clients_.at(id);
    return (client.login == Login::Awaited || client.login == Login::Held) && client.loginDue <= now;
}

std::optional<std::chrono::milliseconds> AdmissionPolicy::timeUntilNextDeadline(Clock::time_point now) const
{
    std::optional<Clock::time_point> earliest;
    const auto consider = [&earliest](Clock::time_point at) {
        if (!earliest || at < *earliest)
            earliest = at;
    };
    for (const auto& [id, client] : clients_) {
        if (client.login == Login::Awaited || client.login == Login::Held)
            consider(client.loginDue);
        if (client.login == Login::Held)
            consider(throttle_.checkableAt(client.address, now));
    }
    if (!earliest)
        return std::nullopt;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*earliest - now);
    return std::max(left, std::chrono::milliseconds(0));
}

bool AdmissionPolicy::isHeldBack(uint32_t address) const
{
    return throttle_.failures(address) >= throttle_.policy().freeFailures;
}

AdmissionPolicy::NoticeShare AdmissionPolicy::takeNotice(ConnectionId id)
{
    Client& client = clients_.at(id);
    if (isHeldBack(client.address) || client.noticesLeft <= 0)
        return NoticeShare::None;
    return --client.noticesLeft == 0 ? NoticeShare::Last : NoticeShare::One;
}
