// SPDX-License-Identifier: GPL-3.0-or-later
// The left mouse button as the window system hands it to Qt: presses, moves
// and releases at a position in a window, with the window system's event
// times. Qt then does what it does with a real mouse: it finds the widget
// under the pointer (skipping those transparent for mouse events), grabs it
// while the button is held, and turns the second of two quick presses into a
// double-click event.
#pragma once

#include <QTest>
#include <QWindow>

class WindowSystemMouse {
public:
    explicit WindowSystemMouse(QWindow* window) : window_(window) {}
    // Keeps QTest's own mouse clicks from counting as a double click with ours.
    ~WindowSystemMouse() { QTest::lastMouseTimestamp = time_ + 10000; }

    void press(const QPoint& at, int afterMs = 10) { send(QEvent::MouseButtonPress, at, Qt::LeftButton, afterMs); }
    void moveTo(const QPoint& at, int afterMs = 10) { send(QEvent::MouseMove, at, Qt::LeftButton, afterMs); }
    void release(const QPoint& at, int afterMs = 10) { send(QEvent::MouseButtonRelease, at, Qt::NoButton, afterMs); }

private:
    void send(QEvent::Type type, const QPoint& at, Qt::MouseButtons held, int afterMs)
    {
        time_ += afterMs;
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        qt_handleMouseEvent(window_, at, window_->mapToGlobal(at), held, button, type, Qt::NoModifier, time_);
    }

    QWindow* window_;
    // Well after any event an earlier test made, so nothing pairs with it.
    int time_ = QTest::lastMouseTimestamp + 10000;
};
