// SPDX-License-Identifier: GPL-3.0-or-later
#include "Hkdf.h"

#include <algorithm>

void hmacSha512(ByteView key, std::initializer_list<ByteView> pieces, Hmac512& out)
{
    // An empty key (HKDF without salt) still needs a pointer libsodium may hold.
    static const uint8_t noKey = 0;
    crypto_auth_hmacsha512_state state;
    crypto_auth_hmacsha512_init(&state, key.size != 0 ? key.data : &noKey, key.size);
    for (const ByteView& piece : pieces)
        crypto_auth_hmacsha512_update(&state, piece.data, piece.size);
    crypto_auth_hmacsha512_final(&state, out.data());
    sodium_memzero(&state, sizeof state);
}

void hkdfExtract(ByteView salt, ByteView ikm, Hmac512& prk)
{
    hmacSha512(salt, {ikm}, prk);
}

bool hkdfExpand(const Hmac512& prk, ByteView info, uint8_t* out, std::size_t length)
{
    if (length > 255 * kHmacSha512Size)
        return false;
    Hmac512 block;
    uint8_t counter = 0;
    for (std::size_t done = 0; done < length; done += kHmacSha512Size) {
        const ByteView previous = counter == 0 ? ByteView() : ByteView(block);
        ++counter;
        // The pieces are read before the block is overwritten with the next one.
        hmacSha512(prk, {previous, info, ByteView(&counter, 1)}, block);
        std::copy_n(block.data(), std::min(kHmacSha512Size, length - done), out + done);
    }
    return true;
}
