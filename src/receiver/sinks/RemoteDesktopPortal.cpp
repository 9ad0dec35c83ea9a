// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/RemoteDesktopPortal.h"

#include "common/Notice.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <poll.h>

namespace {

constexpr const char* kService = "org.freedesktop.portal.Desktop";
constexpr const char* kObject = "/org/freedesktop/portal/desktop";
constexpr const char* kInterface = "org.freedesktop.portal.RemoteDesktop";
constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";
constexpr const char* kSessionInterface = "org.freedesktop.portal.Session";

// How long a request other than Start may take to be answered.
constexpr std::chrono::seconds kRequestWait{25};
// Input calls not answered yet beyond which movements and wheel steps are
// dropped (four times as many for keys and buttons): a portal that has
// stopped reading must not make the receiver's memory grow without end.
constexpr unsigned kBehindLimit = 1024;
// At exit, how long the last calls (the releases, Close) may take to leave.
constexpr std::chrono::seconds kFlushWait{1};
// The persist modes of SelectDevices: until the user revokes it.
constexpr uint32_t kPersistUntilRevoked = 2;

// Portal response codes.
constexpr uint32_t kResponseSuccess = 0;
constexpr uint32_t kResponseCancelled = 1;

using Clock = std::chrono::steady_clock;

uint64_t microseconds(std::chrono::milliseconds wait)
{
    return uint64_t(std::max<long long>(wait.count(), 0)) * 1000;
}

uint64_t monotonicNowMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000 + uint64_t(now.tv_nsec) / 1000;
}

std::string errnoText(int negativeErrno)
{
    return std::strerror(-negativeErrno);
}

// A request's handle_token and the like: letters and digits only.
std::string tokenFor(unsigned serial)
{
    return "quillon" + std::to_string(serial);
}

// The values of an a{sv} that this code reads: strings and object paths,
// and unsigned numbers. Others are skipped.
struct Vardict {
    std::map<std::string, std::string> strings;
    std::map<std::string, uint32_t> numbers;
};

bool readVardict(sd_bus_message* message, Vardict& dict)
{
    if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0)
        return false;
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const char* key = nullptr;
        char type = 0;
        const char* contents = nullptr;
        if (sd_bus_message_read(message, "s", &key) < 0 || sd_bus_message_peek_type(message, &type, &contents) < 0
            || !contents)
            return false;
        const std::string name = key;
        if (std::strcmp(contents, "s") == 0 || std::strcmp(contents, "o") == 0) {
            const char* value = nullptr;
            if (sd_bus_message_read(message, "v", contents, &value) < 0)
                return false;
            dict.strings[name] = value;
        } else if (std::strcmp(contents, "u") == 0) {
            uint32_t value = 0;
            if (sd_bus_message_read(message, "v", "u", &value) < 0)
                return false;
            dict.numbers[name] = value;
        } else if (sd_bus_message_skip(message, "v") < 0) {
            return false;
        }
        if (sd_bus_message_exit_container(message) < 0)
            return false;
    }
    return sd_bus_message_exit_container(message) >= 0;
}

void unref(sd_bus_slot*& slot)
{
    slot = sd_bus_slot_unref(slot);
}

} // namespace

struct RemoteDesktopPortal::Event {
    enum class Kind { RequestReply, Response, SessionClosed } kind;
    std::string path;      // of the request or session it is about
    std::string error;     // a failed reply's error message
    std::string errorName; // and its D-Bus name
    uint32_t code = 0;     // the response code
    Vardict results;
};

struct BusCallbacks {
    static int onRequestReply(sd_bus_message* reply, void* self, sd_bus_error*);
    static int onResponse(sd_bus_message* message, void* self, sd_bus_error*);
    static int onSessionClosed(sd_bus_message* message, void* self, sd_bus_error*);
    static int onInputReply(sd_bus_message* reply, void* self, sd_bus_error*);
};

std::unique_ptr<RemoteDesktopPortal> RemoteDesktopPortal::connect(std::chrono::milliseconds wait, std::string& error)
{
    sd_bus* bus = nullptr;
    int result = sd_bus_open_user(&bus);
    if (result < 0) {
        error = "no remote-desktop portal: cannot reach the session bus (" + errnoText(result) + ")";
        return nullptr;
    }
    std::unique_ptr<RemoteDesktopPortal> portal(new RemoteDesktopPortal(bus));
    sd_bus_set_method_call_timeout(bus, microseconds(wait));

    sd_bus_error failure = SD_BUS_ERROR_NULL;
    uint32_t devices = 0;
    result = sd_bus_get_property_trivial(bus, kService, kObject, kInterface, "version", &failure, 'u',
                                         &portal->version_);
    if (result >= 0)
        result = sd_bus_get_property_trivial(bus, kService, kObject, kInterface, "AvailableDeviceTypes", &failure,
                                             'u', &devices);
    if (result < 0) {
        error = std::string("no remote-desktop portal on this desktop (") + kInterface + ": "
                + (failure.message ? failure.message : errnoText(result)) + ")";
        sd_bus_error_free(&failure);
        return nullptr;
    }
    if ((devices & (kKeyboard | kPointer)) != (kKeyboard | kPointer)) {
        error = "the desktop's remote-desktop portal offers no keyboard and pointer";
        return nullptr;
    }
    const char* unique = nullptr;
    result = sd_bus_get_unique_name(bus, &unique);
    if (result < 0 || !unique || unique[0] != ':') {
        error = "no remote-desktop portal: the session bus gave no name (" + errnoText(result) + ")";
        return nullptr;
    }
    // ":1.42" is "1_42" in the portal's request and session paths.
    for (const char* c = unique + 1; *c; ++c)
        portal->senderPart_ += *c == '.' ? '_' : *c;
    return portal;
}

RemoteDesktopPortal::RemoteDesktopPortal(sd_bus* bus)
    : bus_(bus)
{
}

RemoteDesktopPortal::~RemoteDesktopPortal()
{
    close();
    // What is still queued (the last releases, Close) leaves now, within a bound.
    const auto deadline = Clock::now() + kFlushWait;
    uint64_t queued = 0;
    while (sd_bus_get_n_queued_write(bus_, &queued) >= 0 && queued > 0 && Clock::now() < deadline) {
        if (sd_bus_process(bus_, nullptr) < 0)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        sd_bus_wait(bus_, microseconds(left));
    }
    unref(closedSlot_);
    sd_bus_close_unref(bus_);
}

void RemoteDesktopPortal::open(const std::string& restoreToken, std::chrono::milliseconds startWait)
{
    close();
    restoreToken_ = restoreToken;
    startWait_ = startWait;
    state_ = State::Opening;
    sessionPath_.clear();
    request(Step::CreateSession);
}

bool RemoteDesktopPortal::subscribeResponse(const std::string& path, sd_bus_slot*& slot)
{
    return sd_bus_match_signal(bus_, &slot, kService, path.c_str(), kRequestInterface, "Response",
                               BusCallbacks::onResponse, this)
           >= 0;
}

void RemoteDesktopPortal::request(Step step)
{
    forgetOpening();
    step_ = step;
    const std::string token = tokenFor(++serial_);
    requestPath_ = std::string(kObject) + "/request/" + senderPart_ + "/" + token;
    // Subscribed before the call: the portal may answer before its reply
    // to the call itself arrives.
    if (!subscribeResponse(requestPath_, responseSlot_)) {
        fail(Failure::Failed, "cannot subscribe to the portal's answers");
        return;
    }

    static const char* const methods[] = {"CreateSession", "SelectDevices", "Start"};
    sd_bus_message* call = nullptr;
    int result = sd_bus_message_new_method_call(bus_, &call, kService, kObject, kInterface, methods[int(step)]);
    if (result >= 0 && step != Step::CreateSession)
        result = sd_bus_message_append(call, "o", sessionPath_.c_str());
    if (result >= 0 && step == Step::Start)
        result = sd_bus_message_append(call, "s", ""); // no parent window
    if (result >= 0)
        result = sd_bus_message_open_container(call, 'a', "{sv}");
    if (result >= 0)
        result = sd_bus_message_append(call, "{sv}", "handle_token", "s", token.c_str());
    if (result >= 0 && step == Step::CreateSession) {
        result = sd_bus_message_append(call, "{sv}", "session_handle_token", "s", token.c_str());
        sessionPath_ = std::string(kObject) + "/session/" + senderPart_ + "/" + token;
    }
    if (result >= 0 && step == Step::SelectDevices) {
        result = sd_bus_message_append(call, "{sv}", "types", "u", kKeyboard | kPointer);
        if (result >= 0 && canRestore())
            result = sd_bus_message_append(call, "{sv}", "persist_mode", "u", kPersistUntilRevoked);
        if (result >= 0 && canRestore() && !restoreToken_.empty())
            result = sd_bus_message_append(call, "{sv}", "restore_token", "s", restoreToken_.c_str());
    }
    if (result >= 0)
        result = sd_bus_message_close_container(call);
    if (result >= 0)
        result = sd_bus_call_async(bus_, &callSlot_, call, BusCallbacks::onRequestReply, this,
                                   microseconds(kRequestWait));
    if (result >= 0)
        result = sd_bus_message_get_cookie(call, &callCookie_);
    sd_bus_message_unref(call);
    if (result < 0) {
        fail(Failure::Failed, std::string("cannot call ") + methods[int(step)] + ": " + errnoText(result));
        return;
    }
    stepDeadline_ = Clock::now() + (step == Step::Start ? startWait_ : kRequestWait);
}

int BusCallbacks::onRequestReply(sd_bus_message* reply, void* self, sd_bus_error*)
{
    auto* portal = static_cast<RemoteDesktopPortal*>(self);
    uint64_t cookie = 0;
    if (sd_bus_message_get_reply_cookie(reply, &cookie) < 0 || cookie != portal->callCookie_)
        return 0;
    RemoteDesktopPortal::Event event{RemoteDesktopPortal::Event::Kind::RequestReply, {}, {}, {}, 0, {}};
    if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
        event.error = error->message ? error->message : "an error without a message";
        event.errorName = error->name ? error->name : "";
    } else {
        const char* handle = nullptr;
        if (sd_bus_message_read(reply, "o", &handle) >= 0 && handle)
            event.path = handle;
    }
    portal->events_.push_back(std::move(event));
    return 0;
}

int BusCallbacks::onResponse(sd_bus_message* message, void* self, sd_bus_error*)
{
    auto* portal = static_cast<RemoteDesktopPortal*>(self);
    const char* path = sd_bus_message_get_path(message);
    RemoteDesktopPortal::Event event{RemoteDesktopPortal::Event::Kind::Response, path ? path : "", {}, {}, 0, {}};
    if (sd_bus_message_read(message, "u", &event.code) < 0 || !readVardict(message, event.results)) {
        event.error = "the portal's answer could not be read";
        event.code = kResponseCancelled + 1;
    }
    portal->events_.push_back(std::move(event));
    return 0;
}

int BusCallbacks::onSessionClosed(sd_bus_message* message, void* self, sd_bus_error*)
{
    auto* portal = static_cast<RemoteDesktopPortal*>(self);
    const char* path = sd_bus_message_get_path(message);
    portal->events_.push_back(
        RemoteDesktopPortal::Event{RemoteDesktopPortal::Event::Kind::SessionClosed, path ? path : "", {}, {}, 0, {}});
    return 0;
}

void RemoteDesktopPortal::handleEvent(const Event& event)
{
    switch (event.kind) {
    case Event::Kind::RequestReply:
        if (state_ != State::Opening)
            return;
        if (!event.error.empty()) {
            const bool missing = event.errorName == "org.freedesktop.DBus.Error.ServiceUnknown"
                                 || event.errorName == "org.freedesktop.DBus.Error.UnknownMethod"
                                 || event.errorName == "org.freedesktop.DBus.Error.UnknownObject"
                                 || event.errorName == "org.freedesktop.DBus.Error.UnknownInterface";
            fail(missing ? Failure::Missing : Failure::Failed, "the remote-desktop portal failed: " + event.error);
            return;
        }
        // Portals before 0.9 chose their own request path.
        if (!event.path.empty() && event.path != requestPath_ && otherRequestPath_.empty()) {
            otherRequestPath_ = event.path;
            subscribeResponse(otherRequestPath_, otherResponseSlot_);
        }
        return;
    case Event::Kind::Response:
        if (state_ == State::Opening && !event.path.empty()
            && (event.path == requestPath_ || event.path == otherRequestPath_))
            handleResponse(event);
        return;
    case Event::Kind::SessionClosed:
        if (event.path != sessionPath_ || state_ == State::Closed)
            return;
        if (state_ == State::Open) {
            state_ = State::Closed;
            forgetOpening();
            unref(closedSlot_);
            sessionPath_.clear();
            if (handlers_.closedByDesktop)
                handlers_.closedByDesktop();
        } else {
            sessionPath_.clear(); // nothing left to close
            fail(Failure::Failed, "the desktop closed the remote-desktop session while it was being opened");
        }
        return;
    }
}

void RemoteDesktopPortal::handleResponse(const Event& event)
{
    forgetOpening(); // this request is answered
    if (event.code == kResponseCancelled) {
        fail(Failure::Refused, "remote control was refused on the desktop");
        return;
    }
    if (event.code != kResponseSuccess) {
        fail(Failure::Failed, event.error.empty() ? "the remote-desktop portal ended the request (response "
                                                        + std::to_string(event.code) + ")"
                                                  : event.error);
        return;
    }
    switch (step_) {
    case Step::CreateSession: {
        if (const auto handle = event.results.strings.find("session_handle"); handle != event.results.strings.end())
            sessionPath_ = handle->second;
        unref(closedSlot_);
        if (sd_bus_match_signal(bus_, &closedSlot_, kService, sessionPath_.c_str(), kSessionInterface, "Closed",
                                BusCallbacks::onSessionClosed, this)
            < 0) {
            fail(Failure::Failed, "cannot subscribe to the session's end");
            return;
        }
        request(Step::SelectDevices);
        return;
    }
    case Step::SelectDevices:
        request(Step::Start);
        return;
    case Step::Start: {
        forgetOpening();
        state_ = State::Open;
        const auto devices = event.results.numbers.find("devices");
        const auto token = event.results.strings.find("restore_token");
        if (handlers_.opened)
            handlers_.opened(devices == event.results.numbers.end() ? kKeyboard | kPointer : devices->second,
                             token == event.results.strings.end() ? std::string() : token->second);
        return;
    }
    }
}

void RemoteDesktopPortal::fail(Failure failure, const std::string& why)
{
    close();
    if (handlers_.failed)
        handlers_.failed(failure, why);
}

void RemoteDesktopPortal::forgetOpening()
{
    unref(responseSlot_);
    unref(otherResponseSlot_);
    unref(callSlot_);
    callCookie_ = 0;
    otherRequestPath_.clear();
}

void RemoteDesktopPortal::callClose(const std::string& path, const char* interface)
{
    sd_bus_call_method_async(bus_, nullptr, kService, path.c_str(), interface, "Close", nullptr, nullptr, "");
}

void RemoteDesktopPortal::close()
{
    if (state_ == State::Opening && responseSlot_) {
        // A request still waiting: closing it takes its dialog away.
        callClose(otherRequestPath_.empty() ? requestPath_ : otherRequestPath_, kRequestInterface);
    }
    if (state_ != State::Closed && !sessionPath_.empty())
        callClose(sessionPath_, kSessionInterface);
    state_ = State::Closed;
    forgetOpening();
    unref(closedSlot_);
    sessionPath_.clear();
}

bool RemoteDesktopPortal::process()
{
    for (;;) {
        const int result = sd_bus_process(bus_, nullptr);
        if (result < 0) {
            state_ = State::Closed;
            forgetOpening();
            unref(closedSlot_);
            sessionPath_.clear();
            events_.clear();
            if (handlers_.failed)
                handlers_.failed(Failure::Failed, "lost the session bus (" + errnoText(result) + ")");
            return false;
        }
        // Handled here rather than in sd-bus's callbacks, so that what they
        // lead to (the next request, the owner's handlers) may change the
        // subscriptions freely.
        while (!events_.empty()) {
            const Event event = std::move(events_.front());
            events_.pop_front();
            handleEvent(event);
        }
        if (result == 0)
            break;
    }
    if (state_ == State::Opening && Clock::now() >= stepDeadline_) {
        const auto seconds = std::chrono::ceil<std::chrono::seconds>(
                                 step_ == Step::Start ? startWait_ : std::chrono::milliseconds(kRequestWait))
                                 .count();
        fail(step_ == Step::Start ? Failure::Unanswered : Failure::Failed, step_ == Step::Start
                                  ? "no answer from the desktop's permission dialog within "
                                        + std::to_string(seconds) + " s"
                                  : "the remote-desktop portal did not answer within " + std::to_string(seconds)
                                        + " s");
    }
    return true;
}

void RemoteDesktopPortal::waitWhileOpening()
{
    // Each step of the opening has its own deadline, enforced by process().
    while (state_ == State::Opening) {
        if (!process() || state_ != State::Opening)
            return;
        const auto wait = timeout();
        sd_bus_wait(bus_, wait ? microseconds(*wait) : microseconds(kRequestWait));
    }
}

int RemoteDesktopPortal::fd() const
{
    return sd_bus_get_fd(bus_);
}

short RemoteDesktopPortal::events() const
{
    const int events = sd_bus_get_events(bus_);
    return events < 0 ? short(POLLIN) : short(events);
}

std::optional<std::chrono::milliseconds> RemoteDesktopPortal::timeout() const
{
    std::optional<std::chrono::milliseconds> wait;
    uint64_t until = 0;
    if (sd_bus_get_timeout(bus_, &until) > 0 && until != UINT64_MAX) {
        const uint64_t now = monotonicNowMicroseconds();
        // Rounded up, so that the loop does not wake just before it is due.
        wait = std::chrono::milliseconds(until > now ? (until - now + 999) / 1000 : 0);
    }
    if (state_ == State::Opening) {
        const auto step = std::chrono::ceil<std::chrono::milliseconds>(stepDeadline_ - Clock::now());
        const auto stepWait = std::max(step, std::chrono::milliseconds(0));
        if (!wait || stepWait < *wait)
            wait = stepWait;
    }
    return wait;
}

template <typename... Arguments>
bool RemoteDesktopPortal::sendInput(const char* method, bool droppable, const char* types, Arguments... arguments)
{
    if (state_ != State::Open)
        return false;
    if (outstanding_ >= (droppable ? kBehindLimit : 4 * kBehindLimit)) {
        if (!toldBehind_)
            notice("the desktop's portal is not keeping up: input dropped until it catches up");
        toldBehind_ = true;
        return false;
    }
    sd_bus_message* call = nullptr;
    int result = sd_bus_message_new_method_call(bus_, &call, kService, kObject, kInterface, method);
    if (result >= 0)
        result = sd_bus_message_append(call, "oa{sv}", sessionPath_.c_str(), 0);
    if (result >= 0)
        result = sd_bus_message_append(call, types, arguments...);
    if (result >= 0)
        result = sd_bus_call_async(bus_, nullptr, call, BusCallbacks::onInputReply, this, 0);
    sd_bus_message_unref(call);
    if (result < 0)
        return false;
    ++outstanding_;
    return true;
}

int BusCallbacks::onInputReply(sd_bus_message* reply, void* self, sd_bus_error*)
{
    auto* portal = static_cast<RemoteDesktopPortal*>(self);
    if (portal->outstanding_ > 0)
        --portal->outstanding_;
    if (portal->outstanding_ < kBehindLimit / 2)
        portal->toldBehind_ = false;
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    if (error && !portal->toldRefusedInput_) {
        portal->toldRefusedInput_ = true;
        notice(std::string("the desktop's portal refused input: ") + (error->message ? error->message : "?"));
    }
    return 0;
}

bool RemoteDesktopPortal::pointerMotion(double dx, double dy)
{
    return sendInput("NotifyPointerMotion", true, "dd", dx, dy);
}

bool RemoteDesktopPortal::pointerButton(int32_t button, bool pressed)
{
    return sendInput("NotifyPointerButton", false, "iu", button, uint32_t(pressed ? 1 : 0));
}

bool RemoteDesktopPortal::pointerAxisDiscrete(uint32_t axis, int32_t steps)
{
    return sendInput("NotifyPointerAxisDiscrete", true, "ui", axis, steps);
}

bool RemoteDesktopPortal::keyboardKeysym(int32_t keysym, bool pressed)
{
    return sendInput("NotifyKeyboardKeysym", false, "iu", keysym, uint32_t(pressed ? 1 : 0));
}
