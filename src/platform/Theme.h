// SPDX-License-Identifier: GPL-3.0-or-later
// The shared look of the platform's views: one light, grouped, blue-tinted
// phone style, so that every screen built on these views matches.
#pragma once

#include <QColor>
#include <QFont>

namespace platform::theme {

inline QColor tint() { return QColor(0x00, 0x7a, 0xff); }
inline QColor label() { return QColor(0x1c, 0x1c, 0x1e); }
inline QColor secondaryLabel() { return QColor(0x8a, 0x8a, 0x8e); }
inline QColor groupedBackground() { return QColor(0xf2, 0xf2, 0xf7); }
inline QColor cellBackground() { return QColor(0xff, 0xff, 0xff); }
inline QColor cellHighlight() { return QColor(0xd1, 0xd1, 0xd6); }
inline QColor separator() { return QColor(0xc6, 0xc6, 0xc8); }
inline QColor barBackground() { return QColor(0xf9, 0xf9, 0xf9); }
inline QColor destructive() { return QColor(0xff, 0x3b, 0x30); }
inline QColor buttonBorder() { return QColor(0xd1, 0xd1, 0xd6); }

// Sizes in points, as the phone's screens are laid out.
constexpr int kRowHeight = 44;
constexpr int kNavigationBarHeight = 44;
constexpr int kTabBarHeight = 49;
constexpr int kStatusBarHeight = 20;
constexpr int kGroupInset = 16;
constexpr int kCornerRadius = 10;

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
