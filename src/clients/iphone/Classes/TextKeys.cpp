// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextKeys.h"

#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

namespace {

bool endsALine(char32_t c)
{
    return c == U'\n' || c == U'\r' || c == U'\u2028' || c == U'\u2029';
}

} // namespace

TextKey keyOfCharacter(char32_t c)
{
    if (endsALine(c))
        return {U'\n', XK_Return, false};
    if (c == U'\t')
        return {c, XK_Tab, false};
    // libxkbcommon would give the C0 controls and DEL the keysyms of
    // BackSpace, Escape, Delete and the like: keys, not text.
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
        return {c, 0, false};
    if (c >= U'A' && c <= U'Z')
        return {c, uint32_t(c), true};
    if ((c >= 0xD800 && c <= 0xDFFF) || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE || c > 0x10FFFF)
        return {c, 0, false};
    return {c, xkb_utf32_to_keysym(uint32_t(c)), false};
}

TextKeys keysOfText(const QString& text, int maxCharacters)
{
    const QString composed = text.normalized(QString::NormalizationForm_C);
    TextKeys result;
    int taken = 0;
    for (qsizetype i = 0; i < composed.size(); ++i) {
        const QChar unit = composed[i];
        char32_t c = unit.unicode();
        if (unit.isHighSurrogate() && i + 1 < composed.size() && composed[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(unit, composed[++i]);
        else if (c == U'\r' && i + 1 < composed.size() && composed[i + 1] == u'\n')
            ++i; // one line end
        if (taken == maxCharacters) {
            ++result.leftOut;
            continue;
        }
        ++taken;
        // A lone surrogate (broken UTF-16) gets no keysym and is skipped.
        const TextKey key = keyOfCharacter(c);
        if (key.keysym != 0)
            result.keys.push_back(key);
    }
    return result;
}
