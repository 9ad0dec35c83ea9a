// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the value tree decoder. A successful decode must
// encode again, and the encoding must be stable: decoding it takes all of it
// and encoding that gives the same bytes. Never longer than what was consumed
// (the encoder only ever picks the shorter string form, and a text stops at
// its first NUL). A decoded dictionary also takes an entry built by hand,
// behind all of its own, and frees both kinds of node together.
#include "Mojo.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int encode(const mojo_node* node, std::vector<uint8_t>& out)
{
    out.assign(1 << 17, 0);
    const int written = mojo_encode(node, out.data(), static_cast<int>(out.size()));
    if (written >= 0)
        out.resize(static_cast<size_t>(written));
    return written;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    mojo_node* node = mojo_create();
    const int consumed = mojo_decode(node, data, static_cast<int>(size));
    if (consumed < 0) {
        mojo_delete(node);
        return 0;
    }
    if (consumed == 0 || static_cast<size_t>(consumed) > size)
        std::abort();

    std::vector<uint8_t> first;
    if (encode(node, first) < 0 || first.size() > static_cast<size_t>(consumed))
        std::abort();

    mojo_node* again = mojo_create();
    if (mojo_decode(again, first.data(), static_cast<int>(first.size())) != static_cast<int>(first.size()))
        std::abort();
    std::vector<uint8_t> second;
    if (encode(again, second) < 0 || second != first)
        std::abort();

    // Input already in the encoder's own form comes back byte for byte.
    if (first.size() == static_cast<size_t>(consumed) && std::memcmp(first.data(), data, first.size()) != 0)
        std::abort();

    if (node->type == MOJO_DICTIONARY) {
        mojo_dic_insert(node, mojo_create_pair(mojo_create_pair_value("k", mojo_create_with_type(MOJO_NULL))));
        std::vector<uint8_t> extended;
        const uint8_t entry[] = {'s', 1, 'k', 'n', ']'};
        std::vector<uint8_t> expected(first.begin(), first.end() - 1);
        expected.insert(expected.end(), entry, entry + sizeof entry);
        if (encode(node, extended) < 0 || extended != expected)
            std::abort();
    }

    mojo_delete(again);
    mojo_delete(node);
    return 0;
}
