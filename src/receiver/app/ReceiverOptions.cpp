// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReceiverOptions.h"

#include "net/SocketAddress.h"
#include "QuillonVersion.h"
#include "sinks/InputSinkFactory.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <unistd.h>
#include <utility>

namespace {

bool parsePort(const std::string& text, uint16_t& port)
{
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || last != end || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The names of the layout data: "de", "fr", "nodeadkeys", "dvorak-intl".
bool isLayoutName(const std::string& name)
{
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

ParsedOptions failure(std::string error)
{
    return ParsedOptions{std::nullopt, std::move(error)};
}

} // namespace

ParsedOptions parseReceiverOptions(const std::vector<std::string>& arguments)
{
    ReceiverOptions options;
    bool passcodeGiven = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::optional<std::string> inlineValue;
        if (const auto equals = option.find('='); option.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = option.substr(equals + 1);
            option.erase(equals);
        }

        if (option == "--help" || option == "-h" || option == "--version") {
            if (inlineValue)
                return failure("option '" + option + "' takes no value");
            (option == "--version" ? options.version : options.help) = true;
            continue;
        }

        static const std::vector<std::pair<std::string, bool ReceiverOptions::*>> flags = {
            {"--allow-plain", &ReceiverOptions::allowPlain},
            {"--allow-power", &ReceiverOptions::allowPower},
            {"--new-passcode", &ReceiverOptions::newPasscode},
            {"--force", &ReceiverOptions::force},
        };
        const auto flag = std::find_if(flags.begin(), flags.end(), [&](const auto& f) { return f.first == option; });
        if (flag != flags.end()) {
            if (inlineValue)
                return failure("option '" + option + "' takes no value");
            options.*(flag->second) = true;
            continue;
        }

        static const std::vector<std::string> withValue = {"--port", "--discovery-port", "--bind", "--passcode",
                                                           "--passcode-file", "--name", "--sink",
                                                           "--layout", "--variant"};
        if (std::find(withValue.begin(), withValue.end(), option) == withValue.end())
            return failure("unknown option '" + arguments[i] + "'");
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return failure("option '" + option + "' needs a value");
        }

        if (option == "--port" || option == "--discovery-port") {
            uint16_t& port = option == "--port" ? options.sessionPort : options.discoveryPort;
            if (!parsePort(value, port))
                return failure("option '" + option + "': '" + value + "' is not a port number (0-65535)");
        } else if (option == "--bind") {
            if (!makeAddress(value, 0))
                return failure("option '--bind': '" + value + "' is not an IPv4 address");
            options.bindAddress = value;
        } else if (option == "--passcode") {
            // The value itself is never repeated in a message.
            if (value.empty())
                return failure("option '--passcode': the passcode must not be empty");
            options.passcode = value;
            passcodeGiven = true;
        } else if (option == "--passcode-file") {
            if (value.empty())
                return failure("option '--passcode-file' needs a file name");
            options.passcodeFile = value;
        } else if (option == "--name") {
            if (value.empty() || value.size() > kMaxReceiverNameLength)
                return failure("option '--name': the name must be 1 to " + std::to_string(kMaxReceiverNameLength)
                               + " bytes long");
            options.name = value;
        } else if (option == "--sink") {
            const std::vector<std::string> sinks = inputSinkNames();
            if (std::find(sinks.begin(), sinks.end(), value) == sinks.end())
                return failure("option '--sink': unknown sink '" + value + "' (known: " + joined(sinks) + ")");
            options.sink = value;
        } else if (option == "--layout" || option == "--variant") {
            if (!isLayoutName(value))
                return failure("option '" + option + "': '" + value
                               + "' is not a keyboard layout name (letters, digits, '_' and '-')");
            (option == "--layout" ? options.layout : options.variant) = value;
        }
    }

    if (options.help || options.version)
        return ParsedOptions{options, {}};
    if (!options.variant.empty() && options.layout.empty())
        return failure("option '--variant' needs '--layout'");
    if (options.force && !options.newPasscode)
        return failure("option '--force' goes with '--new-passcode'");
    if (options.newPasscode)
        return passcodeGiven ? failure("'--new-passcode' makes the passcode: give no '--passcode'")
                             : ParsedOptions{options, {}};
    if (passcodeGiven && !options.passcodeFile.empty())
        return failure("give either '--passcode' or '--passcode-file', not both");
    if (!passcodeGiven && options.passcodeFile.empty())
        return failure("a passcode is required: give '--passcode TEXT' or '--passcode-file PATH' (make one with "
                       "'quillon-receiver --new-passcode')");
    return ParsedOptions{options, {}};
}

std::string receiverUsage()
{
    return "Usage: quillon-receiver (--passcode TEXT | --passcode-file PATH) [options]\n"
           "  or:  quillon-receiver --new-passcode [--passcode-file PATH] [--force]\n"
           "\n"
           "Receives keyboard and mouse input from the Quillon remote control.\n"
           "\n"
           "Options:\n"
           "  --passcode TEXT        the passcode that clients must send to log in\n"
           "  --passcode-file PATH   read the passcode from a file (one line)\n"
           "  --new-passcode         write a new strong passcode into the passcode file\n"
           "                         (default ~/.config/quillon/passcode, which the user\n"
           "                         unit reads), print it once, and exit\n"
           "  --force                with --new-passcode: replace an existing file\n"
           "  --port N               TCP port of the session (default 25736; 0 picks a free one)\n"
           "  --discovery-port N     UDP port that answers discovery (default 25736; 0 picks a free one)\n"
           "  --bind ADDRESS         IPv4 address to listen on (default 0.0.0.0)\n"
           "  --name TEXT            computer name shown on the phone (default: the host name)\n"
           "  --sink NAME            where input goes: "
           + joined(inputSinkNames())
           + " (default log)\n"
             "  --layout NAME          keyboard layout the uinput sink types in (de, fr...;\n"
             "                         default: the computer's, else us)\n"
             "  --variant NAME         variant of that layout (nodeadkeys, dvorak...)\n"
             "  --allow-plain          also accept phones that speak only the plain login: their\n"
             "                         passcodes and keys cross the network readable\n"
             "  --allow-power          let the remote's power button press this computer's\n"
             "                         power key (by default it is ignored)\n"
             "  --help                 show this help and exit\n"
             "  --version              show the version and exit\n"
             "\n"
             "Sinks: log writes one JSON object per line to standard output; portal\n"
             "asks the desktop's remote-desktop portal (Wayland: GNOME, KDE Plasma...),\n"
             "which asks the user once; xtest drives the X display named by $DISPLAY;\n"
             "uinput makes a virtual keyboard and mouse through /dev/uinput, typing in\n"
             "the computer's keyboard layout; auto takes portal in a Wayland session and\n"
             "xtest in an X11 one, else uinput. Sinks missing from the list above are\n"
             "not part of this build. Notices go to standard error.\n"
             "\n"
             "Phones log in securely: the passcode never crosses the network, and every\n"
             "event is encrypted and authenticated. A plain login, which sends the\n"
             "passcode in clear, is refused unless --allow-plain is given; the refusal\n"
             "is noted, since that passcode should then be changed.\n";
}

std::string receiverVersionLine()
{
    return std::string("quillon-receiver ") + QUILLON_VERSION + "\n";
}

std::string defaultReceiverName()
{
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
        return "localhost";
    return std::string(host).substr(0, kMaxReceiverNameLength);
}
