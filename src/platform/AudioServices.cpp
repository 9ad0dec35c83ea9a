// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AudioServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QtDebug>

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

using NewSoundEffect = QObject* (*)(const QUrl& source);

// The sound effects' module: in QUILLON_SOUND_MODULE_DIR when set (a program
// that holds the app without being it, such as a test), beside the program
// in the build tree, in the library folder of its prefix once installed.
// Opened once; when it cannot be found or opened, every sound stays silent
// and one warning says why.
NewSoundEffect soundEffectMaker()
{
    static const NewSoundEffect maker = [] {
        const QString binDir = QCoreApplication::applicationDirPath();
        QString why = QStringLiteral("not found");
        for (const QString& dir : {qEnvironmentVariable("QUILLON_SOUND_MODULE_DIR"), binDir,
                                   QDir(binDir).filePath(QLatin1String(QUILLON_SOUND_MODULE_FROM_BINDIR))}) {
            if (dir.isEmpty())
                continue;
            const QString path = QDir(dir).filePath(QLatin1String(QUILLON_SOUND_MODULE));
            if (!QFileInfo::exists(path))
                continue;
            QLibrary module(path); // never unloaded: the sounds run its code
            if (auto maker = reinterpret_cast<NewSoundEffect>(module.resolve("quillon_new_sound_effect")))
                return maker;
            why = module.errorString();
        }
        qWarning("Sounds are off: the sound effects module %s: %s", QUILLON_SOUND_MODULE, qPrintable(why));
        return NewSoundEffect(nullptr);
    }();
    return maker;
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
        // Without an audio output (or the module) the id is valid but silent.
        const NewSoundEffect newSoundEffect = soundEffectMaker();
        sounds_.emplace(id, std::unique_ptr<QObject>(newSoundEffect ? newSoundEffect(fileUrl) : nullptr));
        return id;
    }

    void playSystemSound(SystemSoundID id) override
    {
        auto it = sounds_.find(id);
        if (it != sounds_.end() && it->second)
            QMetaObject::invokeMethod(it->second.get(), "play");
    }

    void disposeSystemSound(SystemSoundID id) override
    {
        sounds_.erase(id);
    }

private:
    std::map<SystemSoundID, std::unique_ptr<QObject>> sounds_; // QSoundEffects
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
