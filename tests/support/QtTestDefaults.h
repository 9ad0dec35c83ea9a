// SPDX-License-Identifier: GPL-3.0-or-later
// What every Qt test program sets before its QApplication, unless the one who
// runs it chose otherwise: the offscreen platform; UPower asked on a bus
// that is not there (no test reads the battery of the machine it runs on,
// nor do the programs it starts, unless a test serves a stand-in); and the
// app's sound effects module where the build put it, so that the app in the
// test's own process makes its sounds as the real program does.
#pragma once

#include <QByteArray>
#include <QtGlobal>

inline void setQtTestDefaults()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QUILLON_UPOWER_BUS"))
        qputenv("QUILLON_UPOWER_BUS", "unix:path=/nonexistent/quillon-tests-have-no-upower");
    if (!qEnvironmentVariableIsSet("QUILLON_SOUND_MODULE_DIR"))
        qputenv("QUILLON_SOUND_MODULE_DIR", QUILLON_SOUND_MODULE_DIR);
}
