// SPDX-License-Identifier: GPL-3.0-or-later
// Characters to the keysyms that type them: legacy keysyms where the X
// keysym table has one, Unicode keysyms for the rest (emoji from a surrogate
// pair included), line ends as Return, upper-case letters as their letter key
// with Shift; controls, broken UTF-16 and non-characters send nothing; a text
// is read as composed characters, up to a bound.
#include "TextKeys.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

namespace {

TextKey key(char32_t c, uint32_t keysym, bool shifted = false)
{
    return TextKey{c, keysym, shifted};
}

} // namespace

// Found by argument-dependent lookup, so in TextKey's namespace.
static std::ostream& operator<<(std::ostream& out, const TextKey& k)
{
    return out << "{U+" << std::hex << uint32_t(k.character) << " keysym 0x" << k.keysym << (k.shifted ? " shifted" : "")
               << "}" << std::dec;
}

TEST(TextKeys, EachCharacterHasItsKeysym)
{
    const struct {
        char32_t character;
        TextKey expected;
    } table[] = {
        {U'a', key(U'a', XK_a)},
        {U'z', key(U'z', XK_z)},
        {U'A', key(U'A', XK_A, true)},
        {U'Z', key(U'Z', XK_Z, true)},
        {U'@', key(U'@', XK_at)},
        {U' ', key(U' ', XK_space)},
        {U'~', key(U'~', XK_asciitilde)},
        {U'\u00E9', key(U'\u00E9', XK_eacute)},       // é
        {U'\u00C9', key(U'\u00C9', XK_Eacute)},       // É: no Shift, the keysym says the case
        {U'\u00DF', key(U'\u00DF', XK_ssharp)},       // ß
        {U'\u00A0', key(U'\u00A0', XK_nobreakspace)},
        {U'\u0436', key(U'\u0436', XK_Cyrillic_zhe)}, // ж
        {U'\u0416', key(U'\u0416', XK_Cyrillic_ZHE)}, // Ж
        {U'\u20AC', key(U'\u20AC', XK_EuroSign)},     // €
        {U'\u00F1', key(U'\u00F1', XK_ntilde)},       // ñ
        {U'\u4E2D', key(U'\u4E2D', 0x01004E2D)},      // 中: no legacy keysym
        {U'\u0259', key(U'\u0259', 0x01000259)},      // ə
        {U'\U0001F600', key(U'\U0001F600', 0x0101F600)}, // 😀, beyond 16 bits
        {U'\n', key(U'\n', XK_Return)},
        {U'\r', key(U'\n', XK_Return)},
        {U'\u2029', key(U'\n', XK_Return)},
        {U'\t', key(U'\t', XK_Tab)},
        // Not text: C0 and C1 controls and DEL (which libxkbcommon would
        // make BackSpace, Escape or Delete), surrogates, non-characters.
        {U'\b', key(U'\b', 0)},
        {U'\x1B', key(U'\x1B', 0)},
        {U'\x7F', key(U'\x7F', 0)},
        {U'\u0085', key(U'\u0085', 0)},
        {char32_t(0xD800), key(char32_t(0xD800), 0)},
        {U'\uFFFF', key(U'\uFFFF', 0)},
        {char32_t(0x110000), key(char32_t(0x110000), 0)},
    };
    for (const auto& row : table)
        EXPECT_EQ(keyOfCharacter(row.character), row.expected) << "U+" << std::hex << uint32_t(row.character);
}

TEST(TextKeys, ATextIsComposedCharactersInOrderUpToTheBound)
{
    using Keys = std::vector<TextKey>;
    // "é" written as e and a combining accent is the one key of é; the
    // emoji is one character of two UTF-16 units; CR LF is one Return.
    TextKeys keys = keysOfText(QString::fromUtf8("Ae\xCC\x81\r\n\xF0\x9F\x98\x80!"));
    EXPECT_EQ(keys.keys, (Keys{key(U'A', XK_A, true), key(U'\u00E9', XK_eacute), key(U'\n', XK_Return),
                               key(U'\U0001F600', 0x0101F600), key(U'!', XK_exclam)}));
    EXPECT_EQ(keys.leftOut, 0);

    // Controls and a lone surrogate count as characters but send nothing.
    keys = keysOfText(QStringLiteral("a\x1B") + QChar(0xDC00) + QStringLiteral("b"), 3);
    EXPECT_EQ(keys.keys, (Keys{key(U'a', XK_a)}));
    EXPECT_EQ(keys.leftOut, 1);

    // The bound counts characters, not UTF-16 units.
    keys = keysOfText(QString::fromUtf8("\xF0\x9F\x98\x80\xF0\x9F\x98\x80x"), 2);
    EXPECT_EQ(keys.keys.size(), 2u);
    EXPECT_EQ(keys.leftOut, 1);
    EXPECT_EQ(keysOfText(QString(), 10).keys, Keys{});
}
