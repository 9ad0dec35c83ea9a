// SPDX-License-Identifier: GPL-3.0-or-later
// The computers found by discovery, as the list shows them: one per name, in
// the order they were first found, each kept as it was first found. At most
// `capacity` names: anyone on the network can answer under new names, so a
// new name, when the list is full, takes the place of the name heard from
// longest ago. A receiver that still answers is heard every few seconds, and
// a name heard more than once goes only when no name heard just once is left
// to make room: a flood of new names, each heard once, replaces its own rows
// and leaves the receivers that answer in place.
#pragma once

#include "Computer.h"

#include <QList>

#include <cstdint>
#include <memory>

class DiscoveredComputers {
public:
    static constexpr int defaultCapacity = 64;

    // What merging a computer did to the list.
    struct Change {
        enum class Kind { None, Appended, Replaced };
        Kind kind = Kind::None;
        int row = -1; // the row appended or replaced
    };

    explicit DiscoveredComputers(int capacity = defaultCapacity);

    // A computer from a reply: a name already listed (compared exactly) is
    // heard again and changes nothing else; a new name is appended, or takes
    // a row when the list is full (see above).
    Change merge(const std::shared_ptr<Computer>& computer);

    const QList<std::shared_ptr<Computer>>& computers() const { return computers_; }
    int capacity() const { return capacity_; }

private:
    int capacity_;
    QList<std::shared_ptr<Computer>> computers_;
    QList<uint64_t> lastHeard_; // per row: when its name was last heard, in replies merged
    QList<bool> heardAgain_;    // per row: whether its name was heard more than once
    uint64_t replies_ = 0;
};
