// SPDX-License-Identifier: GPL-3.0-or-later
// CPace on ristretto255 with SHA-512, initiator-responder: the password-
// authenticated key exchange that opens a secure session, as the pieces the
// handshake composes. Each side turns the passcode into a generator, sends a
// share, and from the peer's share computes a point that only someone who
// used the same passcode can compute too; ISK is the hash of it and the
// transcript. Every group operation is libsodium's; nothing here throws.
#pragma once

#include "SecretBytes.h"

#include <initializer_list>

namespace cpace {

constexpr std::size_t kShareSize = crypto_core_ristretto255_BYTES;
constexpr std::size_t kScalarSize = crypto_core_ristretto255_SCALARBYTES;
constexpr std::size_t kIskSize = crypto_hash_sha512_BYTES;

using Share = std::array<uint8_t, kShareSize>;
// The generator and the shared point K are as secret as the passcode: both
// let an eavesdropper test guesses.
using Point = Secret<kShareSize>;
using Scalar = Secret<kScalarSize>;
using Isk = Secret<kIskSize>;

// The item with its length in front (LEB128), appended to `out`.
void appendPrependLen(Bytes& out, ByteView item);
// Each item with its length in front, one after the other.
Bytes lvCat(std::initializer_list<ByteView> items);

// lv_cat(DSI, PRS, zero padding, CI, sid): the padding fills the hash's first
// input block after DSI and PRS. Holds the passcode: wipe it after use.
Bytes generatorString(ByteView prs, ByteView ci, ByteView sid);
// The ristretto255 point hashed from the generator string.
void generator(ByteView prs, ByteView ci, ByteView sid, Point& g);

// y·g. False only for a scalar that makes the identity (zero).
bool share(const Scalar& y, const Point& g, Share& out);
// A fresh random scalar and its share; never reuse a scalar.
bool freshShare(const Point& g, Scalar& y, Share& out);

// K = y·peer. False, K unset, for a peer share that is refused: one with its
// top bit set (libsodium 1.0.18 would accept it), one equal to our own (a
// reflection), an invalid encoding or one that gives the identity.
bool sharedPoint(const Scalar& y, const Share& own, const Share& peer, Point& k);

// lv_cat(Ya, ADa) || lv_cat(Yb, ADb).
Bytes transcriptIr(ByteView ya, ByteView ada, ByteView yb, ByteView adb);
// SHA-512(lv_cat(DSI || "_ISK", sid, K) || transcript_ir(Ya, ADa, Yb, ADb)).
void isk(ByteView sid, const Point& k, ByteView ya, ByteView ada, ByteView yb, ByteView adb, Isk& out);

} // namespace cpace
