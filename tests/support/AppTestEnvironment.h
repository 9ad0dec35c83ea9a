// SPDX-License-Identifier: GPL-3.0-or-later
// What the app's screen tests share: virtual time on the main run loop, a
// private settings file with the sound switch on, recorded sounds, a clean
// alert record, animations that land at once and a fresh tap history.
#pragma once

#include "WindowScale.h"

#include "support/platform/ManualClock.h"
#include "support/platform/RecordingAudioBackend.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class AppTestEnvironment {
public:
    explicit AppTestEnvironment(bool soundEffectsOn = true);
    ~AppTestEnvironment();
    AppTestEnvironment(const AppTestEnvironment&) = delete;
    AppTestEnvironment& operator=(const AppTestEnvironment&) = delete;

    void advance(double seconds) { clock.advance(seconds); }
    // Names of the sounds played since the last call ("keypress", ...).
    QStringList takeSounds();
    QString settingsFile() const;

    platform::ScopedManualClock clock;
    std::shared_ptr<platform::RecordingAudioBackend> sounds = std::make_shared<platform::RecordingAudioBackend>();

private:
    QTemporaryDir dir_;
    QByteArray savedSettings_;
    bool hadSettings_ = false;
};

// Where and at what scale the program shows the phone's screen on the
// primary screen, as it chooses at start (for suites that run on a
// phone-sized offscreen screen).
WindowScale::Placement placementOnThePrimaryScreen();
