// SPDX-License-Identifier: GPL-3.0-or-later
// Alerts: a title, a message and a button ("OK"), shown as a sheet inside
// the window without blocking; an alert may offer further buttons, each with
// its own action. Alerts asked for while one is up wait in line; every alert
// asked for is kept in the record that tests read.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QWidget;

namespace platform {

struct AlertRecord {
    AlertRecord() = default;
    AlertRecord(QString titleText, QString messageText, QString button, QStringList others = {})
        : title(std::move(titleText)), message(std::move(messageText)), buttonTitle(std::move(button)),
          otherButtonTitles(std::move(others))
    {
    }

    QString title;
    QString message;
    // The first button, which only puts the alert away.
    QString buttonTitle;
    // Further buttons, in the order they are offered.
    QStringList otherButtonTitles;

    friend bool operator==(const AlertRecord& a, const AlertRecord& b)
    {
        return a.title == b.title && a.message == b.message && a.buttonTitle == b.buttonTitle
            && a.otherButtonTitles == b.otherButtonTitles;
    }
};

class Alert {
public:
    // Queues the alert and returns at once; `dismissed` runs after its button was tapped.
    static void show(const QString& title, const QString& message, const QString& buttonTitle = QStringLiteral("OK"),
                     std::function<void()> dismissed = {});
    // The same with further buttons: once the alert is gone, `tapped` gets
    // the index of the button that put it away: 0 for `buttonTitle`, 1 for
    // the first of `otherButtonTitles`, and so on.
    static void show(const QString& title, const QString& message, const QString& buttonTitle,
                     const QStringList& otherButtonTitles, std::function<void(int buttonIndex)> tapped);

    // The alert in front (on screen when there is a window), if any.
    static std::optional<AlertRecord> current();
    // Alerts waiting, the one in front included.
    static int pendingCount();
    // As a tap on the front alert's first button.
    static void dismissCurrent();
    // As a tap on the front alert's button of that index; an index the alert
    // does not have does nothing.
    static void dismissCurrentWithButtonIndex(int buttonIndex);
    // Takes back the alerts equal to `alert` that are not on screen yet,
    // without running their actions (they no longer apply); returns how many.
    static int withdrawWaiting(const AlertRecord& alert);
    // Every alert asked for since the start or the last clear, in order.
    static const std::vector<AlertRecord>& history();
    static void clearHistory();
    // Drops every waiting alert without running its callback (tests, shutdown).
    static void dismissAll();

    // The window the sheets appear in; by default the active window, or the
    // first visible one.
    static void setHostWindow(QWidget* window);
    // The sheet on screen now, if any.
    static QWidget* sheet();
};

} // namespace platform
