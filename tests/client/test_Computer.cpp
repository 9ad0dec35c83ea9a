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
