// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Alert.h"

#include "platform/AlertSheet.h"
#include "platform/Button.h"

#include <QApplication>
#include <QPointer>
#include <deque>

namespace platform {

namespace {
struct Pending {
    AlertRecord record;
    std::function<void()> dismissed;
};

struct AlertQueue {
    std::deque<Pending> queue;
    std::vector<AlertRecord> history;
    QPointer<QWidget> host;
    QPointer<AlertSheet> sheet;
};

AlertQueue& alerts()
{
    static AlertQueue instance;
    return instance;
}

QWidget* hostWindow()
{
    AlertQueue& q = alerts();
    if (q.host)
        return q.host;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->isWindow())
            return widget;
    return nullptr;
}

void presentFront()
{
    AlertQueue& q = alerts();
    if (q.sheet || q.queue.empty())
        return;
    QWidget* window = hostWindow();
    if (!window)
        return; // stays in front until a window can show it
    auto* sheet = new AlertSheet(q.queue.front().record, window);
    QObject::connect(sheet, &AlertSheet::buttonTapped, [] { Alert::dismissCurrent(); });
    sheet->show();
    sheet->raise();
    q.sheet = sheet;
}
} // namespace

void Alert::show(const QString& title, const QString& message, const QString& buttonTitle, std::function<void()> dismissed)
{
    AlertQueue& q = alerts();
    AlertRecord record{title, message, buttonTitle};
    q.history.push_back(record);
    q.queue.push_back({record, std::move(dismissed)});
    presentFront();
}

std::optional<AlertRecord> Alert::current()
{
    const AlertQueue& q = alerts();
    if (q.queue.empty())
        return std::nullopt;
    return q.queue.front().record;
}

int Alert::pendingCount()
{
    return int(alerts().queue.size());
}

void Alert::dismissCurrent()
{
    AlertQueue& q = alerts();
    if (q.queue.empty())
        return;
    Pending front = std::move(q.queue.front());
    q.queue.pop_front();
    if (q.sheet) {
        // The tap that dismissed it is still being delivered to the sheet's button.
        q.sheet->hide();
        q.sheet->deleteLater();
        q.sheet = nullptr;
    }
    if (front.dismissed)
        front.dismissed();
    presentFront();
}

const std::vector<AlertRecord>& Alert::history()
{
    return alerts().history;
}

void Alert::clearHistory()
{
    alerts().history.clear();
}

void Alert::dismissAll()
{
    AlertQueue& q = alerts();
    q.queue.clear();
    if (q.sheet) {
        q.sheet->hide();
        q.sheet->deleteLater();
        q.sheet = nullptr;
    }
}

void Alert::setHostWindow(QWidget* window)
{
    alerts().host = window;
    presentFront();
}

QWidget* Alert::sheet()
{
    return alerts().sheet;
}

} // namespace platform
