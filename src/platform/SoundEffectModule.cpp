// SPDX-License-Identifier: GPL-3.0-or-later
// The one part of the app that needs Qt Multimedia, built as a module of its
// own: Qt Multimedia brings the sound server's client and a score of codec
// libraries, whose loading would cost every start-up a few milliseconds,
// while the sounds are off by default. AudioServices opens this module when
// the first sound is made.
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

// A sound effect of `source`, loaded once and played on Qt's audio thread
// by its play() slot; null when there is no audio output, where the sound
// stays silent.
extern "C" Q_DECL_EXPORT QObject* quillon_new_sound_effect(const QUrl& source)
{
    if (QMediaDevices::defaultAudioOutput().isNull())
        return nullptr;
    auto* effect = new QSoundEffect;
    effect->setSource(source);
    return effect;
}
