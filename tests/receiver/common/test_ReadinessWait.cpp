// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's wait against poll() itself: on the same list, each entry's
// revents must be what poll() says, turn after turn, while the list changes;
// and a closed descriptor's number handed out again must be watched anew.
#include "common/ReadinessWait.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Pipe {
    Pipe()
    {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
            readEnd.reset(ends[0]);
            writeEnd.reset(ends[1]);
        }
    }
    void put() const { ASSERT_EQ(write(writeEnd.get(), "x", 1), 1); }
    UniqueFd readEnd, writeEnd;
};

std::vector<short> reventsOf(const std::vector<pollfd>& fds)
{
    std::vector<short> revents;
    for (const pollfd& entry : fds)
        revents.push_back(entry.revents);
    return revents;
}

TEST(ReadinessWait, SaysWhatPollSaysAsTheListChanges)
{
    ReadinessWait readiness;
    ASSERT_TRUE(readiness.valid());
    Pipe quiet, full, hungUp;
    full.put();
    hungUp.writeEnd.reset();
    char fileName[] = "/tmp/quillon-readiness-XXXXXX";
    const UniqueFd file(mkstemp(fileName)); // epoll refuses regular files; poll calls them ready
    ASSERT_TRUE(file.valid());
    unlink(fileName);
    Pipe closed;
    const int closedNumber = closed.readEnd.get();
    closed.readEnd.reset();

    // Turn after turn on one wait, as the receiver's loop lists things.
    const std::vector<std::vector<pollfd>> turns = {
        {{quiet.readEnd.get(), POLLIN, 0}, {full.readEnd.get(), POLLIN, 0}, {-1, POLLIN, 0}},
        {{quiet.readEnd.get(), POLLIN, 0}, {quiet.writeEnd.get(), POLLOUT, 0}, {hungUp.readEnd.get(), POLLIN, 0}},
        // The writable end no longer listed: nothing may wake for it.
        {{quiet.readEnd.get(), POLLIN, 0}},
        // Asked for less, then more, of the same descriptor.
        {{full.readEnd.get(), POLLOUT, 0}, {full.writeEnd.get(), POLLOUT, 0}},
        {{full.readEnd.get(), POLLIN | POLLRDHUP, 0}, {full.writeEnd.get(), POLLOUT, 0}},
        {{file.get(), POLLIN | POLLOUT, 0}, {quiet.readEnd.get(), POLLIN, 0}},
        {{closedNumber, POLLIN, 0}, {full.readEnd.get(), POLLIN, 0}},
        {{quiet.readEnd.get(), POLLIN, 0}, {quiet.readEnd.get(), POLLOUT, 0}},
    };
    for (size_t turn = 0; turn < turns.size(); ++turn) {
        std::vector<pollfd> expected = turns[turn];
        const int pollCount = ::poll(expected.data(), expected.size(), 0);
        std::vector<pollfd> got = turns[turn];
        for (pollfd& entry : got)
            entry.revents = 0x7f7f; // stale values must not survive
        EXPECT_EQ(readiness.wait(got, 0), pollCount) << "turn " << turn;
        EXPECT_EQ(reventsOf(got), reventsOf(expected)) << "turn " << turn;
    }

    // Nothing ready on the list: it sleeps for the time given, even though
    // descriptors listed in earlier turns are ready.
    std::vector<pollfd> idle = {{quiet.readEnd.get(), POLLIN, 0}};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readiness.wait(idle, 30), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

TEST(ReadinessWait, ANumberClosedAndHandedOutAgainIsWatchedAnew)
{
    ReadinessWait readiness;
    Pipe first, second;
    const int number = first.readEnd.get();
    std::vector<pollfd> fds = {{number, POLLIN, 0}};
    ASSERT_EQ(readiness.wait(fds, 0), 0);

    // Between two turns, as when a client leaves and a newcomer is accepted
    // while one batch is handled: the newcomer's data must wake the wait.
    readiness.forget(number);
    ASSERT_EQ(dup3(second.readEnd.get(), number, O_CLOEXEC), number);
    second.put();
    fds = {{number, POLLIN, 0}};
    EXPECT_EQ(readiness.wait(fds, 1000), 1);
    EXPECT_EQ(fds[0].revents, POLLIN);

    // Without forget(), a newcomer asked for other events than the old one
    // is still watched (and a failed change must not end the wait).
    Pipe third;
    ASSERT_EQ(dup3(third.readEnd.get(), number, O_CLOEXEC), number);
    third.put();
    fds = {{number, POLLIN | POLLRDHUP, 0}};
    EXPECT_EQ(readiness.wait(fds, 1000), 1);
    EXPECT_EQ(fds[0].revents, POLLIN);
}

} // namespace
