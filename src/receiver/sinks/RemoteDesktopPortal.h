// SPDX-License-Identifier: GPL-3.0-or-later
// A remote-desktop session of the desktop's portal
// (org.freedesktop.portal.RemoteDesktop on the session bus), through sd-bus.
// Opening one is three requests, CreateSession, SelectDevices (keyboard and
// pointer, persistent where the portal can) and Start (where the desktop may
// ask the user); each is answered later by the Response signal of a Request
// object, which is subscribed before the request is made so that no answer
// is lost. Nothing here blocks, except waitWhileOpening, which the receiver
// uses once at start-up; the rest runs from the receiver's poll loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct sd_bus;
struct sd_bus_message;
struct sd_bus_slot;

class RemoteDesktopPortal {
public:
    enum class State { Closed, Opening, Open };
    enum class Failure {
        Missing, // no session bus, no portal, or one without keyboard and pointer
        Refused,    // the user said no
        Unanswered, // the user did not answer the permission dialog in time
        Failed,     // the portal failed, did not answer in time, or the bus went away
    };

    // Device types of the portal.
    static constexpr uint32_t kKeyboard = 1;
    static constexpr uint32_t kPointer = 2;

    // What the owner hears, from process() or waitWhileOpening().
    struct Handlers {
        // Start succeeded: the devices granted, and the token that restores
        // this grant next time (empty when the portal keeps none).
        std::function<void(uint32_t devices, const std::string& restoreToken)> opened;
        std::function<void(Failure failure, const std::string& why)> failed;
        // The desktop (or the user, through it) ended an open session.
        std::function<void()> closedByDesktop;
    };

    // Connects to the session bus and checks that the portal is there and
    // offers keyboard and pointer; null with `error` otherwise (a Missing
    // failure). Waits at most `wait` for the bus and the portal to answer.
    static std::unique_ptr<RemoteDesktopPortal> connect(std::chrono::milliseconds wait, std::string& error);
    ~RemoteDesktopPortal();
    RemoteDesktopPortal(const RemoteDesktopPortal&) = delete;
    RemoteDesktopPortal& operator=(const RemoteDesktopPortal&) = delete;

    void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

    // Version 2 of the interface keeps grants (restore tokens).
    bool canRestore() const { return version_ >= 2; }
    State state() const { return state_; }

    // Starts opening a session, restoring the grant of `restoreToken` when
    // there is one. Start may wait for the user up to `startWait`.
    void open(const std::string& restoreToken, std::chrono::milliseconds startWait);
    // Closes the session, or gives up an opening (the desktop then takes its
    // dialog away).
    void close();

    // Handles what the bus has brought, and an opening that ran out of time.
    // False when the bus connection is lost (handlers.failed was called).
    bool process();
    // Runs process() until the opening ends: each of its requests has a
    // deadline (Start the one given to open(), the others 25 s).
    void waitWhileOpening();

    // For the poll loop.
    int fd() const;
    short events() const;
    std::optional<std::chrono::milliseconds> timeout() const;

    // Input on the open session; each returns at once. False when the event
    // was dropped because the portal has fallen far behind.
    bool pointerMotion(double dx, double dy);
    bool pointerButton(int32_t button, bool pressed);
    bool pointerAxisDiscrete(uint32_t axis, int32_t steps);
    bool keyboardKeysym(int32_t keysym, bool pressed);

private:
    enum class Step { CreateSession, SelectDevices, Start };
    // What sd-bus's callbacks saw, handled once sd_bus_process() is done.
    struct Event;

    explicit RemoteDesktopPortal(sd_bus* bus);

    // Sends the request of `step` after subscribing to its Response.
    void request(Step step);
    bool subscribeResponse(const std::string& path, sd_bus_slot*& slot);
    void handleEvent(const Event& event);
    void handleResponse(const Event& event);
    void fail(Failure failure, const std::string& why);
    // Drops the subscriptions and the pending call of an opening.
    void forgetOpening();
    // Close of a request or a session, its answer not awaited.
    void callClose(const std::string& path, const char* interface);
    // An input call on the open session with `arguments` after the session
    // and its (empty) options. False when it was dropped: not open, or the
    // portal has fallen far behind (movements and wheel steps are dropped
    // sooner than keys and buttons).
    template <typename... Arguments>
    bool sendInput(const char* method, bool droppable, const char* types, Arguments... arguments);

    // sd-bus's callbacks, which note what came in events_.
    friend struct BusCallbacks;

    sd_bus* bus_;
    Handlers handlers_;
    uint32_t version_ = 0;
    std::string senderPart_; // our unique name as request paths spell it
    State state_ = State::Closed;
    Step step_ = Step::CreateSession;
    unsigned serial_ = 0;
    std::string restoreToken_;
    std::string requestPath_;
    std::string otherRequestPath_; // where an old portal chose another request path
    std::string sessionPath_;
    sd_bus_slot* responseSlot_ = nullptr;
    sd_bus_slot* otherResponseSlot_ = nullptr;
    sd_bus_slot* callSlot_ = nullptr;
    uint64_t callCookie_ = 0;
    sd_bus_slot* closedSlot_ = nullptr;
    std::deque<Event> events_;
    std::chrono::milliseconds startWait_{0};
    std::chrono::steady_clock::time_point stepDeadline_;
    unsigned outstanding_ = 0; // input calls not answered yet
    bool toldBehind_ = false;
    bool toldRefusedInput_ = false;
};
