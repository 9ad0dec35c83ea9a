// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Alert.h"

#include "platform/AlertSheet.h"
#include "platform/Button.h"

#include <QApplication>
#include <QPointer>
#include <algorithm>
#include <deque>

namespace platform {

namespace {
struct Pending {
    AlertRecord record;
    std::function<void(int)> tapped;
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
    QObject::connect(sheet, &AlertSheet::buttonTapped, [](int index) { Alert::dismissCurrentWithButtonIndex(index); });
    sheet->show();
    sheet->raise();
    q.sheet = sheet;
}
} // namespace

void Alert::show(const QString& title, const QString& message, const QString& buttonTitle, std::function<void()> dismissed)
{
    std::function<void(int)> tapped;
    if (dismissed)
        tapped = [dismissed = std::move(dismissed)](int) { dismissed(); };
    show(title, message, buttonTitle, {}, std::move(tapped));
}

void Alert::show(const QString& title, const QString& message, const QString& buttonTitle,
                 const QStringList& otherButtonTitles, std::function<void(int)> tapped)
{
    AlertQueue& q = alerts();
    AlertRecord record{title, message, buttonTitle, otherButtonTitles};
    q.history.push_back(record);
    q.queue.push_back({record, std::move(tapped)});
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
    dismissCurrentWithButtonIndex(0);
}

void Alert::dismissCurrentWithButtonIndex(int buttonIndex)
{
    AlertQueue& q = alerts();
    if (q.queue.empty())
        return;
    if (buttonIndex < 0 || buttonIndex > q.queue.front().record.otherButtonTitles.size())
        return;
    Pending front = std::move(q.queue.front());
    q.queue.pop_front();
    if (q.sheet) {
        // The tap that dismissed it is still being delivered to the sheet's button.
        q.sheet->hide();
        q.sheet->deleteLater();
        q.sheet = nullptr;
    }
    if (front.tapped)
        front.tapped(buttonIndex);
    presentFront();
}

int Alert::withdrawWaiting(const AlertRecord& alert)
{
    AlertQueue& q = alerts();
    // The one in front stays when it is on screen: only a tap puts it away.
    const auto waiting = q.queue.begin() + (q.sheet && !q.queue.empty() ? 1 : 0);
    const auto kept = std::remove_if(waiting, q.queue.end(), [&](const Pending& p) { return p.record == alert; });
    const int withdrawn = int(q.queue.end() - kept);
    q.queue.erase(kept, q.queue.end());
    return withdrawn;
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
