// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/InputSinkFactory.h"

#include "common/Notice.h"
#include "sinks/DeviceSink.h"
#include "sinks/LogSink.h"
#include "sinks/SinkChoice.h"
#include "sinks/UinputSink.h"

#ifdef QUILLON_HAVE_PORTAL
#include "sinks/PortalSink.h"
#endif
#ifdef QUILLON_HAVE_X11
#include "sinks/XTestSink.h"
#endif

namespace {

struct Attempt {
    std::unique_ptr<InputSink> sink;
    std::string error;
    // The user said no, or did not answer: no other way in is tried behind
    // their back.
    bool refused = false;
};

Attempt openSink(const std::string& name, const SinkOptions& options)
{
    Attempt attempt;
    if (name == "uinput") {
        attempt.sink = UinputSink::open(options.layout, attempt.error);
#ifdef QUILLON_HAVE_X11
    } else if (name == "xtest") {
        auto sink = XTestSink::open(attempt.error);
        if (sink && sink->serverIsXwayland())
            notice("the X display is Xwayland: XTEST reaches only the programs that use X11 (--sink portal "
                   "reaches all)");
        attempt.sink = std::move(sink);
#endif
#ifdef QUILLON_HAVE_PORTAL
    } else if (name == "portal") {
        PortalSink::Settings settings;
        settings.tokenFile = RestoreTokenFile::forThisUser();
        RemoteDesktopPortal::Failure failure = RemoteDesktopPortal::Failure::Failed;
        attempt.sink = PortalSink::open(settings, attempt.error, failure);
        attempt.refused = failure == RemoteDesktopPortal::Failure::Refused
                          || failure == RemoteDesktopPortal::Failure::Unanswered;
#endif
    } else {
        attempt.error = "sink '" + name + "' is not part of this build";
    }
    if (auto* device = dynamic_cast<DeviceSink*>(attempt.sink.get()))
        device->allowPowerKeys(options.allowPower);
    if (attempt.sink && !options.layout.layout.empty() && name != "uinput")
        notice("--layout is for the uinput sink; sink " + name + " types in the desktop's own layout");
    return attempt;
}

std::unique_ptr<InputSink> chooseAutomatically(const SinkOptions& options, std::string& error, bool& refused)
{
    SessionFacts facts = sessionFactsFromEnvironment();
#ifdef QUILLON_HAVE_X11
    // Xwayland says so only to a client: the display is asked when the
    // variables do not tell already.
    if (facts.waylandDisplay.empty() && facts.sessionType != "wayland" && !facts.display.empty()) {
        std::string ignored;
        if (const auto probe = XTestSink::open(ignored))
            facts.xserverIsXwayland = probe->serverIsXwayland();
    }
#endif
    const SinkChoice choice = chooseSink(facts);
    std::string failures;
    for (const std::string& name : choice.sinks) {
        Attempt attempt = openSink(name, options);
        if (attempt.sink) {
            notice("sink auto chose " + name + " (" + choice.reason + ")" + (failures.empty() ? "" : "; " + failures));
            return std::move(attempt.sink);
        }
        if (attempt.refused) {
            error = attempt.error;
            refused = true;
            return nullptr;
        }
        failures += (failures.empty() ? "" : "; ") + name + ": " + attempt.error;
    }
    error = "no way to control this computer (" + choice.reason + "): " + failures;
    return nullptr;
}

} // namespace

std::vector<std::string> inputSinkNames()
{
    std::vector<std::string> names = {"log"};
#ifdef QUILLON_HAVE_PORTAL
    names.push_back("portal");
#endif
#ifdef QUILLON_HAVE_X11
    names.push_back("xtest");
#endif
    names.push_back("uinput");
    names.push_back("auto");
    return names;
}

std::unique_ptr<InputSink> makeInputSink(const SinkOptions& options, LineOutput& out, std::string& error,
                                         bool* permissionWithheld)
{
    bool refused = false;
    std::unique_ptr<InputSink> sink;
    if (options.name == "log") {
        sink = std::make_unique<LogSink>(out);
    } else if (options.name == "auto") {
        sink = chooseAutomatically(options, error, refused);
    } else {
        Attempt attempt = openSink(options.name, options);
        error = attempt.error;
        refused = attempt.refused;
        sink = std::move(attempt.sink);
    }
    if (permissionWithheld)
        *permissionWithheld = refused;
    return sink;
}
