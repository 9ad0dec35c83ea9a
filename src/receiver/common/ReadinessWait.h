// SPDX-License-Identifier: GPL-3.0-or-later
// poll()'s contract on an epoll set. The receiver's loop lists what it waits
// for afresh each turn, as a pollfd vector, and reads back revents; here the
// kernel keeps that list from one turn to the next and is told only what
// changed. A wait then costs the same however many descriptors are listed,
// where poll() visits every one of them twice, before it sleeps and after it
// wakes: with six listed, most of the receiver's time per packet.
//
// Level-triggered, as poll() is: a descriptor left unread stays ready. A
// descriptor's number may be closed and handed out again between two turns,
// and epoll forgets a closed descriptor without telling: whoever closes a
// listed descriptor calls forget() first, so that the next one of that
// number is watched afresh. (One listed with other events than the old one
// is found anyway; one listed alike would not be.) Descriptors that epoll cannot watch (regular
// files) are always ready, as poll() says of them.
#pragma once

#include "UniqueFd.h"

#include <poll.h>
#include <sys/epoll.h>

#include <vector>

class ReadinessWait {
public:
    ReadinessWait();

    // False when the kernel gave no epoll set (errno says why).
    bool valid() const { return epoll_.valid(); }

    // As ::poll(fds.data(), fds.size(), timeoutMs): sets each entry's
    // revents (entries with a negative fd are skipped) and returns how many
    // entries have any, 0 on a time-out, -1 with errno on failure.
    int wait(std::vector<pollfd>& fds, int timeoutMs);

    // `fd` is about to be closed: it is no longer watched, and a descriptor
    // given the same number later is new.
    void forget(int fd);

private:
    struct Watched {
        int fd;
        short events;
        bool alwaysReady; // a regular file, which epoll refuses
        bool listed;      // in this turn's list
    };

    // Tells the kernel what changed since the last turn; false with errno
    // when it refused for another reason than the descriptor's kind.
    bool follow(std::vector<pollfd>& fds);
    // epoll_ctl(); 0, or the errno it failed with.
    int control(int operation, int fd, short events);
    Watched* find(int fd);

    UniqueFd epoll_;
    std::vector<Watched> watched_;
    std::vector<epoll_event> ready_;
};
