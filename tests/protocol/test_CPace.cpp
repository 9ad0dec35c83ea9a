// SPDX-License-Identifier: GPL-3.0-or-later
// CPace against the draft's own vectors for ristretto255 / SHA-512, and the
// shares it must refuse.
#include "CPace.h"

#include "HexBytes.h"
#include "RefusedShares.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

namespace {

using cpace::Point;
using cpace::Scalar;
using cpace::Share;

Bytes counting(std::size_t count)
{
    Bytes bytes(count);
    std::iota(bytes.begin(), bytes.end(), 0);
    return bytes;
}

Bytes concat(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// The draft's ristretto255 / SHA-512 test vector.
const Bytes kPrs = hexBytes("50617373776f7264");
const Bytes kCi = hexBytes("0b415f696e69746961746f720b425f726573706f6e646572");
const Bytes kSid = hexBytes("7e4b4791d6a8ef019b936c79fb7f2c57");
const Bytes kAda = hexBytes("414461");
const Bytes kAdb = hexBytes("414462");
const char kG[] = "222b6b195fe84b1652badb6f6a3ae3d24341e7306967f0b8115b40d5698c7e56";
const char kYa[] = "d6bac480f2c386c394efc7c47adb9925dcd2630b64f240c50f8d0eec482b9157";
const char kYb[] = "3ea7e0b19560d7c0b0f5734f63b955286dfa8232b5ebe63324e2d9e7433f7258";
const char kya[] = "da3d23700a9e5699258aef94dc060dfda5ebb61f02a5ea77fad53f4ff0976d08";
const char kyb[] = "d2316b454718c35362d83d69df6320f38578ed5984651435e2949762d900b80d";
const char kK[] = "80b69a8a76457ab6a4d7f887a4bf6b55a2f80ac19c333f917a05fc9887c8b40f";

TEST(CPaceStringUtilities, PrependLenLvCatAndTranscriptMatchTheDraft)
{
    Bytes empty;
    cpace::appendPrependLen(empty, ByteView());
    EXPECT_EQ(hexOf(empty), "00");
    EXPECT_EQ(cpace::lvCat({std::string_view("1234")}), hexBytes("0431323334"));
    EXPECT_EQ(cpace::lvCat({counting(127)}), concat(hexBytes("7f"), counting(127)));
    EXPECT_EQ(cpace::lvCat({counting(128)}), concat(hexBytes("8001"), counting(128)));
    EXPECT_EQ(cpace::lvCat({std::string_view("1234"), std::string_view("5"), ByteView(), std::string_view("678")}),
              hexBytes("043132333401350003363738"));
    EXPECT_EQ(hexOf(cpace::transcriptIr(std::string_view("123"), std::string_view("PartyA"),
                                        std::string_view("234"), std::string_view("PartyB"))),
              "03313233065061727479410332333406506172747942");
    EXPECT_EQ(hexOf(cpace::transcriptIr(std::string_view("3456"), std::string_view("PartyA"),
                                        std::string_view("2345"), std::string_view("PartyB"))),
              "043334353606506172747941043233343506506172747942");
}

TEST(CPaceRistretto255Vectors, GeneratorSharesKAndIskMatchTheDraft)
{
    ASSERT_TRUE(sodiumReady());
    const Bytes text = cpace::generatorString(kPrs, kCi, kSid);
    // DSI and PRS, the length of 100 zero bytes, the zeros, CI and sid.
    EXPECT_EQ(text, concat(concat(hexBytes("11435061636552697374726574746f3235350850617373776f726464"), Bytes(100, 0)),
                           hexBytes("180b415f696e69746961746f720b425f726573706f6e646572107e4b4791d6a8ef019b936c79fb7f2c57")));
    std::array<uint8_t, 64> hash;
    crypto_hash_sha512(hash.data(), text.data(), text.size());
    EXPECT_EQ(hexOf(hash), "da6d3ddc8802fca9058755ffd3ebde08a9c2c74945901a258482a288b6663af0"
                           "6bf645c93cd1c51512307199c80e84908916d983b34af77205f90851a657ee27");

    Point g;
    cpace::generator(kPrs, kCi, kSid, g);
    EXPECT_EQ(hexOf(g), kG);

    const auto ya = fixedFromHex<Scalar>(kya);
    const auto yb = fixedFromHex<Scalar>(kyb);
    Share shareA;
    Share shareB;
    ASSERT_TRUE(cpace::share(ya, g, shareA));
    ASSERT_TRUE(cpace::share(yb, g, shareB));
    EXPECT_EQ(hexOf(shareA), kYa);
    EXPECT_EQ(hexOf(shareB), kYb);

    Point kA;
    Point kB;
    ASSERT_TRUE(cpace::sharedPoint(ya, shareA, shareB, kA));
    ASSERT_TRUE(cpace::sharedPoint(yb, shareB, shareA, kB));
    EXPECT_EQ(hexOf(kA), kK);
    EXPECT_EQ(hexOf(kB), kK);

    EXPECT_EQ(hexOf(cpace::transcriptIr(shareA, kAda, shareB, kAdb)),
              "20d6bac480f2c386c394efc7c47adb9925dcd2630b64f240c50f8d0eec482b915703414461"
              "203ea7e0b19560d7c0b0f5734f63b955286dfa8232b5ebe63324e2d9e7433f725803414462");
    cpace::Isk isk;
    cpace::isk(kSid, kA, shareA, kAda, shareB, kAdb, isk);
    EXPECT_EQ(hexOf(isk), "b69effbf61b51d56401c0f65601abe428de8206feaaf0e32198896dcae7b35cd"
                          "2b38950a39dfd5d4a79164614c2984f7daa460b588c1e80c3fa2068af7900447");
}

TEST(CPaceRistretto255Vectors, InvalidSharesAndReflectionsGiveNoK)
{
    ASSERT_TRUE(sodiumReady());
    const auto s = fixedFromHex<Scalar>("7cd0e075fa7955ba52c02759a6c90dbbfc10e6d40aea8d283e407d88cf538a05");
    const auto own = fixedFromHex<Share>(kYb);
    Point k;
    // The draft's valid case first, so that the refusals below are the shares' doing.
    ASSERT_TRUE(cpace::sharedPoint(s, own, fixedFromHex<Share>("2c3c6b8c4f3800e7aef6864025b4ed79bd599117e427c41bd47d93d654b4a51c"), k));
    EXPECT_EQ(hexOf(k), "7c13645fe790a468f62c39beb7388e541d8405d1ade69d1778c5fe3e7f6b600e");

    for (const char* bad : kRefusedShares) {
        Point refused;
        EXPECT_FALSE(cpace::sharedPoint(s, own, fixedFromHex<Share>(bad), refused)) << bad;
        EXPECT_TRUE(sodium_is_zero(refused.data(), refused.size())) << bad;
    }
    // A valid share equal to our own is a reflection.
    EXPECT_FALSE(cpace::sharedPoint(s, own, own, k));

    // libsodium itself takes the top-bit encoding as Ya, which is why the check is ours.
    const auto topBit = fixedFromHex<Share>(kYaWithTopBit);
    EXPECT_EQ(crypto_scalarmult_ristretto255(k.data(), s.data(), topBit.data()), 0);
}

} // namespace
