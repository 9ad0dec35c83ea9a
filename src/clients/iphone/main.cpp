// quillon: the phone-style remote control as a desktop (or touch device) app.
#include "AppCommandLine.h"
#include "ComputerListViewController.h"
#include "TarvelAppDelegate.h"
#include "WindowScale.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

// Qt would only say that it could not connect to a display; say what to do.
bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
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

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));

    // Qt takes its scale factor only at start: a window that should be drawn
    // larger to fit the screen starts the program once more with it set.
    if (const std::optional<QByteArray> factor = WindowScale::factorToRestartWith()) {
        qputenv("QT_SCALE_FACTOR", *factor);
        ::execv("/proc/self/exe", argv);
        qunsetenv("QT_SCALE_FACTOR"); // could not restart: go on unscaled
    }

    TarvelAppDelegate delegate;
    QTimer::singleShot(0, &delegate, &TarvelAppDelegate::applicationDidFinishLaunching);
    return application.exec();
}
