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
    const auto fromAddress = std::count_if(clients_.begin(), clients_.end(),
                                           [address](const auto& entry) { return entry.second.address == address; });
    if (std::size_t(fromAddress) >= limits_.maxConnectionsPerAddress) {
        admission.refusal = "too many connections from its address";
        return admission;
    }
    if (clients_.size() < limits_.maxConnections) {
        admission.admitted = true;
        return admission;
    }
    // The oldest client that drives nothing and has had its grace period.
    for (const auto& [id, client] : clients_) {
        if (client.login != Login::Accepted && now - client.arrived >= limits_.gracePeriod) {
            admission.admitted = true;
            admission.makeRoomBy = id;
            return admission;
        }
    }
    admission.refusal = "too many connections";
    return admission;
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
    if (verdict == LoginVerdict::Accepted)
        throttle_.recordSuccess(client.address);
    return false;
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
