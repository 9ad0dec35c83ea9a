// SPDX-License-Identifier: GPL-3.0-or-later
// HKDF-SHA-512 against an independent computation. RFC 5869 publishes
// vectors for SHA-256 and SHA-1 only, so these were computed from its test
// cases' inputs (and one shaped like the session's: a 64-byte key and output
// over two blocks) by Python's hmac and hashlib following the RFC's steps:
//   prk = hmac.new(salt, ikm, hashlib.sha512).digest()
//   t = b''; okm = b''
//   for i in 1, 2, ...: t = hmac.new(prk, t + info + bytes([i]), hashlib.sha512).digest(); okm += t
// The 82-byte output also matches `openssl kdf ... -kdfopt digest:SHA512 HKDF`.
#include "Hkdf.h"

#include "HexBytes.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

Bytes range(int first, int end)
{
    Bytes bytes(static_cast<std::size_t>(end - first));
    std::iota(bytes.begin(), bytes.end(), static_cast<uint8_t>(first));
    return bytes;
}

Bytes textBytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

struct HkdfCase {
    const char* what;
    Bytes salt;
    Bytes ikm;
    Bytes info;
    const char* prk;
    const char* okm;
};

TEST(HkdfSha512, MatchesAnIndependentComputation)
{
    const HkdfCase cases[] = {
        {"RFC 5869 case 1 inputs", range(0, 13), Bytes(22, 0x0b), range(0xf0, 0xfa),
         "665799823737ded04a88e47e54a5890bb2c3d247c7a4254a8e61350723590a26c36238127d8661b88cf80ef802d57e2f7cebcf1e00e083848be19929c61b4237",
         "832390086cda71fb47625bb5ceb168e4c8e26a1a16ed34d9fc7fe92c1481579338da362cb8d9f925d7cb"},
        {"RFC 5869 case 2 inputs: 80-byte salt", range(0x60, 0xb0), range(0, 0x50), range(0xb0, 0x100),
         "35672542907d4e142c00e84499e74e1de08be86535f924e022804ad775dde27ec86cd1e5b7d178c74489bdbeb30712beb82d4f97416c5a94ea81ebdf3e629e4a",
         "ce6c97192805b346e6161e821ed165673b84f400a2b514b2fe23d84cd189ddf1b695b48cbd1c8388441137b3ce28f16a"
         "a64ba33ba466b24df6cfcb021ecff235f6a2056ce3af1de44d572097a8505d9e7a93"},
        {"RFC 5869 case 3 inputs: no salt, no info", Bytes(), Bytes(22, 0x0b), Bytes(),
         "fd200c4987ac491313bd4a2a13287121247239e11c9ef82802044b66ef357e5b194498d0682611382348572a7b1611de54764094286320578a863f36562b0df6",
         "f5fa02b18298a72a8c23898a8703472c6eb179dc204c03425c970e3b164bf90fff22d04836d0e2343bac"},
        {"64-byte salt and key material, 130 bytes out", range(0x40, 0x80), range(0x80, 0xc0),
         textBytes("QuillonCPace/1 confirm phone"),
         "be27b8114abaaf620b9c3723091d35c69ea64dd13572f64f3f797718c325d3492846bad6aaa017bfef675d2532902a7c08a5c1d6d3394b3b2c17616223804b5a",
         "51321803aa39b0e8d84530b2daced885bcdfe7651712a81fb5b9e5b82d8a8cc21a7231becddae2f7c2842af0baa4d692"
         "c0e7c4f79a4927461d07ff4ce9dd935dcd95e3b4f466d9573f3a04f7ce27c4e67bb6a968db368a7848d61c0c411f6316"
         "2c756337e8f7137cb4a9f6f73cc51d12a09e56840354ebe3a88d5251b6ac2dc75c3a"},
    };
    for (const HkdfCase& c : cases) {
        Hmac512 prk;
        hkdfExtract(c.salt, c.ikm, prk);
        EXPECT_EQ(hexOf(prk), c.prk) << c.what;
        Bytes okm(std::string_view(c.okm).size() / 2);
        ASSERT_TRUE(hkdfExpand(prk, c.info, okm.data(), okm.size())) << c.what;
        EXPECT_EQ(hexOf(okm), c.okm) << c.what;
    }
}

TEST(HkdfSha512, OutputIsLimitedTo255Blocks)
{
    Hmac512 prk;
    Bytes okm(255 * 64 + 1, 0xAA);
    EXPECT_FALSE(hkdfExpand(prk, Bytes(), okm.data(), okm.size()));
    EXPECT_EQ(okm.back(), 0xAA);
    EXPECT_TRUE(hkdfExpand(prk, Bytes(), okm.data(), okm.size() - 1));
    EXPECT_EQ(okm.back(), 0xAA);
}

} // namespace
