// SPDX-License-Identifier: GPL-3.0-or-later
// Hex text to bytes and back, for test vectors written as the documents that
// publish them write them.
#pragma once

#include "SecretBytes.h"

#include <string>
#include <string_view>

// Bytes, a std::array or a Secret filled from hex.
template <typename Fixed = Bytes>
Fixed fromHex(std::string_view text)
{
    Fixed out{};
    if constexpr (std::is_same_v<Fixed, Bytes>)
        out.resize(text.size() / 2);
    sodium_hex2bin(out.data(), out.size(), text.data(), text.size(), nullptr, nullptr, nullptr);
    return out;
}

inline std::string hexOf(ByteView bytes)
{
    std::string text(2 * bytes.size + 1, '\0');
    sodium_bin2hex(&text[0], text.size(), bytes.data, bytes.size);
    text.pop_back();
    return text;
}
