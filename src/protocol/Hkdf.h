// SPDX-License-Identifier: GPL-3.0-or-later
// HMAC-SHA-512 over several pieces, and HKDF (extract, then expand) built on
// it: the secure session's key schedule and its confirmation tags. Built on
// libsodium's streaming HMAC, whose key may have any length; 1.0.18 has no
// HKDF, and its one-shot HMAC-SHA-512 takes only 32 bytes of a 64-byte key.
#pragma once

#include "SecretBytes.h"

#include <initializer_list>

constexpr std::size_t kHmacSha512Size = crypto_auth_hmacsha512_BYTES;
using Hmac512 = Secret<kHmacSha512Size>;

// HMAC-SHA-512(key, the pieces one after the other).
void hmacSha512(ByteView key, std::initializer_list<ByteView> pieces, Hmac512& out);

// PRK = HMAC(salt, IKM).
void hkdfExtract(ByteView salt, ByteView ikm, Hmac512& prk);
// The first `length` bytes of T(1) || T(2) ..., T(i) = HMAC(PRK, T(i-1) ||
// info || i). False, nothing written, for more than 255 blocks.
bool hkdfExpand(const Hmac512& prk, ByteView info, uint8_t* out, std::size_t length);
