// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowScale.h"

#include <QScreen>

#include <algorithm>
#include <cmath>

namespace WindowScale {

namespace {
constexpr double kShareOfScreen = 0.85; // room for the title bar and the panel
constexpr double kStep = 0.25;
constexpr double kMaximum = 4.0;
constexpr double kFillMinimum = 0.25;
constexpr double kFillMaximum = 8.0;
constexpr int kPhoneWidestSide = 600;
constexpr double kPhoneDiagonalInches = 7.0;
constexpr double kMillimetresPerInch = 25.4;
} // namespace

double fittingFactor(const QSize& points, const QSize& available)
{
    if (points.isEmpty() || available.isEmpty())
        return 1.0;
    const double fit = std::min(available.width() * kShareOfScreen / points.width(),
                                available.height() * kShareOfScreen / points.height());
    return std::clamp(std::floor(fit / kStep) * kStep, 1.0, kMaximum);
}

double fillingFactor(const QSize& points, const QSize& screen)
{
    if (points.isEmpty() || screen.isEmpty())
        return 1.0;
    const double fit = std::min(double(screen.width()) / points.width(), double(screen.height()) / points.height());
    return std::clamp(fit, kFillMinimum, kFillMaximum);
}

bool isPhoneSized(const QSize& logicalSize, const QSizeF& physicalMillimetres)
{
    if (logicalSize.isEmpty())
        return false;
    if (logicalSize.height() >= logicalSize.width() && logicalSize.width() <= kPhoneWidestSide)
        return true;
    if (physicalMillimetres.width() <= 0 || physicalMillimetres.height() <= 0)
        return false;
    const double diagonal = std::hypot(physicalMillimetres.width(), physicalMillimetres.height()) / kMillimetresPerInch;
    return diagonal < kPhoneDiagonalInches;
}

bool isPhoneSession(const Environment& environment)
{
    // Phosh names itself in the desktop list ("Phosh:GNOME"); Plasma Mobile
    // runs as KDE with the platform "phone" (or "handset:phone").
    for (const QByteArray& desktop : environment("XDG_CURRENT_DESKTOP").split(':'))
        if (desktop.trimmed().compare("Phosh", Qt::CaseInsensitive) == 0)
            return true;
    for (const QByteArray& platform : environment("PLASMA_PLATFORM").split(':'))
        if (platform.trimmed() == "phone" || platform.trimmed() == "handset")
            return true;
    return false;
}

Placement choosePlacement(std::optional<bool> fullScreen, bool userScaled, const ScreenFacts& screen,
                          const Environment& environment)
{
    Placement placement;
    placement.fillsScreen = fullScreen.value_or(isPhoneSession(environment)
                                                || isPhoneSized(screen.logicalSize, screen.physicalSizeMm));
    if (userScaled)
        return placement;
    placement.factor = placement.fillsScreen ? fillingFactor(kPhonePoints, screen.logicalSize)
                                             : fittingFactor(kPhonePoints, screen.availableSize);
    return placement;
}

ScreenFacts factsOf(const QScreen& screen)
{
    return {screen.geometry().size(), screen.availableGeometry().size(), screen.physicalSize()};
}

QByteArray processEnvironment(const char* name)
{
    return qgetenv(name);
}

} // namespace WindowScale
