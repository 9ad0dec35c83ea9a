// SPDX-License-Identifier: GPL-3.0-or-later
// What the secure session's modules share: libsodium made ready once, a
// read-only view of bytes, and a fixed-size secret (a key, a scalar, a tag)
// that wipes itself when it goes.
#pragma once

#include <sodium.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

using Bytes = std::vector<uint8_t>;

// libsodium must be initialised before any other call; a failure (no source
// of randomness) is an error to report, never a crash. Thread-safe, and
// sodium_init runs only once.
inline bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// Borrowed bytes, valid while what they come from is.
struct ByteView {
    const uint8_t* data = nullptr;
    std::size_t size = 0;

    ByteView() = default;
    ByteView(const uint8_t* bytes, std::size_t count)
        : data(bytes)
        , size(count)
    {
    }
    ByteView(const Bytes& bytes)
        : ByteView(bytes.data(), bytes.size())
    {
    }
    template <std::size_t N>
    ByteView(const std::array<uint8_t, N>& bytes)
        : ByteView(bytes.data(), N)
    {
    }
    ByteView(std::string_view text)
        : ByteView(reinterpret_cast<const uint8_t*>(text.data()), text.size())
    {
    }
};

// N secret bytes, zero until written, wiped with sodium_memzero on
// destruction. Copies are explicit secrets of their own and wipe themselves too.
template <std::size_t N>
class Secret {
public:
    Secret() = default;
    Secret(const Secret&) = default;
    Secret& operator=(const Secret&) = default;
    ~Secret() { wipe(); }

    uint8_t* data() { return bytes_.data(); }
    const uint8_t* data() const { return bytes_.data(); }
    static constexpr std::size_t size() { return N; }
    operator ByteView() const { return ByteView(bytes_); }
    void wipe() { sodium_memzero(bytes_.data(), N); }

private:
    std::array<uint8_t, N> bytes_{};
};

// Wipes a buffer that held something secret (a generator string holds the
// passcode) before it is freed.
inline void wipeBytes(Bytes& bytes)
{
    sodium_memzero(bytes.data(), bytes.size());
}
