// SPDX-License-Identifier: GPL-3.0-or-later
// The `portal` sink: input through the desktop's remote-desktop portal, the
// one way in that every program of a Wayland desktop (GNOME, KDE Plasma...)
// sees. The desktop asks the user once, in a dialog of its own; the grant is
// kept as a restore token in the user's state directory, so that later
// sessions open without asking. A session is open only while a phone drives
// (the desktop shows that it is being controlled): it is opened again at each
// login and closed, after every held key and button is let go, when the phone
// goes away. Where the portal keeps no grant, the first session stays open
// instead, so that the user is not asked at every login.
#pragma once

#include "sinks/DeviceSink.h"
#include "sinks/RemoteDesktopPortal.h"
#include "sinks/RestoreTokenFile.h"

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class PortalSink : public DeviceSink {
public:
    struct Settings {
        RestoreTokenFile tokenFile{""};
        // How long the user may take to answer the desktop's dialog.
        std::chrono::milliseconds permissionWait{std::chrono::minutes(2)};
        // How long the session bus and the portal may take to answer at all.
        std::chrono::milliseconds busWait{std::chrono::seconds(10)};
    };

    // Connects to the portal and opens a first session, waiting (within the
    // bounds of `settings`) for the user's answer. Null with `error`, one
    // line, and `failure` when the portal is missing, the user refuses or
    // does not answer (the line then says how to be asked again), or the
    // portal fails.
    static std::unique_ptr<PortalSink> open(const Settings& settings, std::string& error,
                                            RemoteDesktopPortal::Failure& failure);
    ~PortalSink() override;

    void loginAnswered(bool accepted) override;
    void keyboard(uint8_t state, uint32_t keycode) override;
    void mouse(uint8_t buttons, int16_t dx, int16_t dy) override;
    // Lets go of what the phone held, then closes the session.
    void releaseHeld() override;
    PollRequest pollRequest() const override;
    bool handlePoll(short revents) override;
    bool permissionWithheld() const override;

protected:
    bool pressKey(uint32_t keysym, bool down) override;
    void pressButton(MouseButton button, bool down) override;
    void moveBy(int dx, int dy) override;
    void scrollStep(bool up) override;

private:
    PortalSink(std::unique_ptr<RemoteDesktopPortal> portal, Settings settings);

    void opened(uint32_t devices, const std::string& restoreToken);
    void failed(RemoteDesktopPortal::Failure failure, const std::string& why);
    void closedByDesktop();
    // Holds an event that came while the session was being opened.
    void wait(bool isKey, uint8_t state, uint32_t keycode, int16_t dx, int16_t dy);
    bool mayDeliver();

    struct WaitingEvent {
        bool isKey;
        uint8_t state; // the key state, or the mouse buttons
        uint32_t keycode;
        int16_t dx, dy;
    };

    std::unique_ptr<RemoteDesktopPortal> portal_;
    Settings settings_;
    std::string restoreToken_;
    // The portal keeps the grant: sessions may be closed and opened again
    // without asking the user.
    bool reopenable_ = false;
    std::vector<WaitingEvent> waiting_;
    std::set<uint32_t> keysDown_; // the keysyms pressed on the session
    std::optional<RemoteDesktopPortal::Failure> failure_;
    std::string failureReason_;
    bool toldDropped_ = false;
};
