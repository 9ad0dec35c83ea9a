// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FirstFrameReport.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

namespace platform::FirstFrameReport {

namespace {

class Watcher : public QObject {
public:
    Watcher(QWidget* window, int fd) : QObject(window), fd_(fd) { window->installEventFilter(this); }
    ~Watcher() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && fd_ >= 0) {
            watched->removeEventFilter(this);
            // The backing store is flushed to the window system right after
            // the paint events of this round: report once that is done.
            QTimer::singleShot(0, this, [this] { report(); });
        }
        return false;
    }

private:
    void report()
    {
        static constexpr char kLine[] = "first frame\n";
        [[maybe_unused]] const ssize_t written = ::write(fd_, kLine, sizeof kLine - 1);
        ::close(fd_);
        fd_ = -1;
        deleteLater();
    }

    int fd_;
};

} // namespace

void watch(QWidget* window)
{
    bool ok = false;
    const int fd = qEnvironmentVariableIntValue(kVariable, &ok);
    if (!window || !ok || fd < 0)
        return;
    qunsetenv(kVariable); // not for programs this one may start
    new Watcher(window, fd);
}

} // namespace platform::FirstFrameReport
