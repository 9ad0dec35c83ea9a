// SPDX-License-Identifier: GPL-3.0-or-later
// System sounds: short sounds made once from a file and played without
// waiting, through a backend the tests replace.
#pragma once

#include <QUrl>

#include <cstdint>
#include <memory>

namespace platform {

using SystemSoundID = std::uint32_t;

// What plays the system sounds. The app uses QSoundEffect; tests install a
// recording double (RecordingAudioBackend).
class AudioBackend {
public:
    virtual ~AudioBackend() = default;
    // A new non-zero id, or 0 when the file cannot be used.
    virtual SystemSoundID createSystemSound(const QUrl& fileUrl) = 0;
    // Starts the sound and returns at once; unknown ids are ignored.
    virtual void playSystemSound(SystemSoundID id) = 0;
    virtual void disposeSystemSound(SystemSoundID id) = 0;
};

// The system-sound service: short sounds made once from a file (a local file
// or a qrc: URL), played without blocking, silent where there is no audio
// output device.
class AudioServices {
public:
    enum Status : int { NoError = 0, BadFile = -1, BadSoundID = -2 };

    static int createSystemSoundID(const QUrl& fileUrl, SystemSoundID* outSoundID);
    static void playSystemSound(SystemSoundID soundID);
    static int disposeSystemSoundID(SystemSoundID soundID);

    // nullptr goes back to the QSoundEffect backend.
    static void setBackend(std::shared_ptr<AudioBackend> backend);
    static AudioBackend& backend();
};

// The QSoundEffect backend.
std::shared_ptr<AudioBackend> makeSoundEffectBackend();

} // namespace platform
