// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/platform/RecordingAudioBackend.h"

#include <QFileInfo>

namespace platform {

SystemSoundID RecordingAudioBackend::createSystemSound(const QUrl& fileUrl)
{
    const QString name = QFileInfo(fileUrl.path()).completeBaseName();
    if (name.isEmpty() || refused_.count(name))
        return 0;
    const SystemSoundID id = nextId_++;
    live_.emplace(id, name);
    created_.append(name);
    return id;
}

void RecordingAudioBackend::playSystemSound(SystemSoundID id)
{
    auto it = live_.find(id);
    if (it != live_.end())
        played_.append(it->second);
}

void RecordingAudioBackend::disposeSystemSound(SystemSoundID id)
{
    auto it = live_.find(id);
    if (it == live_.end())
        return;
    disposed_.append(it->second);
    live_.erase(it);
}

} // namespace platform
