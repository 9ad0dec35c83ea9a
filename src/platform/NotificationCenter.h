// SPDX-License-Identifier: GPL-3.0-or-later
// Named notifications between screens and models: a poster does not know
// who observes it.
#pragma once

#include <QMetaObject>
#include <QString>

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// One posted notification: a name and an optional object of any type
// (an integer tab index, a std::shared_ptr<Computer>, ...).
class Notification {
public:
    Notification(QString name, std::any object);

    const QString& name() const { return name_; }
    const std::any& object() const { return object_; }

    // The object as T, or nullptr when there is none or it is of another type.
    template <typename T>
    const T* objectAs() const { return std::any_cast<T>(&object_); }

    // The object read as an integer number, whichever integral or floating
    // type the poster used; empty when there is no number.
    std::optional<long long> integerObject() const;

private:
    QString name_;
    std::any object_;
};

// Delivers named notifications synchronously, on the posting thread, to the
// observers registered for that name, in the order they registered.
class NotificationCenter {
public:
    ~NotificationCenter();
    using Handler = std::function<void(const Notification&)>;
    using ObserverToken = std::uint64_t;

    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // Registers `handler` for notifications called `name` (an empty name
    // means every notification), on behalf of `observer`, whatever the sender.
    ObserverToken addObserver(const void* observer, const QString& name, Handler handler);
    // The same for a QObject (a view controller, a button): its registrations
    // go when it is destroyed, so none outlives the object it calls into.
    ObserverToken addObserver(QObject* observer, const QString& name, Handler handler);

    // Removal takes effect at once, also during a delivery: an observer
    // removed by an earlier handler of the same post is not called.
    void removeObserver(ObserverToken token);
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const QString& name);

    // Observers registered while a notification is delivered are first
    // called for the next post.
    void postNotification(const QString& name, std::any object = {});
    void postNotification(const Notification& notification);

    std::size_t observerCount() const { return registrations_.size(); }

private:
    struct Registration {
        ObserverToken token;
        const void* observer;
        QString name;
        Handler handler;
        bool removed = false;
    };

    void removeIf(const std::function<bool(const Registration&)>& matches);

    std::vector<std::shared_ptr<Registration>> registrations_;
    std::map<const void*, QMetaObject::Connection> destroyWatches_;
    ObserverToken nextToken_ = 1;
};

} // namespace platform
