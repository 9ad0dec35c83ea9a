// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppCommandLine.h"

#include "QuillonVersion.h"

#include <QCommandLineParser>

#include <arpa/inet.h>

namespace {

const QString kProgram = QStringLiteral("quillon");

// A port of 1 to 65535; with `allowZero`, 0 too (the system then picks one).
std::optional<uint16_t> parsePort(const QString& text, bool allowZero)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value > 65535 || (value == 0 && !allowZero))
        return std::nullopt;
    return uint16_t(value);
}

AppCommandLine refused(const QString& why)
{
    AppCommandLine result;
    result.outcome = AppCommandLine::Outcome::Refused;
    result.message = kProgram + QStringLiteral(": ") + why + QStringLiteral("\nTry 'quillon --help'.");
    return result;
}

} // namespace

AppCommandLine AppCommandLine::parse(const QStringList& arguments)
{
    const DiscoveryEndpoint defaults;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Quillon: a touch remote control for a computer running quillon-receiver.\n"
        "Finds receivers on the local network, logs in to one and sends it the\n"
        "touch pad, keyboard and remote panel input."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows this help and exits."));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Shows the version and exits."));
    const QCommandLineOption address(QStringLiteral("discovery-address"),
                                     QStringLiteral("Sends the discovery query to <address> (dotted IPv4; default %1).")
                                         .arg(QString::fromStdString(defaults.address)),
                                     QStringLiteral("address"));
    const QCommandLineOption port(QStringLiteral("discovery-port"),
                                  QStringLiteral("Sends the discovery query to <port> (default %1).").arg(defaults.destinationPort),
                                  QStringLiteral("port"));
    const QCommandLineOption localPort(QStringLiteral("discovery-local-port"),
                                       QStringLiteral("Listens for discovery replies on <port>; 0 lets the system choose "
                                                      "(default %1).")
                                           .arg(defaults.localPort),
                                       QStringLiteral("port"));
    const QCommandLineOption scale(QStringLiteral("scale"),
                                   QStringLiteral("Draws one point as <factor> pixels (0.5 to 8; default: fit the screen)."),
                                   QStringLiteral("factor"));
    const QCommandLineOption fullScreen(QStringLiteral("fullscreen"),
                                        QStringLiteral("Fills the whole screen, as on a phone: the design as wide as the "
                                                       "screen (the default on a small upright screen or in a phone "
                                                       "shell)."));
    const QCommandLineOption windowed(QStringLiteral("windowed"),
                                      QStringLiteral("Shows the phone's screen in a window, even on a phone."));
    const QCommandLineOption settings(QStringLiteral("settings"),
                                      QStringLiteral("Keeps the settings in <file> instead of the usual place."),
                                      QStringLiteral("file"));
    parser.addOptions({helpOption, versionOption, address, port, localPort, scale, fullScreen, windowed, settings});

    if (!parser.parse(arguments))
        return refused(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refused(QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));

    AppCommandLine result;
    if (parser.isSet(helpOption)) {
        result.outcome = Outcome::ShowHelp;
        // Qt names the program from the application object, which may not
        // exist yet (or be another program's); the usage line says quillon.
        QString help = parser.helpText();
        help = QStringLiteral("Usage: ") + kProgram + QStringLiteral(" [options]") + help.mid(help.indexOf(QLatin1Char('\n')));
        result.message = help
            + QStringLiteral("\nEnvironment:\n  QUILLON_SETTINGS               the settings file, as --settings\n"
                             "  QT_SCALE_FACTOR                the scale, as --scale\n"
                             "  QUILLON_UPOWER_BUS             the D-Bus address UPower is asked on for the battery\n"
                             "                                 (default: the system bus)\n");
        return result;
    }
    if (parser.isSet(versionOption)) {
        result.outcome = Outcome::ShowVersion;
        result.message = kProgram + QStringLiteral(" ") + QStringLiteral(QUILLON_VERSION) + QLatin1Char('\n');
        return result;
    }
    if (parser.isSet(fullScreen) && parser.isSet(windowed))
        return refused(QStringLiteral("give either --fullscreen or --windowed, not both."));
    if (parser.isSet(fullScreen) || parser.isSet(windowed))
        result.fullScreen = parser.isSet(fullScreen);
    if (parser.isSet(address)) {
        const QString text = parser.value(address);
        in_addr parsed{};
        if (inet_pton(AF_INET, text.toLatin1().constData(), &parsed) != 1)
            return refused(QStringLiteral("--discovery-address wants a dotted IPv4 address, not '%1'.").arg(text));
        result.discovery.address = text.toStdString();
    }
    if (parser.isSet(port)) {
        const auto value = parsePort(parser.value(port), false);
        if (!value)
            return refused(QStringLiteral("--discovery-port wants a port from 1 to 65535, not '%1'.").arg(parser.value(port)));
        result.discovery.destinationPort = *value;
    }
    if (parser.isSet(localPort)) {
        const auto value = parsePort(parser.value(localPort), true);
        if (!value)
            return refused(QStringLiteral("--discovery-local-port wants a port from 0 to 65535, not '%1'.")
                               .arg(parser.value(localPort)));
        result.discovery.localPort = *value;
    }
    if (parser.isSet(scale)) {
        bool ok = false;
        const double value = parser.value(scale).toDouble(&ok);
        if (!ok || !(value >= 0.5 && value <= 8.0))
            return refused(QStringLiteral("--scale wants a factor from 0.5 to 8, not '%1'.").arg(parser.value(scale)));
        result.scale = value;
    }
    if (parser.isSet(settings)) {
        if (parser.value(settings).isEmpty())
            return refused(QStringLiteral("--settings wants a file name."));
        result.settingsFile = parser.value(settings);
    }
    return result;
}
