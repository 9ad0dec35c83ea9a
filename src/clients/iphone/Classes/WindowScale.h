// How large the 320 x 480-point window is drawn: as large as fits the
// screen comfortably, in quarter steps, and never smaller than one pixel a
// point (the platform's own high-density scaling comes on top).
#pragma once

#include <QByteArray>
#include <QSize>
#include <optional>

namespace WindowScale {

// The factor for a window of `points` on a screen area of `available` pixels.
double fittingFactor(const QSize& points, const QSize& available);

// The factor to restart the program with, when the user set none (neither
// --scale nor QT_SCALE_FACTOR) and the primary screen wants one above 1.
std::optional<QByteArray> factorToRestartWith();

} // namespace WindowScale
