// SPDX-License-Identifier: GPL-3.0-or-later
// Lines to standard output or standard error that never make the receiver
// wait for their reader. Each line is queued in a bounded buffer and written
// at the next flush, as far as the descriptor takes it without blocking; a
// line that finds the buffer full is dropped and counted, so that a reader
// who stopped reading (a full pipe, a terminal held by Ctrl-S, a stuck
// journal) costs lines, not logins, discovery or the reaction to SIGTERM.
// Queuing the lines of a batch and flushing once makes one system call of
// them rather than one or two a line.
#pragma once

#include "UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Where a line of text goes; the sinks and the notices write through it.
class LineOutput {
public:
    virtual ~LineOutput() = default;
    // `line` without its line ending; it may wait for the next flush().
    virtual void writeLine(const std::string& line) = 0;
    // Hands over the lines written since the last flush.
    virtual void flush() {}
};

class OutputChannel : public LineOutput {
public:
    static constexpr std::size_t kDefaultCapacity = 64 * 1024;

    // How a pipe is written without blocking. PollFirst: through `fd`,
    // polled before each write (the mode of a descriptor shared with other
    // processes stays as it is). OwnDescription: through the pipe opened
    // again, non-blocking, a description of the channel's own, which says
    // itself when the pipe is full: a batch costs one write instead of a poll
    // and a write, and the channel keeps writing to the pipe that `fd` was
    // when it was made. Other descriptors are written the same either way.
    enum class PipeWrites { PollFirst, OwnDescription };

    // Does not own `fd`.
    explicit OutputChannel(int fd, std::size_t capacity = kDefaultCapacity,
                           PipeWrites pipeWrites = PipeWrites::PollFirst);

    // Queues the line. A batch that fills half the buffer is written out at
    // once, so that a slow reader does not lose the lines of one long batch.
    void writeLine(const std::string& line) override;
    // Writes what is pending, as much as the descriptor takes without waiting.
    void flush() override;

    int fd() const { return fd_; }
    bool hasPending() const { return !pending_.empty(); }
    // Lines dropped since the last call; the count starts again from 0.
    uint64_t takeDropped();

private:
    // One write that cannot block; the bytes written, 0 when none could be.
    std::size_t writeSome(const char* bytes, std::size_t count);

    int fd_;
    std::size_t capacity_;
    bool isSocket_ = false;
    std::size_t chunk_ = 0; // the most one write may carry without blocking
    bool broken_ = false; // the reader is gone for good (EPIPE and the like)
    UniqueFd nonBlockingPipe_; // the same pipe, opened again without blocking
    std::string pending_;
    uint64_t dropped_ = 0;
};
