// SPDX-License-Identifier: GPL-3.0-or-later
// CPace against the draft's own vectors for ristretto255 / SHA-512, and the
// shares it must refuse.
#include "CPace.h"

#include "HexBytes.h"
#include "RefusedShares.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using namespace std::string_view_literals;
using cpace::Point;
using cpace::Share;

TEST(CPaceStringUtilities, PrependLenLvCatAndTranscriptMatchTheDraft)
{
    auto counting = [](std::size_t count) {
        Bytes bytes(count);
        std::iota(bytes.begin(), bytes.end(), 0);
        return bytes;
    };
    auto prefixed = [&](const char* prefix, std::size_t count) { return hexOf(ByteView(prefix)) + hexOf(counting(count)); };
    EXPECT_EQ(hexOf(cpace::lvCat({ByteView()})), "00");
    EXPECT_EQ(hexOf(cpace::lvCat({"1234"sv})), "0431323334");
    EXPECT_EQ(hexOf(cpace::lvCat({counting(127)})), prefixed("\x7f", 127));
    EXPECT_EQ(hexOf(cpace::lvCat({counting(128)})), prefixed("\x80\x01", 128));
    EXPECT_EQ(hexOf(cpace::lvCat({"1234"sv, "5"sv, ByteView(), "678"sv})), "043132333401350003363738");
    EXPECT_EQ(hexOf(cpace::transcriptIr("123"sv, "PartyA"sv, "234"sv, "PartyB"sv)),
              "03313233065061727479410332333406506172747942");
    EXPECT_EQ(hexOf(cpace::transcriptIr("3456"sv, "PartyA"sv, "2345"sv, "PartyB"sv)),
              "043334353606506172747941043233343506506172747942");
}

TEST(CPaceRistretto255Vectors, GeneratorSharesKAndIskMatchTheDraft)
{
    ASSERT_TRUE(sodiumReady());
    const Bytes prs = fromHex("50617373776f7264");
    const Bytes ci = fromHex("0b415f696e69746961746f720b425f726573706f6e646572");
    const Bytes sid = fromHex("7e4b4791d6a8ef019b936c79fb7f2c57");
    const Bytes text = cpace::generatorString(prs, ci, sid);
    // DSI, PRS, the length of the 100 zero bytes, the zeros, CI and sid.
    EXPECT_EQ(hexOf(text), "11435061636552697374726574746f3235350850617373776f726464" + std::string(200, '0')
                               + "180b415f696e69746961746f720b425f726573706f6e646572107e4b4791d6a8ef019b936c79fb7f2c57");
    std::array<uint8_t, 64> hash;
    crypto_hash_sha512(hash.data(), text.data(), text.size());
    EXPECT_EQ(hexOf(hash), "da6d3ddc8802fca9058755ffd3ebde08a9c2c74945901a258482a288b6663af0"
                           "6bf645c93cd1c51512307199c80e84908916d983b34af77205f90851a657ee27");
    Point g;
    cpace::generator(prs, ci, sid, g);
    EXPECT_EQ(hexOf(g), "222b6b195fe84b1652badb6f6a3ae3d24341e7306967f0b8115b40d5698c7e56");

    const auto ya = fromHex<cpace::Scalar>("da3d23700a9e5699258aef94dc060dfda5ebb61f02a5ea77fad53f4ff0976d08");
    const auto yb = fromHex<cpace::Scalar>("d2316b454718c35362d83d69df6320f38578ed5984651435e2949762d900b80d");
    Share shareA;
    Share shareB;
    ASSERT_TRUE(cpace::share(ya, g, shareA) && cpace::share(yb, g, shareB));
    EXPECT_EQ(hexOf(shareA), "d6bac480f2c386c394efc7c47adb9925dcd2630b64f240c50f8d0eec482b9157");
    EXPECT_EQ(hexOf(shareB), "3ea7e0b19560d7c0b0f5734f63b955286dfa8232b5ebe63324e2d9e7433f7258");
    Point kA;
    Point kB;
    ASSERT_TRUE(cpace::sharedPoint(ya, shareA, shareB, kA) && cpace::sharedPoint(yb, shareB, shareA, kB));
    EXPECT_EQ(hexOf(kA), "80b69a8a76457ab6a4d7f887a4bf6b55a2f80ac19c333f917a05fc9887c8b40f");
    EXPECT_EQ(hexOf(kB), hexOf(kA));

    EXPECT_EQ(hexOf(cpace::transcriptIr(shareA, "ADa"sv, shareB, "ADb"sv)),
              "20d6bac480f2c386c394efc7c47adb9925dcd2630b64f240c50f8d0eec482b915703414461"
              "203ea7e0b19560d7c0b0f5734f63b955286dfa8232b5ebe63324e2d9e7433f725803414462");
    cpace::Isk isk;
    cpace::isk(sid, kA, shareA, "ADa"sv, shareB, "ADb"sv, isk);
    EXPECT_EQ(hexOf(isk), "b69effbf61b51d56401c0f65601abe428de8206feaaf0e32198896dcae7b35cd"
                          "2b38950a39dfd5d4a79164614c2984f7daa460b588c1e80c3fa2068af7900447");
}

TEST(CPaceRistretto255Vectors, InvalidSharesAndReflectionsGiveNoK)
{
    ASSERT_TRUE(sodiumReady());
    const auto s = fromHex<cpace::Scalar>("7cd0e075fa7955ba52c02759a6c90dbbfc10e6d40aea8d283e407d88cf538a05");
    const auto own = fromHex<Share>("3ea7e0b19560d7c0b0f5734f63b955286dfa8232b5ebe63324e2d9e7433f7258");
    Point k;
    // The draft's valid case first, so that the refusals below are the shares' doing.
    ASSERT_TRUE(cpace::sharedPoint(s, own, fromHex<Share>("2c3c6b8c4f3800e7aef6864025b4ed79bd599117e427c41bd47d93d654b4a51c"), k));
    EXPECT_EQ(hexOf(k), "7c13645fe790a468f62c39beb7388e541d8405d1ade69d1778c5fe3e7f6b600e");
    for (const char* bad : kRefusedShares) {
        Point refused;
        EXPECT_FALSE(cpace::sharedPoint(s, own, fromHex<Share>(bad), refused)) << bad;
        EXPECT_TRUE(sodium_is_zero(refused.data(), refused.size())) << bad;
    }
    EXPECT_FALSE(cpace::sharedPoint(s, own, own, k)) << "a reflection";
    // libsodium itself takes the top-bit encoding as Ya: the check is ours.
    EXPECT_EQ(crypto_scalarmult_ristretto255(k.data(), s.data(), fromHex<Share>(kYaWithTopBit).data()), 0);
}

} // namespace
