// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundServer.h"

#include "platform/AudioServices.h"
#include "platform/Bundle.h"
#include "support/platform/RecordingAudioBackend.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using platform::AudioServices;
using platform::RecordingAudioBackend;
using platform::UserDefaults;

namespace {

class SoundServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        savedSettings = qgetenv("QUILLON_SETTINGS");
        qputenv("QUILLON_SETTINGS", dir.filePath("settings.json").toLocal8Bit());
        UserDefaults::resetStandardUserDefaults();
        AudioServices::setBackend(recorder);
    }

    void TearDown() override
    {
        uninitlizie_sound_server();
        AudioServices::setBackend(nullptr);
        UserDefaults::resetStandardUserDefaults();
        if (savedSettings.isNull())
            qunsetenv("QUILLON_SETTINGS");
        else
            qputenv("QUILLON_SETTINGS", savedSettings);
    }

    void setSwitch(bool on) { UserDefaults::standardUserDefaults().setBool(on, "enabled_soundeffect"); }

    void pressEverything()
    {
        play_keypress();
        play_keyrelease();
        play_mouse_buttonpress();
        play_mouse_buttonrelease();
        play_click();
    }

    QTemporaryDir dir;
    QByteArray savedSettings;
    std::shared_ptr<RecordingAudioBackend> recorder = std::make_shared<RecordingAudioBackend>();
};

} // namespace

TEST_F(SoundServerTest, WithTheSettingAbsentNoPressMakesASoundAndTheAudioSystemIsNotTouched)
{
    EXPECT_EQ(initialize_sound_server(), 0);
    EXPECT_TRUE(recorder->created().isEmpty());
    pressEverything();
    EXPECT_TRUE(recorder->played().isEmpty());
}

TEST_F(SoundServerTest, WithTheSettingOnTheThreeSoundsAreMadeAtStartUp)
{
    setSwitch(true);
    EXPECT_EQ(initialize_sound_server(), 0);
    EXPECT_EQ(recorder->created(), (QStringList{"click", "keypress", "keyrelease"}));
}

TEST_F(SoundServerTest, WithTheSettingOnKeysAndMouseButtonsShareTheirSounds)
{
    setSwitch(true);
    EXPECT_EQ(initialize_sound_server(), 0);
    pressEverything();
    EXPECT_EQ(recorder->played(), (QStringList{"keypress", "keyrelease", "keypress", "keyrelease", "click"}));

    // Rapid presses each play; overlapping is fine.
    recorder->clearPlayed();
    for (int i = 0; i < 5; ++i)
        play_keypress();
    EXPECT_EQ(recorder->played().size(), 5);
}

TEST_F(SoundServerTest, TheSwitchIsReadOnceAtStartUp)
{
    setSwitch(true);
    initialize_sound_server();
    setSwitch(false);
    play_click();
    EXPECT_EQ(recorder->played(), QStringList{"click"});

    initialize_sound_server(); // the next start
    play_click();
    EXPECT_EQ(recorder->played(), QStringList{"click"});
    setSwitch(true);
    play_click();
    EXPECT_EQ(recorder->played(), QStringList{"click"});
}

TEST_F(SoundServerTest, ASoundThatCannotBeMadeStaysSilentAndIsNotDisposed)
{
    recorder->refuse("keypress");
    setSwitch(true);
    EXPECT_EQ(initialize_sound_server(), 0);
    pressEverything();
    EXPECT_EQ(recorder->played(), (QStringList{"keyrelease", "keyrelease", "click"}));

    uninitlizie_sound_server();
    EXPECT_EQ(recorder->disposed(), (QStringList{"click", "keyrelease"}));
}

TEST_F(SoundServerTest, AfterUninitialisingNothingPlaysAgain)
{
    setSwitch(true);
    initialize_sound_server();
    uninitlizie_sound_server();
    EXPECT_EQ(recorder->disposed(), (QStringList{"click", "keypress", "keyrelease"}));
    EXPECT_EQ(recorder->liveSoundCount(), 0u);
    pressEverything();
    EXPECT_TRUE(recorder->played().isEmpty());
}

TEST_F(SoundServerTest, StartingTwiceLeavesOnlyOneSetOfSounds)
{
    setSwitch(true);
    initialize_sound_server();
    initialize_sound_server();
    EXPECT_EQ(recorder->liveSoundCount(), 3u);

    setSwitch(false); // a start with sounds off keeps none
    initialize_sound_server();
    EXPECT_EQ(recorder->liveSoundCount(), 0u);
}

// The sounds shipped in the resources: short 16-bit PCM WAV files that the
// real QSoundEffect backend accepts (silently, with no audio device here).
TEST(SoundResources, EachSoundIsAShort16BitPcmWaveInTheBundle)
{
    for (const char* name : {"click", "keypress", "keyrelease"}) {
        SCOPED_TRACE(name);
        const QString path = platform::Bundle::mainBundle().pathForResource(name, "wav");
        ASSERT_EQ(path, QString(":/%1.wav").arg(name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray wav = file.readAll();
        ASSERT_GE(wav.size(), 44);
        EXPECT_EQ(wav.left(4), "RIFF");
        EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
        EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 20), 1u);  // PCM
        EXPECT_EQ(qFromLittleEndian<quint16>(wav.constData() + 34), 16u); // bits per sample
        EXPECT_GT(wav.size(), 1000);
        EXPECT_LT(wav.size(), 16000);

        platform::SystemSoundID id = 0;
        EXPECT_EQ(AudioServices::createSystemSoundID(platform::Bundle::fileURLWithPath(path), &id), AudioServices::NoError);
        AudioServices::playSystemSound(id);
        AudioServices::disposeSystemSoundID(id);
    }
}
