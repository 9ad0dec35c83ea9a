// SPDX-License-Identifier: GPL-3.0-or-later
// The shared look of the platform's views: one light, grouped, blue-tinted
// phone style, so that every screen built on these views matches. The
// numbers live in PhoneLook.h; this header makes Qt colours and fonts of them.
#pragma once

#include "platform/PhoneLook.h"

#include <QColor>
#include <QFont>
#include <cstdint>

namespace platform::theme {

// A colour of PhoneLook.h (0xRRGGBB), at the given opacity (0-255).
inline QColor color(std::uint32_t rgb, int alpha = 255)
{
    return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF), alpha);
}

inline QColor tint() { return color(phone::kTint); }
inline QColor label() { return color(phone::kLabel); }
inline QColor secondaryLabel() { return color(phone::kSecondaryLabel); }
inline QColor groupedBackground() { return color(phone::kGroupedBackground); }
inline QColor cellBackground() { return color(phone::kCellBackground); }
inline QColor cellHighlight() { return color(phone::kCellHighlight); }
inline QColor separator() { return color(phone::kSeparator); }
inline QColor barBackground() { return color(phone::kBarBackground); }
inline QColor destructive() { return color(phone::kDestructive); }
inline QColor buttonBorder() { return color(phone::kButtonBorder); }
// Black at one of PhoneLook.h's opacities.
inline QColor shade(int alpha) { return color(phone::kBlack, alpha); }

// A font of the given size in the phone's points (17 for body text). Sizes
// are logical pixels, so text keeps its place in the 320-point layout
// whatever the screen's dots per inch; a scaled window scales it with the rest.
inline QFont font(qreal points, QFont::Weight weight = QFont::Normal)
{
    QFont f;
    f.setPixelSize(qMax(1, qRound(points)));
    f.setWeight(weight);
    return f;
}

} // namespace platform::theme
