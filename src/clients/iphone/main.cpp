// SPDX-License-Identifier: GPL-3.0-or-later
// quillon: the phone-style remote control as a desktop (or touch device) app.
#include "AppCommandLine.h"
#include "ComputerListViewController.h"
#include "PhoneWindow.h"
#include "QuillonVersion.h"
#include "TarvelAppDelegate.h"
#include "WindowScale.h"

#include "platform/FirstFrameReport.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

// Qt would only say that it could not connect to a display; say what to do.
bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool userChoseScale()
{
    return !qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR") || !qEnvironmentVariableIsEmpty("QT_SCREEN_SCALE_FACTORS");
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const AppCommandLine commandLine = AppCommandLine::parse(arguments);
    switch (commandLine.outcome) {
    case AppCommandLine::Outcome::ShowHelp:
    case AppCommandLine::Outcome::ShowVersion:
        std::fputs(qPrintable(commandLine.message), stdout);
        return 0;
    case AppCommandLine::Outcome::Refused:
        std::fprintf(stderr, "%s\n", qPrintable(commandLine.message));
        return 2;
    case AppCommandLine::Outcome::Run:
        break;
    }
    if (!displayAvailable()) {
        std::fputs("quillon: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                   "Start it from a desktop session, or set QT_QPA_PLATFORM (e.g. offscreen) to run without one.\n",
                   stderr);
        return 1;
    }
    if (commandLine.settingsFile)
        qputenv("QUILLON_SETTINGS", commandLine.settingsFile->toLocal8Bit());
    if (commandLine.scale)
        qputenv("QT_SCALE_FACTOR", QByteArray::number(*commandLine.scale));
    ComputerListViewController::setDefaultDiscoveryEndpoint(commandLine.discovery);

    // The X11 window class comes from the application name: with the desktop
    // file name it matches the entry's StartupWMClass, as the Wayland app id does.
    QApplication::setApplicationName(QStringLiteral(QUILLON_APP_ID));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillon"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(QUILLON_APP_ID));
    QApplication application(argc, argv);

    WindowScale::Placement placement;
    if (QGuiApplication::platformName() != QLatin1String("offscreen") && QGuiApplication::primaryScreen()) {
        placement = WindowScale::choosePlacement(commandLine.fullScreen, userChoseScale(),
                                                 WindowScale::factsOf(*QGuiApplication::primaryScreen()),
                                                 WindowScale::processEnvironment);
    } else {
        placement.fillsScreen = commandLine.fullScreen.value_or(false);
    }
    TarvelAppDelegate delegate(placement.fillsScreen, placement.factor);
    platform::FirstFrameReport::watch(delegate.window());
    QTimer::singleShot(0, &delegate, &TarvelAppDelegate::applicationDidFinishLaunching);
    return application.exec();
}
