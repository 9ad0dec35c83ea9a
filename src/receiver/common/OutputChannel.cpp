// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/OutputChannel.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

OutputChannel::OutputChannel(int fd, std::size_t capacity, PipeWrites pipeWrites)
    : fd_(fd)
    , capacity_(capacity)
{
    struct stat status {};
    const bool known = ::fstat(fd, &status) == 0;
    isSocket_ = known && S_ISSOCK(status.st_mode);
    // A pipe that polls writable takes PIPE_BUF bytes whole. A terminal that
    // does has room for at least one of its 256-byte buffers.
    chunk_ = known && S_ISCHR(status.st_mode) ? 256 : PIPE_BUF;
    // Where it cannot be opened again (no /proc), the poll stays.
    if (pipeWrites == PipeWrites::OwnDescription && known && S_ISFIFO(status.st_mode)) {
        const std::string path = "/proc/self/fd/" + std::to_string(fd);
        nonBlockingPipe_.reset(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    }
}

void OutputChannel::writeLine(const std::string& line)
{
    if (broken_ || pending_.size() + line.size() + 1 > capacity_) {
        ++dropped_;
        return;
    }
    pending_ += line;
    pending_ += '\n';
    if (pending_.size() > capacity_ / 2)
        flush();
}

void OutputChannel::flush()
{
    while (!pending_.empty() && !broken_) {
        const std::size_t written = writeSome(pending_.data(), pending_.size());
        if (written == 0)
            break;
        pending_.erase(0, written);
    }
    if (broken_ && !pending_.empty()) {
        // What was queued will never be read: count it as dropped.
        std::size_t lines = 0;
        for (char c : pending_)
            lines += c == '\n';
        dropped_ += lines;
        pending_.clear();
    }
}

std::size_t OutputChannel::writeSome(const char* bytes, std::size_t count)
{
    for (;;) {
        ssize_t written;
        if (isSocket_) {
            // A stream socket (the journal, under systemd) says itself when it is full.
            written = ::send(fd_, bytes, count, MSG_DONTWAIT | MSG_NOSIGNAL);
        } else if (nonBlockingPipe_.valid()) {
            written = ::write(nonBlockingPipe_.get(), bytes, count);
        } else {
            // Pipes, terminals and files are shared with other processes, so
            // their mode stays as it is: poll first, then write no more than
            // the descriptor is then sure to take.
            pollfd ready{fd_, POLLOUT, 0};
            const int polled = ::poll(&ready, 1, 0);
            if (polled < 0 && errno == EINTR)
                continue;
            if (polled <= 0)
                return 0;
            if (ready.revents & (POLLERR | POLLNVAL)) {
                broken_ = true;
                return 0;
            }
            if (!(ready.revents & POLLOUT))
                return 0;
            written = ::write(fd_, bytes, count < chunk_ ? count : chunk_);
        }
        if (written > 0)
            return std::size_t(written);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return 0;
        broken_ = true;
        return 0;
    }
}

uint64_t OutputChannel::takeDropped()
{
    const uint64_t dropped = dropped_;
    dropped_ = 0;
    return dropped;
}
