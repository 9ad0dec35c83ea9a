// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AudioServices.h"
#include "support/platform/RecordingAudioBackend.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::AudioServices;
using platform::RecordingAudioBackend;
using platform::SystemSoundID;

namespace {

// A tiny valid WAV file: 16-bit mono PCM, 100 silent frames.
QByteArray silentWav()
{
    QByteArray data;
    auto put32 = [&](quint32 v) { for (int i = 0; i < 4; ++i) data.append(char((v >> (8 * i)) & 0xFF)); };
    auto put16 = [&](quint16 v) { data.append(char(v & 0xFF)); data.append(char(v >> 8)); };
    const quint32 samples = 100 * 2;
    data.append("RIFF"); put32(36 + samples); data.append("WAVE");
    data.append("fmt "); put32(16); put16(1); put16(1); put32(8000); put32(16000); put16(2); put16(16);
    data.append("data"); put32(samples); data.append(QByteArray(samples, '\0'));
    return data;
}

class AudioServicesTest : public testing::Test {
protected:
    void TearDown() override { AudioServices::setBackend(nullptr); }
};

} // namespace

TEST_F(AudioServicesTest, CallsReachTheInstalledBackendAndIdZeroIsIgnored)
{
    auto recorder = std::make_shared<RecordingAudioBackend>();
    AudioServices::setBackend(recorder);

    SystemSoundID press = 0;
    ASSERT_EQ(AudioServices::createSystemSoundID(QUrl("qrc:/keypress.wav"), &press), AudioServices::NoError);
    EXPECT_NE(press, 0u);
    AudioServices::playSystemSound(press);
    AudioServices::playSystemSound(press); // overlapping plays are each heard
    AudioServices::playSystemSound(0);
    EXPECT_EQ(recorder->played(), (QStringList{"keypress", "keypress"}));

    EXPECT_EQ(AudioServices::disposeSystemSoundID(press), AudioServices::NoError);
    EXPECT_EQ(AudioServices::disposeSystemSoundID(0), AudioServices::BadSoundID);
    AudioServices::playSystemSound(press);
    EXPECT_EQ(recorder->played().size(), 2);
    EXPECT_EQ(recorder->disposed(), QStringList{"keypress"});
}

TEST_F(AudioServicesTest, AFailedCreationLeavesTheCallersIdAsItWas)
{
    auto recorder = std::make_shared<RecordingAudioBackend>();
    recorder->refuse("click");
    AudioServices::setBackend(recorder);

    SystemSoundID id = 0;
    EXPECT_EQ(AudioServices::createSystemSoundID(QUrl("qrc:/click.wav"), &id), AudioServices::BadFile);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(AudioServices::createSystemSoundID(QUrl(), &id), AudioServices::BadFile);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(AudioServices::createSystemSoundID(QUrl("qrc:/click.wav"), nullptr), AudioServices::BadSoundID);
}

QStringList warnings;
void keepWarning(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtWarningMsg)
        warnings << message;
}

// The sound effects come from a module the app opens when the first sound is
// made (here, the one the build made).
TEST_F(AudioServicesTest, TheSoundEffectBackendAcceptsARealFileAndStaysQuietWithoutADevice)
{
    const QtMessageHandler previous = qInstallMessageHandler(keepWarning);
    QTemporaryDir dir;
    const QString path = dir.filePath("tick.wav");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(silentWav());
    file.close();

    SystemSoundID id = 0;
    ASSERT_EQ(AudioServices::createSystemSoundID(QUrl::fromLocalFile(path), &id), AudioServices::NoError);
    EXPECT_NE(id, 0u);
    AudioServices::playSystemSound(id); // must return at once, device or not
    EXPECT_EQ(AudioServices::disposeSystemSoundID(id), AudioServices::NoError);

    SystemSoundID missing = 0;
    EXPECT_EQ(AudioServices::createSystemSoundID(QUrl::fromLocalFile(dir.filePath("none.wav")), &missing), AudioServices::BadFile);
    EXPECT_EQ(AudioServices::createSystemSoundID(QUrl("qrc:/no/such.wav"), &missing), AudioServices::BadFile);
    EXPECT_EQ(missing, 0u);
    qInstallMessageHandler(previous);
    EXPECT_FALSE(warnings.join('\n').contains("Sounds are off")) << warnings.join('\n').toStdString();
}
