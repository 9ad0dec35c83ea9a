// SPDX-License-Identifier: GPL-3.0-or-later
#include "DiscoveredComputers.h"

#include <algorithm>

DiscoveredComputers::DiscoveredComputers(int capacity)
    : capacity_(std::max(1, capacity))
{
    computers_.reserve(capacity_);
    lastHeard_.reserve(capacity_);
    heardAgain_.reserve(capacity_);
}

DiscoveredComputers::Change DiscoveredComputers::merge(const std::shared_ptr<Computer>& computer)
{
    ++replies_;
    for (int row = 0; row < computers_.size(); ++row) {
        if (computers_[row]->computerName() == computer->computerName()) {
            lastHeard_[row] = replies_;
            heardAgain_[row] = true;
            return {};
        }
    }
    if (computers_.size() < capacity_) {
        computers_.append(computer);
        lastHeard_.append(replies_);
        heardAgain_.append(false);
        return {Change::Kind::Appended, int(computers_.size()) - 1};
    }
    // The stalest of the names heard once, or of all when every one was heard again.
    const bool anyHeardOnce = heardAgain_.contains(false);
    int stalest = -1;
    for (int row = 0; row < computers_.size(); ++row) {
        if ((!anyHeardOnce || !heardAgain_[row]) && (stalest < 0 || lastHeard_[row] < lastHeard_[stalest]))
            stalest = row;
    }
    computers_[stalest] = computer;
    lastHeard_[stalest] = replies_;
    heardAgain_[stalest] = false;
    return {Change::Kind::Replaced, stalest};
}
