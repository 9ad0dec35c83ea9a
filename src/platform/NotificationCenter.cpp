// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NotificationCenter.h"

#include <QObject>

#include <algorithm>
#include <cmath>

namespace platform {

Notification::Notification(QString name, std::any object)
    : name_(std::move(name)), object_(std::move(object))
{
}

namespace {
template <typename T>
bool readInteger(const std::any& object, long long* out)
{
    if (const T* value = std::any_cast<T>(&object)) {
        if constexpr (std::is_floating_point_v<T>) {
            if (!std::isfinite(*value))
                return false;
        }
        *out = static_cast<long long>(*value);
        return true;
    }
    return false;
}
} // namespace

std::optional<long long> Notification::integerObject() const
{
    long long value = 0;
    if (readInteger<int>(object_, &value) || readInteger<long>(object_, &value)
        || readInteger<long long>(object_, &value) || readInteger<unsigned>(object_, &value)
        || readInteger<unsigned long>(object_, &value) || readInteger<unsigned long long>(object_, &value)
        || readInteger<short>(object_, &value) || readInteger<double>(object_, &value)
        || readInteger<float>(object_, &value) || readInteger<bool>(object_, &value))
        return value;
    return std::nullopt;
}

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::~NotificationCenter()
{
    for (const auto& watch : destroyWatches_)
        QObject::disconnect(watch.second);
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(QObject* observer, const QString& name, Handler handler)
{
    const void* key = observer;
    if (observer && destroyWatches_.find(key) == destroyWatches_.end()) {
        destroyWatches_.emplace(key, QObject::connect(observer, &QObject::destroyed, [this, key] {
            destroyWatches_.erase(key);
            removeObserver(key);
        }));
    }
    return addObserver(key, name, std::move(handler));
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(const void* observer, const QString& name, Handler handler)
{
    auto registration = std::make_shared<Registration>();
    registration->token = nextToken_++;
    registration->observer = observer;
    registration->name = name;
    registration->handler = std::move(handler);
    registrations_.push_back(registration);
    return registration->token;
}

void NotificationCenter::removeIf(const std::function<bool(const Registration&)>& matches)
{
    // Marking as well as erasing lets a delivery in progress skip the
    // registration it still holds in its snapshot.
    auto first = std::stable_partition(registrations_.begin(), registrations_.end(),
        [&](const std::shared_ptr<Registration>& r) { return !matches(*r); });
    for (auto it = first; it != registrations_.end(); ++it)
        (*it)->removed = true;
    registrations_.erase(first, registrations_.end());
}

void NotificationCenter::removeObserver(ObserverToken token)
{
    removeIf([token](const Registration& r) { return r.token == token; });
}

void NotificationCenter::removeObserver(const void* observer)
{
    removeIf([observer](const Registration& r) { return r.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const QString& name)
{
    removeIf([&](const Registration& r) { return r.observer == observer && r.name == name; });
}

void NotificationCenter::postNotification(const QString& name, std::any object)
{
    postNotification(Notification(name, std::move(object)));
}

void NotificationCenter::postNotification(const Notification& notification)
{
    // A snapshot, so that handlers may add or remove observers (themselves
    // included) or post again while this delivery goes on.
    const auto snapshot = registrations_;
    for (const auto& registration : snapshot) {
        if (registration->removed)
            continue;
        if (!registration->name.isEmpty() && registration->name != notification.name())
            continue;
        registration->handler(notification);
    }
}

} // namespace platform
