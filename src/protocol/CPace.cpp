// SPDX-License-Identifier: GPL-3.0-or-later
#include "CPace.h"

namespace cpace {

namespace {

constexpr std::string_view kDsi = "CPaceRistretto255";
constexpr std::string_view kDsiIsk = "CPaceRistretto255_ISK";
// SHA-512 reads its input in 128-byte blocks.
constexpr std::size_t kHashBlockSize = 128;

std::size_t prefixedSize(std::size_t size)
{
    std::size_t prefix = 1;
    for (std::size_t rest = size >> 7; rest != 0; rest >>= 7)
        ++prefix;
    return prefix + size;
}

} // namespace

void appendPrependLen(Bytes& out, ByteView item)
{
    std::size_t length = item.size;
    do {
        const auto low = static_cast<uint8_t>(length & 0x7F);
        length >>= 7;
        out.push_back(length != 0 ? static_cast<uint8_t>(low | 0x80) : low);
    } while (length != 0);
    out.insert(out.end(), item.data, item.data + item.size);
}

Bytes lvCat(std::initializer_list<ByteView> items)
{
    std::size_t total = 0;
    for (const ByteView& item : items)
        total += prefixedSize(item.size);
    Bytes out;
    out.reserve(total); // one buffer: no stray copy of a secret item
    for (const ByteView& item : items)
        appendPrependLen(out, item);
    return out;
}

Bytes generatorString(ByteView prs, ByteView ci, ByteView sid)
{
    static const std::array<uint8_t, kHashBlockSize> zeros{};
    const std::size_t used = prefixedSize(kDsi.size()) + prefixedSize(prs.size);
    const std::size_t padding = used < kHashBlockSize - 1 ? kHashBlockSize - 1 - used : 0;
    return lvCat({kDsi, prs, ByteView(zeros.data(), padding), ci, sid});
}

void generator(ByteView prs, ByteView ci, ByteView sid, Point& g)
{
    Bytes text = generatorString(prs, ci, sid);
    Secret<crypto_hash_sha512_BYTES> hash;
    crypto_hash_sha512(hash.data(), text.data(), text.size());
    wipeBytes(text);
    crypto_core_ristretto255_from_hash(g.data(), hash.data());
}

bool share(const Scalar& y, const Point& g, Share& out)
{
    return crypto_scalarmult_ristretto255(out.data(), y.data(), g.data()) == 0;
}

bool freshShare(const Point& g, Scalar& y, Share& out)
{
    crypto_core_ristretto255_scalar_random(y.data());
    return share(y, g, out);
}

bool sharedPoint(const Scalar& y, const Share& own, const Share& peer, Point& k)
{
    if ((peer[kShareSize - 1] & 0x80) != 0)
        return false;
    if (sodium_memcmp(own.data(), peer.data(), kShareSize) == 0)
        return false;
    // -1 for an encoding that is not a point and for the identity as result.
    if (crypto_scalarmult_ristretto255(k.data(), y.data(), peer.data()) != 0) {
        k.wipe();
        return false;
    }
    return true;
}

Bytes transcriptIr(ByteView ya, ByteView ada, ByteView yb, ByteView adb)
{
    return lvCat({ya, ada, yb, adb});
}

void isk(ByteView sid, const Point& k, ByteView ya, ByteView ada, ByteView yb, ByteView adb, Isk& out)
{
    Bytes prefix = lvCat({kDsiIsk, sid, k});
    const Bytes transcript = transcriptIr(ya, ada, yb, adb);
    crypto_hash_sha512_state state;
    crypto_hash_sha512_init(&state);
    crypto_hash_sha512_update(&state, prefix.data(), prefix.size());
    crypto_hash_sha512_update(&state, transcript.data(), transcript.size());
    crypto_hash_sha512_final(&state, out.data());
    sodium_memzero(&state, sizeof state);
    wipeBytes(prefix);
}

} // namespace cpace
