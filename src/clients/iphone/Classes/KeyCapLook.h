// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard's look, shared by the key buttons (which paint their caps)
// and the arrow key pad; the plain buttons use images drawn to match
// (scripts/make-keyboard-images). Sizes and colours are PhoneLook.h's.
#pragma once

#include "platform/PhoneLook.h"
#include "platform/Theme.h"

#include <QColor>
#include <QRectF>

class QPainter;

namespace keycap {

// A cap sits this far inside its slot, so fingers may land in the gaps.
constexpr qreal kInsetX = platform::phone::kKeyCapInsetX;
constexpr qreal kInsetY = platform::phone::kKeyCapInsetY;
constexpr qreal kRadius = platform::phone::kKeyCapRadius;

enum class Face { Plain, Special, Pressed };

inline QColor background() { return platform::theme::color(platform::phone::kKeyboardBackground); }
inline QColor ink() { return platform::theme::color(platform::phone::kKeyInk); }
inline QColor plainCap() { return platform::theme::color(platform::phone::kKeyCap); }
inline QColor shadow() { return platform::theme::color(platform::phone::kKeyCapShadowColor); }

void paint(QPainter& painter, const QRectF& slot, Face face);

} // namespace keycap
