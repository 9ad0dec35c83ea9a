// SPDX-License-Identifier: GPL-3.0-or-later
// The quillon program itself, as a separate process inside the private
// network (offscreen): with a corrupt settings file in a directory of its
// own it says so, keeps the file aside, and goes on to run discovery with its
// defaults; its broadcast query is heard on lo.
#include "e2e/PrivateNetworkTest.h"

#include "support/LoopbackSockets.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef QUILLON_APP_BINARY
#error "QUILLON_APP_BINARY must name the app's binary"
#endif

namespace {

class QuillonProgram : public PrivateNetworkTest {};

TEST_F(QuillonProgram, StartsOnACorruptSettingsFileAndBroadcastsItsQuery)
{
    QTemporaryDir home;
    const QString settings = home.filePath("settings.json");
    {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\"Passwords\": {\"Den\": ");
    }
    // Hears the query as a receiver would: all addresses, port 25736, shared.
    UniqueFd ear = boundUdpSocket("0.0.0.0", 25736, true);
    ASSERT_TRUE(ear.valid());

    QProcess app;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    app.setProcessEnvironment(environment);
    app.start(QStringLiteral(QUILLON_APP_BINARY), {"--settings", settings});
    ASSERT_TRUE(app.waitForStarted());

    const auto query = receiveDatagram(ear.get(), std::chrono::seconds(10)); // a failure guard
    const bool stillRunning = app.state() == QProcess::Running;
    app.terminate();
    if (!app.waitForFinished(5000))
        app.kill();
    app.waitForFinished(5000);
    const std::string errors = app.readAllStandardError().toStdString();

    ASSERT_TRUE(query) << "the app sent no discovery query; it said:\n" << errors;
    EXPECT_TRUE(stillRunning) << errors;
    const std::string text(query->begin(), query->end());
    EXPECT_NE(text.find("Device"), std::string::npos);
    EXPECT_NE(errors.find("it was moved to " + settings.toStdString() + ".corrupt-"), std::string::npos) << errors;
    EXPECT_EQ(QDir(home.path()).entryList({"settings.json.corrupt-*"}, QDir::Files).size(), 1);
}

} // namespace
