// SPDX-License-Identifier: GPL-3.0-or-later
// The quillon program's command line: where discovery sends its query and
// listens (so that a test or a lab can keep it on loopback), the window's
// scale, full screen or window, and the settings file. Read before the application object exists,
// so that --help and mistakes are answered without a display.
#pragma once

#include "DiscoveryEndpoint.h"

#include <QString>
#include <QStringList>
#include <optional>

struct AppCommandLine {
    enum class Outcome { Run, ShowHelp, ShowVersion, Refused };

    Outcome outcome = Outcome::Run;
    QString message; // the help or version text, or why the command line was refused

    DiscoveryEndpoint discovery;
    std::optional<double> scale;    // points to pixels; none: fit to the screen
    std::optional<bool> fullScreen; // --fullscreen or --windowed; none: by the screen
    std::optional<QString> settingsFile;

    // `arguments` includes the program name first, as argv does.
    static AppCommandLine parse(const QStringList& arguments);
};
