// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundServer.h"

#include "SettingsKeys.h"

#include "platform/AudioServices.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

using platform::AudioServices;
using platform::SystemSoundID;

namespace {

SystemSoundID click = 0;
SystemSoundID keydown = 0;
SystemSoundID keyup = 0;
unsigned char enable_soundeffect = 1;
// Whether the ids above are still live (created and not yet disposed of).
bool soundsLive = false;

void createSound(const char* resourceName, SystemSoundID* soundID)
{
    // A second start-up must not leave the first set of sounds behind.
    if (soundsLive && *soundID != 0)
        AudioServices::disposeSystemSoundID(*soundID);
    *soundID = 0;
    const QString path = platform::Bundle::mainBundle().pathForResource(QString::fromLatin1(resourceName), QStringLiteral("wav"));
    // A missing or unusable file leaves the id 0: that sound stays silent.
    AudioServices::createSystemSoundID(platform::Bundle::fileURLWithPath(path), soundID);
}

void play(SystemSoundID soundID)
{
    // Disposed ids stay in the variables; they must not reach the service.
    if (enable_soundeffect && soundsLive)
        AudioServices::playSystemSound(soundID);
}

void dispose(SystemSoundID soundID)
{
    if (soundID != 0)
        AudioServices::disposeSystemSoundID(soundID);
}

} // namespace

int initialize_sound_server()
{
    // The switch is read once, here, so with sounds off nothing can ever
    // play: the audio system (a connection to the sound server) is then not
    // touched at all, and start-up stays light.
    enable_soundeffect = platform::UserDefaults::standardUserDefaults().boolForKey(settingsKey::kSoundEffects) ? 1 : 0;
    if (enable_soundeffect) {
        createSound("click", &click);
        createSound("keypress", &keydown);
        createSound("keyrelease", &keyup);
        soundsLive = true;
    } else {
        uninitlizie_sound_server(); // a second start-up lets the first set go
        click = keydown = keyup = 0;
    }
    return 0;
}

void play_keypress()
{
    play(keydown);
}

void play_keyrelease()
{
    play(keyup);
}

void play_mouse_buttonpress()
{
    play(keydown);
}

void play_mouse_buttonrelease()
{
    play(keyup);
}

void play_click()
{
    play(click);
}

void uninitlizie_sound_server()
{
    // The ids keep their values, but are never used again.
    if (!soundsLive)
        return;
    soundsLive = false;
    dispose(click);
    dispose(keydown);
    dispose(keyup);
}
