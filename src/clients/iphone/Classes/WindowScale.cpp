#include "WindowScale.h"

#include "platform/PhoneLook.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace WindowScale {

namespace {
constexpr double kShareOfScreen = 0.85; // room for the title bar and the panel
constexpr double kStep = 0.25;
constexpr double kMaximum = 4.0;
} // namespace

double fittingFactor(const QSize& points, const QSize& available)
{
    if (points.isEmpty() || available.isEmpty())
        return 1.0;
    const double fit = std::min(available.width() * kShareOfScreen / points.width(),
                                available.height() * kShareOfScreen / points.height());
    return std::clamp(std::floor(fit / kStep) * kStep, 1.0, kMaximum);
}

std::optional<QByteArray> factorToRestartWith()
{
    if (!qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR") || !qEnvironmentVariableIsEmpty("QT_SCREEN_SCALE_FACTORS"))
        return std::nullopt;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || QGuiApplication::platformName() == QLatin1String("offscreen"))
        return std::nullopt;
    const double factor = fittingFactor(QSize(platform::phone::kScreenWidth, platform::phone::kScreenHeight), screen->availableGeometry().size());
    if (factor <= 1.0)
        return std::nullopt;
    return QByteArray::number(factor);
}

} // namespace WindowScale
