// SPDX-License-Identifier: GPL-3.0-or-later
#include "Computer.h"

#include "platform/UserDefaults.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(Computer, AComputerEnteredByHandIsStoredWithExactlyItsFourKeys)
{
    auto computer = Computer::initWithInfo("Study PC", "Unknown");
    computer->setIp(QString("192.168.1.20"));
    computer->setPort(25736);

    const QVariantMap stored = computer->encodeWithDictionary();
    EXPECT_EQ(stored.keys(), (QStringList{"ComputerName", "Ip", "Os", "Port"}));
    EXPECT_EQ(stored.value("ComputerName"), QVariant(QString("Study PC")));
    EXPECT_EQ(stored.value("Os"), QVariant(QString("Unknown")));
    EXPECT_EQ(stored.value("Ip"), QVariant(QString("192.168.1.20")));
    EXPECT_EQ(stored.value("Port").typeId(), QMetaType::Int); // a number, not a text
    EXPECT_EQ(stored.value("Port").toInt(), 25736);
}

TEST(Computer, InitWithInfoStartsUndiscoveredWithAnEmptyAddressAndTheDefaultPort)
{
    auto computer = Computer::initWithInfo("desk", "Linux");
    EXPECT_EQ(computer->computerName(), QString("desk"));
    EXPECT_EQ(computer->os(), QString("Linux"));
    ASSERT_TRUE(computer->ip().has_value());
    EXPECT_TRUE(computer->ip()->isEmpty());
    EXPECT_EQ(computer->port(), 25736);
    EXPECT_EQ(computer->discoverd(), false);
}

TEST(Computer, TheStoredFormSurvivesTheSettingsFileAndComesBackUndiscovered)
{
    QTemporaryDir dir;
    auto found = Computer::initWithInfo("media box", "Windows");
    found->setIp(QString("10.0.0.7"));
    found->setPort(4000);
    found->setDiscoverd(true);
    {
        platform::UserDefaults defaults(dir.filePath("settings.json"));
        defaults.setObject(QVariantList{found->encodeWithDictionary()}, "RegisteredComputers");
    }
    const QVariantList stored = platform::UserDefaults(dir.filePath("settings.json")).arrayForKey("RegisteredComputers");
    ASSERT_EQ(stored.size(), 1);
    EXPECT_FALSE(stored.first().toMap().contains("discoverd"));

    auto loaded = Computer::initWithDictionary(stored.first().toMap());
    EXPECT_EQ(loaded->computerName(), QString("media box"));
    EXPECT_EQ(loaded->os(), QString("Windows"));
    EXPECT_EQ(loaded->ip(), QString("10.0.0.7"));
    EXPECT_EQ(loaded->port(), 4000);
    EXPECT_EQ(loaded->discoverd(), false);
    EXPECT_EQ(loaded->encodeWithDictionary(), found->encodeWithDictionary());
}

TEST(Computer, AMissingKeyLeavesItsPropertyAbsentAndTheRestIsStillStored)
{
    const QVariantMap withoutOs{{"ComputerName", "old"}, {"Ip", "192.168.0.9"}, {"Port", 25736}};
    auto computer = Computer::initWithDictionary(withoutOs);
    EXPECT_FALSE(computer->os().has_value());
    EXPECT_EQ(computer->computerName(), QString("old"));
    EXPECT_EQ(computer->ip(), QString("192.168.0.9"));
    EXPECT_EQ(computer->port(), 25736);
    EXPECT_EQ(computer->discoverd(), false);
    // An absent name or OS must not cost the address and port their place.
    EXPECT_EQ(computer->encodeWithDictionary(), withoutOs);

    auto empty = Computer::initWithDictionary({});
    EXPECT_FALSE(empty->computerName() || empty->ip() || empty->port() || empty->os());
    EXPECT_TRUE(empty->encodeWithDictionary().isEmpty());
}

TEST(Computer, HandEditedValuesOfTheWrongKindAreReadSensiblyOrLeftAbsent)
{
    auto numbers = Computer::initWithDictionary({{"ComputerName", 42}, {"Port", "25736"}, {"Ip", QVariantList{}}});
    EXPECT_EQ(numbers->computerName(), QString("42"));
    EXPECT_EQ(numbers->port(), 25736);
    EXPECT_FALSE(numbers->ip().has_value());

    EXPECT_EQ(Computer::initWithDictionary({{"Port", 25736.0}})->port(), 25736); // JSON may give a double
    EXPECT_FALSE(Computer::initWithDictionary({{"Port", "twenty"}})->port().has_value());
    EXPECT_FALSE(Computer::initWithDictionary({{"Port", true}})->port().has_value());
}

// Names reach the list from forged discovery replies and hand-edited
// settings: what could disguise one name as another, or reorder the text
// around it, is taken out, and a name is cut at 64 characters.
TEST(Computer, NamesAreCleanedOfWhatCouldDisguiseThemAndCutAtSixtyFourCharacters)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x96\xA5"); // U+1F5A5, two UTF-16 units
    const struct {
        QString raw;
        QString shown;
    } cases[] = {
        {"Study PC", "Study PC"},
        {QString::fromUtf8("Γραφείο 中文"), QString::fromUtf8("Γραφείο 中文")},
        {QString("a\tb\nc") + QChar(0x7F) + QChar(0x85) + QChar(0x1B) + "[31m", "abc[31m"},
        {QString("Desk") + QChar(0x202E) + "cod.exe" + QChar(0x202C), "Deskcod.exe"},
        {QString(QChar(0x2066)) + "x" + QChar(0x2067) + QChar(0x2068) + QChar(0x2069) + QChar(0x202A)
             + QChar(0x202B) + QChar(0x202D) + "y",
         "xy"},
        {QString("zero") + QChar(0x200B) + QChar(0x200C) + QChar(0x200D) + QChar(0x200E) + QChar(0x200F)
             + QChar(0x2060) + QChar(0xFEFF) + "width",
         "zerowidth"},
        {QString("line") + QChar(0x2028) + "para" + QChar(0x2029), "linepara"},
        {QString("half") + QChar(0xD83D) + "pair", "halfpair"},
        {QString(3000, 'n'), QString(64, 'n')},
        {QString(63, 'e') + emoji + "tail", QString(63, 'e') + emoji},
        {QString(70, QChar(0x200B)), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Computer::initWithInfo(c.raw, "Linux")->computerName(), c.shown) << c.raw.toStdString();
        EXPECT_EQ(Computer::initWithDictionary({{"ComputerName", c.raw}})->computerName(), c.shown);
    }
}
