// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using platform::UserDefaults;

namespace {

class UserDefaultsTest : public testing::Test {
protected:
    QString path() const { return dir.filePath("profile/settings.json"); }

    QByteArray fileContents() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeFile(const QByteArray& contents)
    {
        QDir().mkpath(dir.filePath("profile"));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(UserDefaultsTest, EveryKindOfValueSurvivesARoundTripThroughTheFile)
{
    {
        UserDefaults defaults(path());
        defaults.setObject(QVariantList{QVariantMap{{"ComputerName", "desk"}, {"Port", 25736}}}, "RegisteredComputers");
        defaults.setObject(QVariantMap{{"desk", "s3cret"}}, "Passwords");
        defaults.setBool(true, "enabled_soundeffect");
        defaults.setObject(2.5, "ratio");
        defaults.setObject("text", "name");
    }
    // Written through at once: a new store on the same file sees it all.
    UserDefaults reread(path());
    const QVariantList computers = reread.arrayForKey("RegisteredComputers");
    ASSERT_EQ(computers.size(), 1);
    const QVariantMap desk = computers.first().toMap();
    EXPECT_EQ(desk.value("ComputerName").toString(), "desk");
    EXPECT_EQ(desk.value("Port").toInt(), 25736);
    EXPECT_EQ(reread.dictionaryForKey("Passwords").value("desk").toString(), "s3cret");
    EXPECT_TRUE(reread.boolForKey("enabled_soundeffect"));
    EXPECT_DOUBLE_EQ(reread.objectForKey("ratio").toDouble(), 2.5);
    EXPECT_EQ(reread.stringForKey("name"), "text");

    // Human-readable JSON, one key per line.
    const QJsonDocument document = QJsonDocument::fromJson(fileContents());
    ASSERT_TRUE(document.isObject());
    EXPECT_EQ(document.object().value("Passwords").toObject().value("desk").toString(), "s3cret");
    EXPECT_TRUE(fileContents().contains("\n    \"enabled_soundeffect\": true"));
}

TEST_F(UserDefaultsTest, AbsentAndMistypedKeysReadAsEmptyOrFalse)
{
    UserDefaults defaults(path());
    EXPECT_FALSE(defaults.objectForKey("RegisteredComputers").isValid());
    EXPECT_TRUE(defaults.arrayForKey("RegisteredComputers").isEmpty());
    EXPECT_TRUE(defaults.dictionaryForKey("Passwords").isEmpty());
    EXPECT_FALSE(defaults.boolForKey("enabled_soundeffect"));

    defaults.setObject("not a list", "RegisteredComputers");
    defaults.setObject(QVariantList{1, 2}, "Passwords");
    defaults.setObject(QVariantMap{}, "enabled_soundeffect");
    EXPECT_TRUE(defaults.arrayForKey("RegisteredComputers").isEmpty());
    EXPECT_TRUE(defaults.dictionaryForKey("Passwords").isEmpty());
    EXPECT_FALSE(defaults.boolForKey("enabled_soundeffect"));

    // Other list and dictionary types read as arrays and dictionaries at once, not only after a reload.
    defaults.setObject(QStringList{"a", "b"}, "list");
    EXPECT_EQ(defaults.arrayForKey("list"), (QVariantList{"a", "b"}));
    defaults.setObject(QVariantHash{{"desk", "pw"}}, "hash");
    EXPECT_EQ(defaults.dictionaryForKey("hash").value("desk").toString(), "pw");

    defaults.setObject(1, "enabled_soundeffect");
    EXPECT_TRUE(defaults.boolForKey("enabled_soundeffect"));
    defaults.setObject("YES", "enabled_soundeffect");
    EXPECT_TRUE(defaults.boolForKey("enabled_soundeffect"));
}

TEST_F(UserDefaultsTest, RemovingAKeyIsWrittenThrough)
{
    UserDefaults defaults(path());
    defaults.setObject(QVariantMap{{"desk", "pw"}}, "Passwords");
    defaults.setObject("kept", "other");
    defaults.removeObjectForKey("Passwords");
    UserDefaults reread(path());
    EXPECT_FALSE(reread.objectForKey("Passwords").isValid());
    EXPECT_EQ(reread.stringForKey("other"), "kept");
}

TEST_F(UserDefaultsTest, TheFileIsReplacedWholeAndReadableByTheOwnerOnly)
{
    writeFile("{\"old\": 1}");
    ::chmod(path().toLocal8Bit().constData(), 0644);

    UserDefaults defaults(path());
    EXPECT_EQ(defaults.objectForKey("old").toInt(), 1);
    defaults.setObject(QVariantMap{{"desk", "pw"}}, "Passwords");
    EXPECT_TRUE(defaults.synchronize());

    struct stat info {};
    ASSERT_EQ(::stat(path().toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // No temporary file left beside it: the write went through a rename.
    EXPECT_EQ(QDir(dir.filePath("profile")).entryList(QDir::Files), QStringList{"settings.json"});
}

TEST_F(UserDefaultsTest, AFailedWriteIsReportedNotPassedOffAsSaved)
{
    UserDefaults defaults(path());
    // A folder put where the file goes makes the next write fail.
    QDir().mkpath(path());
    testing::internal::CaptureStderr();
    defaults.setObject("x", "key");
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot write"), std::string::npos);
    EXPECT_EQ(defaults.stringForKey("key"), "x"); // still in memory for this run
}

TEST_F(UserDefaultsTest, AFileThatCannotBeReadIsNeverWrittenOver)
{
    QDir().mkpath(path()); // stands for any file the store cannot open
    testing::internal::CaptureStderr();
    UserDefaults defaults(path());
    defaults.setObject("x", "key");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("cannot read"), std::string::npos) << said;
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

TEST_F(UserDefaultsTest, AnUnparsableFileIsMovedAsideAndTheStoreStartsEmpty)
{
    writeFile("{\"Passwords\": {\"desk\": \"pw\"");  // cut short
    testing::internal::CaptureStderr();
    UserDefaults defaults(path());
    const std::string said = testing::internal::GetCapturedStderr();

    EXPECT_TRUE(defaults.dictionaryRepresentation().isEmpty());
    EXPECT_NE(said.find("moved to"), std::string::npos) << said;

    const QStringList aside = QDir(dir.filePath("profile")).entryList({"settings.json.corrupt-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(dir.filePath("profile/" + aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("{\"Passwords\": {\"desk\": \"pw\""));

    // The next change starts a fresh file and leaves the moved one alone.
    defaults.setObject("on", "x");
    EXPECT_EQ(UserDefaults(path()).stringForKey("x"), "on");
    EXPECT_EQ(QDir(dir.filePath("profile")).entryList({"settings.json.corrupt-*"}, QDir::Files).size(), 1);
}

TEST_F(UserDefaultsTest, AFileThatIsNotAnObjectIsMovedAsideToo)
{
    writeFile("[1, 2, 3]");
    testing::internal::CaptureStderr();
    UserDefaults defaults(path());
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(defaults.dictionaryRepresentation().isEmpty());
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(QDir(dir.filePath("profile")).entryList({"settings.json.corrupt-*"}, QDir::Files).size(), 1);
}

TEST_F(UserDefaultsTest, TheStandardStoreLivesWhereQuillonSettingsSays)
{
    const QByteArray saved = qgetenv("QUILLON_SETTINGS");
    qputenv("QUILLON_SETTINGS", path().toLocal8Bit());
    UserDefaults::resetStandardUserDefaults();

    UserDefaults& standard = UserDefaults::standardUserDefaults();
    EXPECT_EQ(&standard, &UserDefaults::standardUserDefaults());
    EXPECT_EQ(standard.filePath(), path());
    standard.setBool(true, "enabled_soundeffect");
    EXPECT_TRUE(UserDefaults(path()).boolForKey("enabled_soundeffect"));

    UserDefaults::resetStandardUserDefaults();
    if (saved.isNull())
        qunsetenv("QUILLON_SETTINGS");
    else
        qputenv("QUILLON_SETTINGS", saved);
    EXPECT_NE(UserDefaults::defaultFilePath(), path());
}
