// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ReadinessWait.h"

#include <algorithm>
#include <cerrno>

// poll() and epoll share the bits of the events both know (POLLIN is
// EPOLLIN, POLLRDHUP is EPOLLRDHUP, ...), so they pass through unchanged.
static_assert(POLLIN == EPOLLIN && POLLOUT == EPOLLOUT && POLLPRI == EPOLLPRI && POLLERR == EPOLLERR
              && POLLHUP == EPOLLHUP && POLLRDHUP == EPOLLRDHUP);

namespace {

// What poll() reports whether or not it was asked for.
constexpr short kAlwaysReported = POLLERR | POLLHUP | POLLNVAL;

} // namespace

ReadinessWait::ReadinessWait() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {}

ReadinessWait::Watched* ReadinessWait::find(int fd)
{
    const auto found = std::find_if(watched_.begin(), watched_.end(), [fd](const Watched& w) { return w.fd == fd; });
    return found == watched_.end() ? nullptr : &*found;
}

void ReadinessWait::forget(int fd)
{
    const Watched* known = find(fd);
    if (!known)
        return;
    if (!known->alwaysReady)
        epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, fd, nullptr);
    watched_.erase(watched_.begin() + (known - watched_.data()));
}

int ReadinessWait::control(int operation, int fd, short events)
{
    epoll_event event{};
    event.events = static_cast<uint16_t>(events);
    event.data.fd = fd;
    return epoll_ctl(epoll_.get(), operation, fd, &event) == 0 ? 0 : errno;
}

bool ReadinessWait::follow(std::vector<pollfd>& fds)
{
    for (Watched& w : watched_)
        w.listed = false;
    for (pollfd& entry : fds) {
        entry.revents = 0;
        if (entry.fd < 0)
            continue;
        if (Watched* known = find(entry.fd)) {
            // The same descriptor listed twice waits for what either asks.
            const short events = known->listed ? short(known->events | entry.events) : entry.events;
            known->listed = true;
            if (events == known->events || known->alwaysReady) {
                known->events = events;
                continue;
            }
            int failure = control(EPOLL_CTL_MOD, entry.fd, events);
            // Closed and handed out again without forget(): the kernel has
            // dropped the old one, so the new one is added.
            if (failure == ENOENT)
                failure = control(EPOLL_CTL_ADD, entry.fd, events);
            if (failure == EBADF) {
                entry.revents = POLLNVAL; // closed since: dropped below
                known->listed = false;
                continue;
            }
            if (failure)
                return false;
            known->events = events;
            continue;
        }
        const int failure = control(EPOLL_CTL_ADD, entry.fd, entry.events);
        if (!failure) {
            watched_.push_back({entry.fd, entry.events, false, true});
        } else if (failure == EPERM) {
            watched_.push_back({entry.fd, entry.events, true, true});
        } else if (failure == EBADF) {
            entry.revents = POLLNVAL; // as poll() says of a descriptor that is not open
        } else {
            return false;
        }
    }
    // What is no longer listed is no longer waited for (an output that has
    // caught up must not wake the loop for room it does not need).
    for (auto w = watched_.begin(); w != watched_.end();) {
        if (w->listed) {
            ++w;
            continue;
        }
        if (!w->alwaysReady)
            epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, w->fd, nullptr); // EBADF once closed: nothing to undo
        w = watched_.erase(w);
    }
    return true;
}

int ReadinessWait::wait(std::vector<pollfd>& fds, int timeoutMs)
{
    if (!follow(fds))
        return -1;
    int count = 0;
    for (pollfd& entry : fds) {
        if (entry.fd < 0)
            continue;
        const Watched* known = find(entry.fd);
        if (known && known->alwaysReady)
            entry.revents = entry.events & (POLLIN | POLLOUT | POLLRDNORM | POLLWRNORM);
        if (entry.revents)
            ++count;
    }
    // Like poll(), nothing sleeps while something is ready already.
    ready_.resize(std::max<size_t>(watched_.size(), 1));
    const int woken = epoll_wait(epoll_.get(), ready_.data(), static_cast<int>(ready_.size()), count ? 0 : timeoutMs);
    if (woken < 0)
        return -1;
    for (int i = 0; i < woken; ++i) {
        for (pollfd& entry : fds) {
            if (entry.fd != ready_[i].data.fd)
                continue;
            const short before = entry.revents;
            entry.revents |= static_cast<short>(ready_[i].events) & (entry.events | kAlwaysReported);
            if (!before && entry.revents)
                ++count;
        }
    }
    return count;
}
