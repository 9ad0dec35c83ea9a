#include "DiscoveredComputers.h"

#include <algorithm>

DiscoveredComputers::DiscoveredComputers(int capacity)
    : capacity_(std::max(1, capacity))
{
    computers_.reserve(capacity_);
    lastHeard_.reserve(capacity_);
}

DiscoveredComputers::Change DiscoveredComputers::merge(const std::shared_ptr<Computer>& computer)
{
    ++replies_;
    for (int row = 0; row < computers_.size(); ++row) {
        if (computers_[row]->computerName() == computer->computerName()) {
            lastHeard_[row] = replies_;
            return {};
        }
    }
    if (computers_.size() < capacity_) {
        computers_.append(computer);
        lastHeard_.append(replies_);
        return {Change::Kind::Appended, int(computers_.size()) - 1};
    }
    const int stalest = int(std::min_element(lastHeard_.begin(), lastHeard_.end()) - lastHeard_.begin());
    computers_[stalest] = computer;
    lastHeard_[stalest] = replies_;
    return {Change::Kind::Replaced, stalest};
}
