// SPDX-License-Identifier: GPL-3.0-or-later
// Hex text to bytes and back, for test vectors written as the documents that
// publish them write them.
#pragma once

#include "SecretBytes.h"

#include <algorithm>
#include <string>
#include <string_view>

inline Bytes hexBytes(std::string_view text)
{
    Bytes out(text.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<uint8_t>(std::stoi(std::string(text.substr(2 * i, 2)), nullptr, 16));
    return out;
}

inline std::string hexOf(ByteView bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes.size; ++i) {
        text += digits[bytes.data[i] >> 4];
        text += digits[bytes.data[i] & 15];
    }
    return text;
}

template <typename Fixed>
Fixed fixedFromHex(std::string_view text)
{
    Fixed out{};
    const Bytes bytes = hexBytes(text);
    std::copy(bytes.begin(), bytes.begin() + std::min(bytes.size(), out.size()), out.data());
    return out;
}
