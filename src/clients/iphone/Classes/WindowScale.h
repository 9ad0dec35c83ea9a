// SPDX-License-Identifier: GPL-3.0-or-later
// How the 320 x 480-point phone screen is shown. On a desktop: a window as
// large as fits the screen comfortably, in quarter steps, never smaller than
// one pixel a point. On a phone (asked for with --fullscreen, or a small
// portrait screen, or a phone shell's session): the whole screen, the design
// drawn at the fractional scale that makes it as wide as the screen.
// The factor is chosen once the application object exists, from the screen
// it offers, and the phone's window is drawn at it by its host
// (PhoneWindowHost): no restart, and nothing but Qt's public API. A factor
// the user chose (--scale, QT_SCALE_FACTOR) is Qt's own, set before the
// application object; the host then adds none.
#pragma once

#include "platform/PhoneLook.h"

#include <QByteArray>
#include <QSize>
#include <QSizeF>
#include <functional>
#include <optional>

class QScreen;

namespace WindowScale {

// The phone's screen in points, upright.
inline constexpr QSize kPhonePoints{platform::phone::kScreenWidth, platform::phone::kScreenHeight};

// The factor for a desktop window of `points` on a screen area of `available`
// pixels (logical pixels of the platform).
double fittingFactor(const QSize& points, const QSize& available);

// The factor that makes `points` fill `screen` as far as its shape allows:
// the whole width of a screen taller than the design, the whole height of a
// wider one. Fractional.
double fillingFactor(const QSize& points, const QSize& screen);

// A screen a person holds in one hand: upright and at most 600 pixels wide,
// or known to measure under 7 inches across.
bool isPhoneSized(const QSize& logicalSize, const QSizeF& physicalMillimetres);

// The session is a phone shell (Phosh, Plasma Mobile) by its environment.
using Environment = std::function<QByteArray(const char*)>;
bool isPhoneSession(const Environment& environment);

struct Placement {
    bool fillsScreen = false;
    double factor = 1.0; // drawn on top of the platform's own scaling; 1: none
};

struct ScreenFacts {
    QSize logicalSize;      // the whole screen
    QSize availableSize;    // less the panels
    QSizeF physicalSizeMm;  // 0 x 0 when unknown
};

// `fullScreen`: --fullscreen (true), --windowed (false), or neither.
// `userScaled`: the user chose the factor (--scale or QT_SCALE_FACTOR).
Placement choosePlacement(std::optional<bool> fullScreen, bool userScaled, const ScreenFacts& screen,
                          const Environment& environment);

// The facts of a real screen, and the process environment.
ScreenFacts factsOf(const QScreen& screen);
QByteArray processEnvironment(const char* name);

} // namespace WindowScale
