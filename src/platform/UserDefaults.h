// SPDX-License-Identifier: GPL-3.0-or-later
// The app's settings, kept in one JSON file.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

namespace platform {

// The application's persistent key-value store. Values are strings, numbers,
// booleans, QVariantList and QVariantMap. Every change is written through at
// once to one human-readable JSON file, replaced atomically and readable by
// the owner only (it holds passcodes).
//
// The standard store lives at $QUILLON_SETTINGS when that is set, otherwise
// at settings.json in the user's configuration directory (quillon/). A file
// that cannot be parsed is moved aside to <file>.corrupt-<timestamp>, never
// overwritten, and the store starts empty, saying so on standard error.
class UserDefaults {
public:
    static UserDefaults& standardUserDefaults();
    // Forgets the standard store, so that the next standardUserDefaults()
    // reads its location (and QUILLON_SETTINGS) afresh. For tests and profiles.
    static void resetStandardUserDefaults();
    static QString defaultFilePath();

    explicit UserDefaults(const QString& filePath);

    QVariant objectForKey(const QString& key) const;
    // Empty when the key is absent or holds something else.
    QVariantList arrayForKey(const QString& key) const;
    QVariantMap dictionaryForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    // An absent key, and anything that is not a boolean or a number, reads as false.
    bool boolForKey(const QString& key) const;

    void setObject(const QVariant& value, const QString& key);
    void setBool(bool value, const QString& key) { setObject(value, key); }
    void removeObjectForKey(const QString& key);

    // Writes the whole store to its file; false (and a message on standard
    // error) when it could not be written.
    bool synchronize();

    const QString& filePath() const { return filePath_; }
    QVariantMap dictionaryRepresentation() const { return values_; }

private:
    void load();
    void moveCorruptFileAside(const QString& reason);

    QString filePath_;
    QVariantMap values_;
    bool writable_ = true;
};

} // namespace platform
