// SPDX-License-Identifier: GPL-3.0-or-later
#include "PointerSettings.h"

#include "SettingsKeys.h"

#include "platform/UserDefaults.h"

#include <algorithm>
#include <cmath>

namespace {

double speedSetting(const platform::UserDefaults& defaults, const QString& key)
{
    const QVariant stored = defaults.objectForKey(key);
    bool isNumber = false;
    const double value = stored.toDouble(&isNumber);
    if (!stored.isValid() || stored.typeId() == QMetaType::Bool || !isNumber || !std::isfinite(value))
        return 1.0;
    return std::clamp(value, PointerSettings::kMinimumSpeed, PointerSettings::kMaximumSpeed);
}

} // namespace

PointerSettings PointerSettings::load(const platform::UserDefaults& defaults)
{
    PointerSettings settings;
    settings.pointerSpeed = speedSetting(defaults, settingsKey::kPointerSpeed);
    settings.acceleration = defaults.boolForKey(settingsKey::kPointerAcceleration);
    settings.scrollSpeed = speedSetting(defaults, settingsKey::kScrollSpeed);
    settings.naturalScrolling = defaults.boolForKey(settingsKey::kNaturalScrolling);
    return settings;
}

PointerSettings PointerSettings::current()
{
    return load(platform::UserDefaults::standardUserDefaults());
}
