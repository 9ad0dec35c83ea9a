// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionWatch.h"

#include "RemoteProtocol.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

namespace {

QPointer<QSocketNotifier>& notifier()
{
    static QPointer<QSocketNotifier> watching;
    return watching;
}

// Told by the session when one opens (its descriptor) and before it closes (-1).
void follow(int descriptor)
{
    if (QSocketNotifier* old = notifier().data()) {
        // Off before the descriptor closes; deleted once its signal has returned.
        old->setEnabled(false);
        old->deleteLater();
        notifier().clear();
    }
    if (descriptor < 0)
        return;
    auto* watching = new QSocketNotifier(descriptor, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(watching, &QSocketNotifier::activated, watching, [watching] {
        // Closed: the descriptor stays readable until the next send ends the
        // session, so the loop stops looking at it.
        if (remote_sessionReadable() != 0)
            watching->setEnabled(false);
    });
    notifier() = watching;
}

} // namespace

void SessionWatch::install()
{
    if (QCoreApplication::instance() != nullptr)
        remote_setSessionWatcher(&follow);
}

void SessionWatch::uninstall()
{
    remote_setSessionWatcher(nullptr);
}

int SessionWatch::watchedDescriptor()
{
    return notifier() && notifier()->isEnabled() ? int(notifier()->socket()) : -1;
}
