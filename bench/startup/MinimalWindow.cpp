// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick of the start-up benchmark: the least a Qt Widgets program
// can show, a window of the phone's size with one label, reporting its first
// frame the same way the app does.
#include "platform/FirstFrameReport.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QLabel window(QStringLiteral("Quillon"));
    window.setAlignment(Qt::AlignCenter);
    window.resize(320, 480);
    platform::FirstFrameReport::watch(&window);
    window.show();
    return application.exec();
}
