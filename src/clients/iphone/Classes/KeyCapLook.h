// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard's look, shared by the key buttons (which paint their caps)
// and the arrow key pad; the plain buttons use images drawn to match
// (scripts/make-keyboard-images).
#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace keycap {

// A cap sits this far inside its slot, so fingers may land in the gaps.
constexpr qreal kInsetX = 2;
constexpr qreal kInsetY = 3;
constexpr qreal kRadius = 5;

enum class Face { Plain, Special, Pressed };

inline QColor background() { return QColor(0xD1, 0xD4, 0xDA); }
inline QColor ink() { return QColor(0x1C, 0x1C, 0x1E); }

void paint(QPainter& painter, const QRectF& slot, Face face);

} // namespace keycap
