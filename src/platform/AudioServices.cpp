// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AudioServices.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>

#include <map>

namespace platform {

namespace {

QString localPathOf(const QUrl& url)
{
    if (url.scheme() == QLatin1String("qrc"))
        return QLatin1Char(':') + url.path();
    if (url.isLocalFile())
        return url.toLocalFile();
    return QString();
}

// QSoundEffect loads the sound once and plays it on Qt's audio thread, so a
// play returns at once and a sound may start again while it still sounds.
class SoundEffectBackend : public AudioBackend {
public:
    SystemSoundID createSystemSound(const QUrl& fileUrl) override
    {
        const QString path = localPathOf(fileUrl);
        if (path.isEmpty() || !QFileInfo(path).isFile())
            return 0;
        const SystemSoundID id = nextId_++;
        std::unique_ptr<QSoundEffect> effect;
        // Without an audio output the id is valid but silent.
        if (!QMediaDevices::defaultAudioOutput().isNull()) {
            effect = std::make_unique<QSoundEffect>();
            effect->setSource(fileUrl);
        }
        sounds_.emplace(id, std::move(effect));
        return id;
    }

    void playSystemSound(SystemSoundID id) override
    {
        auto it = sounds_.find(id);
        if (it != sounds_.end() && it->second)
            it->second->play();
    }

    void disposeSystemSound(SystemSoundID id) override
    {
        sounds_.erase(id);
    }

private:
    std::map<SystemSoundID, std::unique_ptr<QSoundEffect>> sounds_;
    SystemSoundID nextId_ = 1;
};

std::shared_ptr<AudioBackend>& installedBackend()
{
    static std::shared_ptr<AudioBackend> backend;
    return backend;
}

} // namespace

std::shared_ptr<AudioBackend> makeSoundEffectBackend()
{
    return std::make_shared<SoundEffectBackend>();
}

void AudioServices::setBackend(std::shared_ptr<AudioBackend> backend)
{
    installedBackend() = std::move(backend);
}

AudioBackend& AudioServices::backend()
{
    auto& backend = installedBackend();
    if (!backend)
        backend = makeSoundEffectBackend();
    return *backend;
}

int AudioServices::createSystemSoundID(const QUrl& fileUrl, SystemSoundID* outSoundID)
{
    if (!outSoundID)
        return BadSoundID;
    const SystemSoundID id = fileUrl.isEmpty() ? 0 : backend().createSystemSound(fileUrl);
    if (id == 0)
        return BadFile; // the caller's id is left as it was
    *outSoundID = id;
    return NoError;
}

void AudioServices::playSystemSound(SystemSoundID soundID)
{
    if (soundID != 0)
        backend().playSystemSound(soundID);
}

int AudioServices::disposeSystemSoundID(SystemSoundID soundID)
{
    if (soundID == 0)
        return BadSoundID;
    backend().disposeSystemSound(soundID);
    return NoError;
}

} // namespace platform
