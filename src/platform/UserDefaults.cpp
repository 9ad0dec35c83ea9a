// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtGlobal>

#include <cstdio>

namespace platform {

namespace {

std::unique_ptr<UserDefaults>& standardInstance()
{
    static std::unique_ptr<UserDefaults> instance;
    return instance;
}

void complain(const QString& message)
{
    std::fprintf(stderr, "quillon: %s\n", qPrintable(message));
}

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

} // namespace

UserDefaults& UserDefaults::standardUserDefaults()
{
    auto& instance = standardInstance();
    if (!instance)
        instance = std::make_unique<UserDefaults>(defaultFilePath());
    return *instance;
}

void UserDefaults::resetStandardUserDefaults()
{
    standardInstance().reset();
}

QString UserDefaults::defaultFilePath()
{
    const QString fromEnvironment = qEnvironmentVariable("QUILLON_SETTINGS");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/quillon/settings.json");
}

UserDefaults::UserDefaults(const QString& filePath) : filePath_(filePath)
{
    load();
}

void UserDefaults::load()
{
    QFile file(filePath_);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        // Never replace a file we could not even read.
        writable_ = false;
        complain(QStringLiteral("cannot read the settings file %1 (%2); starting with empty settings, which will not be saved")
                     .arg(filePath_, file.errorString()));
        return;
    }
    const QByteArray contents = file.readAll();
    file.close();

    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(contents, &error);
    if (error.error != QJsonParseError::NoError) {
        moveCorruptFileAside(error.errorString());
        return;
    }
    if (!document.isObject()) {
        moveCorruptFileAside(QStringLiteral("it does not hold a JSON object"));
        return;
    }
    values_ = document.object().toVariantMap();
}

void UserDefaults::moveCorruptFileAside(const QString& reason)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = QStringLiteral("%1.corrupt-%2").arg(filePath_, stamp);
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = QStringLiteral("%1.corrupt-%2-%3").arg(filePath_, stamp).arg(n);

    if (QFile::rename(filePath_, aside)) {
        complain(QStringLiteral("the settings file %1 cannot be read (%2); it was moved to %3 and the app starts with empty settings")
                     .arg(filePath_, reason, aside));
    } else {
        writable_ = false;
        complain(QStringLiteral("the settings file %1 cannot be read (%2) nor moved aside; starting with empty settings, which will not be saved")
                     .arg(filePath_, reason));
    }
}

QVariant UserDefaults::objectForKey(const QString& key) const
{
    return values_.value(key);
}

QVariantList UserDefaults::arrayForKey(const QString& key) const
{
    const QVariant value = values_.value(key);
    const bool isArray = value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
    return isArray ? value.toList() : QVariantList();
}

QVariantMap UserDefaults::dictionaryForKey(const QString& key) const
{
    const QVariant value = values_.value(key);
    const bool isDictionary = value.typeId() == QMetaType::QVariantMap || value.typeId() == QMetaType::QVariantHash;
    return isDictionary ? value.toMap() : QVariantMap();
}

QString UserDefaults::stringForKey(const QString& key) const
{
    const QVariant value = values_.value(key);
    if (value.typeId() == QMetaType::QString || isNumber(value))
        return value.toString();
    return QString();
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const QVariant value = values_.value(key);
    if (value.typeId() == QMetaType::Bool || isNumber(value))
        return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        // A hand-edited file may say "YES" or "true".
        const QString text = value.toString().trimmed().toLower();
        return text == QLatin1String("yes") || text == QLatin1String("true") || text.toInt() != 0;
    }
    return false;
}

void UserDefaults::setObject(const QVariant& value, const QString& key)
{
    if (!value.isValid()) {
        removeObjectForKey(key);
        return;
    }
    values_.insert(key, value);
    synchronize();
}

void UserDefaults::removeObjectForKey(const QString& key)
{
    if (values_.remove(key) > 0)
        synchronize();
}

bool UserDefaults::synchronize()
{
    if (!writable_) {
        complain(QStringLiteral("settings not saved: %1 was left as it is").arg(filePath_));
        return false;
    }
    const QFileInfo info(filePath_);
    if (!QDir().mkpath(info.absolutePath())) {
        complain(QStringLiteral("cannot create the settings folder %1").arg(info.absolutePath()));
        return false;
    }

    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly)) {
        complain(QStringLiteral("cannot write the settings file %1 (%2)").arg(filePath_, file.errorString()));
        return false;
    }
    // Owner only, before a byte is written: the file holds passcodes.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(QJsonObject::fromVariantMap(values_)).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        complain(QStringLiteral("cannot write the settings file %1 (%2)").arg(filePath_, file.errorString()));
        return false;
    }
    return true;
}

} // namespace platform
