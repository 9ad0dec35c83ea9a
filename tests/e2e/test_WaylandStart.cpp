// SPDX-License-Identifier: GPL-3.0-or-later
// The quillon program under Wayland, as on a Linux phone: a headless weston
// with a 360 x 720 portrait screen, inside the private network. The app
// must take the whole screen as a full-screen toplevel under its own app id
// and draw its first frame (reported on QUILLON_FIRST_FRAME_FD); its
// Wayland traffic shows the buffer attached and committed.
#include "e2e/ChildProgram.h"
#include "e2e/PrivateNetworkTest.h"

#include "QuillonVersion.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#ifndef QUILLON_APP_BINARY
#error "QUILLON_APP_BINARY must name the app's binary"
#endif

namespace {

constexpr int kGenerousWaitMs = 30000;



class WaylandStart : public PrivateNetworkTest {};

TEST_F(WaylandStart, TheAppFillsAPhoneScreenUnderWestonAndDrawsItsFirstFrame)
{
    if (QStandardPaths::findExecutable("weston").isEmpty())
        GTEST_SKIP() << "weston is not installed (scripts/bootstrap installs it)";
    QTemporaryDir runtime; // XDG_RUNTIME_DIR of the compositor and the app
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString socket = QStringLiteral("quillon-test");

    QProcess weston;
    QProcessEnvironment westonEnvironment = QProcessEnvironment::systemEnvironment();
    westonEnvironment.insert("XDG_RUNTIME_DIR", runtime.path());
    westonEnvironment.remove("WAYLAND_DISPLAY");
    westonEnvironment.remove("DISPLAY");
    weston.setProcessEnvironment(westonEnvironment);
    weston.start("weston", {"--backend=headless-backend.so", "--socket=" + socket, "--width=360", "--height=720",
                            "--idle-time=0", "--no-config"});
    ASSERT_TRUE(weston.waitForStarted());
    QDeadlineTimer westonUp(kGenerousWaitMs);
    while (!QFile::exists(runtime.filePath(socket)) && !westonUp.hasExpired() && weston.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_TRUE(QFile::exists(runtime.filePath(socket))) << weston.readAllStandardError().toStdString();

    int frame[2];
    ASSERT_EQ(pipe(frame), 0);
    fcntl(frame[0], F_SETFD, FD_CLOEXEC); // only the write end goes to the app
    QTemporaryDir home;
    QProcess app;
    QProcessEnvironment environment = westonEnvironment;
    environment.insert("QT_QPA_PLATFORM", "wayland");
    environment.insert("WAYLAND_DISPLAY", socket);
    environment.insert("WAYLAND_DEBUG", "1");
    environment.insert("QUILLON_FIRST_FRAME_FD", QString::number(frame[1]));
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(QUILLON_APP_BINARY), {"--settings", home.filePath("settings.json")});
    ASSERT_TRUE(app.waitForStarted());
    close(frame[1]);

    const std::string line = readLineWithin(frame[0], kGenerousWaitMs);
    close(frame[0]);
    const bool running = app.state() == QProcess::Running;
    stopProgram(app);
    stopProgram(weston);
    const std::string traffic = app.readAllStandardError().toStdString();

    EXPECT_EQ(line, "first frame\n") << traffic.substr(traffic.size() > 4000 ? traffic.size() - 4000 : 0);
    EXPECT_TRUE(running);
    EXPECT_NE(traffic.find(std::string("set_app_id(\"") + QUILLON_APP_ID + "\")"), std::string::npos);
    EXPECT_NE(traffic.find("xdg_toplevel"), std::string::npos);
    EXPECT_NE(traffic.find(".set_fullscreen("), std::string::npos) << "a phone-sized screen is filled";
    EXPECT_NE(traffic.find(".configure(360, 720"), std::string::npos) << "weston gives it the whole screen";
    EXPECT_NE(traffic.find(".attach(wl_buffer@"), std::string::npos) << "a frame was handed to the compositor";
    EXPECT_NE(traffic.find(".commit()"), std::string::npos);
}

} // namespace
