// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/StandInPortal.h"

#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr const char* kObject = "/org/freedesktop/portal/desktop";

// The a{sv} of a call, every value as text (strings as they are, numbers in
// decimal); other kinds of values as "?".
std::map<std::string, std::string> readOptions(sd_bus_message* call)
{
    std::map<std::string, std::string> options;
    if (sd_bus_message_enter_container(call, 'a', "{sv}") <= 0)
        return options;
    while (sd_bus_message_enter_container(call, 'e', "sv") > 0) {
        const char* key = nullptr;
        char type = 0;
        const char* contents = nullptr;
        sd_bus_message_read(call, "s", &key);
        const std::string name = key ? key : "";
        sd_bus_message_peek_type(call, &type, &contents);
        if (contents && (std::strcmp(contents, "s") == 0 || std::strcmp(contents, "o") == 0)) {
            const char* value = nullptr;
            sd_bus_message_read(call, "v", contents, &value);
            options[name] = value ? value : "";
        } else if (contents && std::strcmp(contents, "u") == 0) {
            uint32_t value = 0;
            sd_bus_message_read(call, "v", "u", &value);
            options[name] = std::to_string(value);
        } else {
            sd_bus_message_skip(call, "v");
            options[name] = "?";
        }
        sd_bus_message_exit_container(call);
    }
    sd_bus_message_exit_container(call);
    return options;
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace

struct StandInHandlers {
    static StandInPortal& portal(void* self) { return *static_cast<StandInPortal*>(self); }

    static int version(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* self,
                       sd_bus_error*)
    {
        return sd_bus_message_append(reply, "u", portal(self).behaviour_.version);
    }

    static int devices(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
    {
        return sd_bus_message_append(reply, "u", uint32_t(7)); // keyboard, pointer, touch screen
    }

    static int createSession(sd_bus_message* call, void* self, sd_bus_error*)
    {
        StandInPortal& p = portal(self);
        auto options = readOptions(call);
        const std::string session = std::string(kObject) + "/session/" + p.senderPart(call) + "/"
                                    + options["session_handle_token"];
        {
            std::lock_guard<std::mutex> lock(p.mutex_);
            p.createdSessions_.insert(session);
        }
        p.record("CreateSession");
        // As xdg-desktop-portal does, the handle as a string.
        return p.answer(call, options["handle_token"], 0, {{"session_handle", session}}, {},
                        p.behaviour_.answerBeforeReply);
    }

    static int selectDevices(sd_bus_message* call, void* self, sd_bus_error*)
    {
        StandInPortal& p = portal(self);
        const char* session = nullptr;
        sd_bus_message_read(call, "o", &session);
        auto options = readOptions(call);
        std::string line = "SelectDevices";
        for (const char* key : {"types", "persist_mode", "restore_token"}) {
            if (options.count(key))
                line += std::string(" ") + key + "=" + options[key];
        }
        {
            std::lock_guard<std::mutex> lock(p.mutex_);
            p.persistAsked_ = options.count("persist_mode") && options["persist_mode"] != "0";
            if (!p.createdSessions_.count(session ? session : ""))
                line += " (no session)";
        }
        p.record(line);
        return p.answer(call, options["handle_token"], 0, {}, {}, false);
    }

    static int start(sd_bus_message* call, void* self, sd_bus_error*)
    {
        StandInPortal& p = portal(self);
        const char* session = nullptr;
        const char* parent = nullptr;
        sd_bus_message_read(call, "os", &session, &parent);
        auto options = readOptions(call);
        p.record("Start");
        switch (p.behaviour_.start) {
        case StandInPortal::StartAnswer::Grant: {
            std::map<std::string, std::string> results;
            {
                std::lock_guard<std::mutex> lock(p.mutex_);
                p.startedSessions_.insert(session ? session : "");
                if (p.persistAsked_ && p.behaviour_.version >= 2) {
                    p.tokens_.push_back("token-" + std::to_string(p.tokens_.size() + 1));
                    results["restore_token"] = p.tokens_.back();
                }
            }
            return p.answer(call, options["handle_token"], 0, results, {{"devices", 3}}, false);
        }
        case StandInPortal::StartAnswer::Refuse:
            return p.answer(call, options["handle_token"], 1, {}, {}, false);
        case StandInPortal::StartAnswer::Silence:
            return sd_bus_reply_method_return(call, "o", p.requestPath(call, options["handle_token"]).c_str());
        }
        return 0;
    }

    static int notify(sd_bus_message* call, void* self, sd_bus_error*)
    {
        StandInPortal& p = portal(self);
        const std::string member = sd_bus_message_get_member(call);
        const char* session = nullptr;
        sd_bus_message_read(call, "o", &session);
        readOptions(call);
        std::string line = member;
        if (member == "NotifyPointerMotion") {
            double dx = 0, dy = 0;
            sd_bus_message_read(call, "dd", &dx, &dy);
            line += " " + number(dx) + " " + number(dy);
        } else if (member == "NotifyPointerAxisDiscrete") {
            uint32_t axis = 0;
            int32_t steps = 0;
            sd_bus_message_read(call, "ui", &axis, &steps);
            line += " " + std::to_string(axis) + " " + std::to_string(steps);
        } else {
            int32_t code = 0;
            uint32_t state = 0;
            sd_bus_message_read(call, "iu", &code, &state);
            line += " " + std::to_string(code) + " " + std::to_string(state);
        }
        {
            std::lock_guard<std::mutex> lock(p.mutex_);
            if (!p.startedSessions_.count(session ? session : ""))
                line += " (no session)";
        }
        p.record(line);
        return sd_bus_reply_method_return(call, "");
    }

    // Close of the Request and Session objects, under their prefixes.
    static int close(sd_bus_message* call, void* self, sd_bus_error*)
    {
        StandInPortal& p = portal(self);
        const char* interface = sd_bus_message_get_interface(call);
        const char* member = sd_bus_message_get_member(call);
        if (!interface || !member || std::strcmp(member, "Close") != 0)
            return 0;
        const std::string path = sd_bus_message_get_path(call);
        if (std::strcmp(interface, "org.freedesktop.portal.Session") == 0) {
            {
                std::lock_guard<std::mutex> lock(p.mutex_);
                p.createdSessions_.erase(path);
                p.startedSessions_.erase(path);
            }
            p.record("Session.Close");
        } else if (std::strcmp(interface, "org.freedesktop.portal.Request") == 0) {
            p.record("Request.Close");
        } else {
            return 0;
        }
        sd_bus_reply_method_return(call, "");
        return 1;
    }
};

namespace {

const sd_bus_vtable kRemoteDesktop[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("version", "u", StandInHandlers::version, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AvailableDeviceTypes", "u", StandInHandlers::devices, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("CreateSession", "a{sv}", "o", StandInHandlers::createSession, 0),
    SD_BUS_METHOD("SelectDevices", "oa{sv}", "o", StandInHandlers::selectDevices, 0),
    SD_BUS_METHOD("Start", "osa{sv}", "o", StandInHandlers::start, 0),
    SD_BUS_METHOD("NotifyPointerMotion", "oa{sv}dd", "", StandInHandlers::notify, 0),
    SD_BUS_METHOD("NotifyPointerButton", "oa{sv}iu", "", StandInHandlers::notify, 0),
    SD_BUS_METHOD("NotifyPointerAxisDiscrete", "oa{sv}ui", "", StandInHandlers::notify, 0),
    SD_BUS_METHOD("NotifyKeyboardKeysym", "oa{sv}iu", "", StandInHandlers::notify, 0),
    SD_BUS_VTABLE_END};

} // namespace

std::unique_ptr<StandInPortal> StandInPortal::start(const std::string& address, Behaviour behaviour,
                                                    std::string& why)
{
    sd_bus* bus = nullptr;
    int result = sd_bus_new(&bus);
    if (result >= 0)
        result = sd_bus_set_address(bus, address.c_str());
    if (result >= 0)
        result = sd_bus_set_bus_client(bus, 1);
    if (result >= 0)
        result = sd_bus_start(bus);
    if (result >= 0)
        result = sd_bus_request_name(bus, "org.freedesktop.portal.Desktop", 0);
    if (result < 0) {
        why = std::string("the stand-in portal cannot join the bus: ") + std::strerror(-result);
        sd_bus_unref(bus);
        return nullptr;
    }
    std::unique_ptr<StandInPortal> portal(new StandInPortal(bus, behaviour));
    StandInPortal* self = portal.get();
    if (sd_bus_add_object_vtable(bus, nullptr, kObject, "org.freedesktop.portal.RemoteDesktop", kRemoteDesktop, self)
            < 0
        || sd_bus_add_fallback(bus, nullptr, "/org/freedesktop/portal/desktop/session", StandInHandlers::close, self)
               < 0
        || sd_bus_add_fallback(bus, nullptr, "/org/freedesktop/portal/desktop/request", StandInHandlers::close, self)
               < 0) {
        why = "the stand-in portal cannot serve its objects";
        return nullptr;
    }
    portal->thread_ = std::thread([self] { self->run(); });
    return portal;
}

StandInPortal::StandInPortal(sd_bus* bus, Behaviour behaviour)
    : bus_(bus)
    , behaviour_(behaviour)
    , wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

StandInPortal::~StandInPortal()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = true;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(wakeFd_, &one, sizeof one);
    if (thread_.joinable())
        thread_.join();
    sd_bus_flush_close_unref(bus_);
    close(wakeFd_);
}

void StandInPortal::run()
{
    for (;;) {
        while (sd_bus_process(bus_, nullptr) > 0) {
        }
        bool closeSessions = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopRequested_)
                return;
            closeSessions = closeSessionsRequested_;
            closeSessionsRequested_ = false;
        }
        if (closeSessions) {
            std::set<std::string> sessions;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                sessions.swap(startedSessions_);
            }
            for (const std::string& session : sessions)
                sd_bus_emit_signal(bus_, session.c_str(), "org.freedesktop.portal.Session", "Closed", "a{sv}", 0);
            continue;
        }
        uint64_t until = 0;
        int timeout = 100;
        if (sd_bus_get_timeout(bus_, &until) > 0 && until != UINT64_MAX)
            timeout = 0; // sd-bus has work of its own to do soon: look again shortly
        pollfd fds[2] = {{sd_bus_get_fd(bus_), short(sd_bus_get_events(bus_)), 0}, {wakeFd_, POLLIN, 0}};
        poll(fds, 2, timeout == 0 ? 1 : timeout);
        uint64_t drained = 0;
        [[maybe_unused]] const ssize_t ignored = read(wakeFd_, &drained, sizeof drained);
    }
}

std::string StandInPortal::senderPart(sd_bus_message* call)
{
    const char* sender = sd_bus_message_get_sender(call);
    std::string part;
    for (const char* c = sender && sender[0] == ':' ? sender + 1 : ""; *c; ++c)
        part += *c == '.' ? '_' : *c;
    return part;
}

std::string StandInPortal::requestPath(sd_bus_message* call, const std::string& token)
{
    return std::string(kObject) + "/request/" + senderPart(call) + "/" + token;
}

int StandInPortal::answer(sd_bus_message* call, const std::string& token, uint32_t response,
                          const std::map<std::string, std::string>& strings,
                          const std::map<std::string, uint32_t>& numbers, bool signalFirst)
{
    const std::string path = requestPath(call, token);
    const auto emitResponse = [&] {
        sd_bus_message* signal = nullptr;
        if (sd_bus_message_new_signal(bus_, &signal, path.c_str(), "org.freedesktop.portal.Request", "Response") < 0)
            return;
        sd_bus_message_set_destination(signal, sd_bus_message_get_sender(call));
        sd_bus_message_append(signal, "u", response);
        sd_bus_message_open_container(signal, 'a', "{sv}");
        for (const auto& [key, value] : strings)
            sd_bus_message_append(signal, "{sv}", key.c_str(), "s", value.c_str());
        for (const auto& [key, value] : numbers)
            sd_bus_message_append(signal, "{sv}", key.c_str(), "u", value);
        sd_bus_message_close_container(signal);
        sd_bus_send(bus_, signal, nullptr);
        sd_bus_message_unref(signal);
    };
    if (signalFirst)
        emitResponse();
    const int result = sd_bus_reply_method_return(call, "o", path.c_str());
    if (!signalFirst)
        emitResponse();
    return result;
}

void StandInPortal::record(const std::string& call)
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
    changed_.notify_all();
}

std::vector<std::string> StandInPortal::calls() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

bool StandInPortal::waitForCall(const std::string& call, std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        for (; waitedUpTo_ < calls_.size(); ++waitedUpTo_) {
            if (calls_[waitedUpTo_] == call) {
                ++waitedUpTo_;
                return true;
            }
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && waitedUpTo_ == calls_.size())
            return false;
    }
}

std::vector<std::string> StandInPortal::waitForCallCount(std::size_t count, std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, wait, [&] { return calls_.size() >= count; });
    return calls_;
}

void StandInPortal::closeSessionsFromDesktop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closeSessionsRequested_ = true;
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(wakeFd_, &one, sizeof one);
}

std::vector<std::string> StandInPortal::tokensGiven() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return tokens_;
}
