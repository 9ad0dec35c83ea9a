// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/AppTestEnvironment.h"

#include "SettingsKeys.h"
#include "SoundServer.h"

#include "platform/Alert.h"
#include "platform/AudioServices.h"
#include "platform/TouchTracker.h"
#include "platform/UserDefaults.h"
#include "platform/ViewAnimation.h"

#include <QGuiApplication>
#include <QScreen>

using namespace platform;

AppTestEnvironment::AppTestEnvironment(bool soundEffectsOn)
{
    hadSettings_ = qEnvironmentVariableIsSet("QUILLON_SETTINGS");
    savedSettings_ = qgetenv("QUILLON_SETTINGS");
    qputenv("QUILLON_SETTINGS", settingsFile().toLocal8Bit());
    UserDefaults::resetStandardUserDefaults();
    UserDefaults::standardUserDefaults().setBool(soundEffectsOn, settingsKey::kSoundEffects);
    AudioServices::setBackend(sounds);
    initialize_sound_server();
    Alert::dismissAll();
    Alert::clearHistory();
    ViewAnimation::setAnimationsEnabled(false);
    TouchTracker::instance().forgetTaps();
}

AppTestEnvironment::~AppTestEnvironment()
{
    uninitlizie_sound_server();
    AudioServices::setBackend(nullptr);
    Alert::dismissAll();
    Alert::clearHistory();
    ViewAnimation::setAnimationsEnabled(true);
    TouchTracker::instance().forgetTaps();
    if (hadSettings_)
        qputenv("QUILLON_SETTINGS", savedSettings_);
    else
        qunsetenv("QUILLON_SETTINGS");
    UserDefaults::resetStandardUserDefaults();
}

QString AppTestEnvironment::settingsFile() const
{
    return dir_.filePath(QStringLiteral("settings.json"));
}

QStringList AppTestEnvironment::takeSounds()
{
    QStringList played = sounds->played();
    sounds->clearPlayed();
    return played;
}

WindowScale::Placement placementOnThePrimaryScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return WindowScale::choosePlacement(std::nullopt, false, WindowScale::factsOf(*screen),
                                        [](const char*) { return QByteArray(); });
}
