// Small helpers around IPv4 socket addresses and descriptors.
#pragma once

#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <string>

// "a.b.c.d:port".
std::string formatPeer(const sockaddr_in& address);

// The IPv4 address in `text` with `port`, or nothing when `text` is not a
// dotted IPv4 address.
std::optional<sockaddr_in> makeAddress(const std::string& text, uint16_t port);

// The port a bound socket actually got (the one asked for, or the system's
// pick for port 0); 0 when it cannot be read.
uint16_t boundPort(int fd);

bool setNonBlocking(int fd);

// Owns a descriptor and closes it once.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : fd_(fd)
    {
    }
    UniqueFd(UniqueFd&& other) noexcept
        : fd_(other.release())
    {
    }
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};
