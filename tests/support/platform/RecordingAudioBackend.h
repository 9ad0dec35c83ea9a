// SPDX-License-Identifier: GPL-3.0-or-later
// Test double: the platform's audio backend, playing nothing and recording
// what was created, played and disposed of.
#pragma once

#include "platform/AudioServices.h"

#include <QString>
#include <QStringList>

#include <map>
#include <set>
#include <vector>

namespace platform {

// An AudioBackend for tests: makes ids without touching audio and records
// what is played. A sound is named by its file's base name ("keypress").
class RecordingAudioBackend : public AudioBackend {
public:
    SystemSoundID createSystemSound(const QUrl& fileUrl) override;
    void playSystemSound(SystemSoundID id) override;
    void disposeSystemSound(SystemSoundID id) override;

    // Creation of a sound with this base name fails from now on.
    void refuse(const QString& baseName) { refused_.insert(baseName); }

    // Names of the sounds played with a live id, in order.
    const QStringList& played() const { return played_; }
    void clearPlayed() { played_.clear(); }
    // Names of the sounds created and disposed of, in order.
    const QStringList& created() const { return created_; }
    const QStringList& disposed() const { return disposed_; }
    std::size_t liveSoundCount() const { return live_.size(); }

private:
    std::map<SystemSoundID, QString> live_;
    std::set<QString> refused_;
    QStringList played_;
    QStringList created_;
    QStringList disposed_;
    SystemSoundID nextId_ = 1;
};

} // namespace platform
