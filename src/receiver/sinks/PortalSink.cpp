// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/PortalSink.h"

#include "common/Notice.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

namespace {

// Events held while a session opens (normally a fraction of a second, unless
// the desktop asks the user again); beyond this many they are dropped.
constexpr std::size_t kMaxWaitingEvents = 256;

// The portal's wheel: the vertical axis, a positive step scrolling down.
constexpr uint32_t kVerticalAxis = 0;

// After a refused or unanswered dialog the receiver stops for good; this is
// how its user has the desktop ask again.
constexpr const char* kAskAgain =
    "to be asked again: systemctl --user restart quillon-receiver (or start the receiver again)";

bool isWithheld(RemoteDesktopPortal::Failure failure)
{
    return failure == RemoteDesktopPortal::Failure::Refused || failure == RemoteDesktopPortal::Failure::Unanswered;
}

} // namespace

std::unique_ptr<PortalSink> PortalSink::open(const Settings& settings, std::string& error,
                                             RemoteDesktopPortal::Failure& failure)
{
    auto portal = RemoteDesktopPortal::connect(settings.busWait, error);
    if (!portal) {
        failure = RemoteDesktopPortal::Failure::Missing;
        return nullptr;
    }
    std::unique_ptr<PortalSink> sink(new PortalSink(std::move(portal), settings));
    std::string tokenProblem;
    sink->restoreToken_ = settings.tokenFile.read(&tokenProblem);
    if (!tokenProblem.empty())
        notice(tokenProblem + ": it is not used, and the desktop asks again");
    notice(sink->restoreToken_.empty() || !sink->portal_->canRestore()
               ? "asking the desktop for permission to control this computer: answer its dialog on the screen "
                 "(it asks once)"
               : "opening a remote-desktop session with the permission given before");
    sink->portal_->open(sink->restoreToken_, settings.permissionWait);
    sink->portal_->waitWhileOpening();
    if (sink->failure_) {
        failure = *sink->failure_;
        error = sink->failureReason_ + (isWithheld(failure) ? std::string("; ") + kAskAgain : std::string());
        return nullptr;
    }
    notice("input goes through the desktop's remote-desktop portal");
    // Until a phone logs in, the desktop need not show that it is controlled.
    if (sink->reopenable_)
        sink->portal_->close();
    return sink;
}

PortalSink::PortalSink(std::unique_ptr<RemoteDesktopPortal> portal, Settings settings)
    : portal_(std::move(portal))
    , settings_(std::move(settings))
{
    RemoteDesktopPortal::Handlers handlers;
    handlers.opened = [this](uint32_t devices, const std::string& token) { opened(devices, token); };
    handlers.failed = [this](RemoteDesktopPortal::Failure failure, const std::string& why) { failed(failure, why); };
    handlers.closedByDesktop = [this] { closedByDesktop(); };
    portal_->setHandlers(std::move(handlers));
}

PortalSink::~PortalSink()
{
    releaseHeld();
}

void PortalSink::opened(uint32_t devices, const std::string& restoreToken)
{
    // The token is good for one restore: each session's replaces the last.
    restoreToken_ = restoreToken;
    reopenable_ = portal_->canRestore() && !restoreToken.empty();
    std::string error;
    if (!settings_.tokenFile.write(restoreToken, error))
        notice(error + "; the desktop will ask again at the next start");
    if (!(devices & RemoteDesktopPortal::kKeyboard))
        notice("the desktop granted no keyboard: keys go nowhere");
    if (!(devices & RemoteDesktopPortal::kPointer))
        notice("the desktop granted no pointer: movements and buttons go nowhere");
    toldDropped_ = false;
    std::vector<WaitingEvent> waiting;
    waiting.swap(waiting_);
    for (const WaitingEvent& event : waiting) {
        if (event.isKey)
            DeviceSink::keyboard(event.state, event.keycode);
        else
            DeviceSink::mouse(event.state, event.dx, event.dy);
    }
}

void PortalSink::failed(RemoteDesktopPortal::Failure failure, const std::string& why)
{
    failure_ = failure;
    failureReason_ = why;
    waiting_.clear();
}

void PortalSink::closedByDesktop()
{
    notice("the desktop ended remote control; it is asked for again at the next login");
    waiting_.clear();
    // Nothing can be let go on a closed session: only forget what was held.
    DeviceSink::releaseHeld();
    keysDown_.clear();
}

void PortalSink::loginAnswered(bool accepted)
{
    if (accepted && !failure_ && portal_->state() == RemoteDesktopPortal::State::Closed)
        portal_->open(restoreToken_, settings_.permissionWait);
}

bool PortalSink::mayDeliver()
{
    if (portal_->state() == RemoteDesktopPortal::State::Open)
        return true;
    if (!toldDropped_)
        notice("input ignored: no remote-desktop session is open");
    toldDropped_ = true;
    return false;
}

void PortalSink::wait(bool isKey, uint8_t state, uint32_t keycode, int16_t dx, int16_t dy)
{
    if (waiting_.size() < kMaxWaitingEvents) {
        waiting_.push_back({isKey, state, keycode, dx, dy});
    } else if (!toldDropped_) {
        notice("input ignored while the remote-desktop session opens");
        toldDropped_ = true;
    }
}

void PortalSink::keyboard(uint8_t state, uint32_t keycode)
{
    if (portal_->state() == RemoteDesktopPortal::State::Opening)
        wait(true, state, keycode, 0, 0);
    else if (mayDeliver())
        DeviceSink::keyboard(state, keycode);
}

void PortalSink::mouse(uint8_t buttons, int16_t dx, int16_t dy)
{
    if (portal_->state() == RemoteDesktopPortal::State::Opening)
        wait(false, buttons, 0, dx, dy);
    else if (mayDeliver())
        DeviceSink::mouse(buttons, dx, dy);
}

void PortalSink::releaseHeld()
{
    // Events still waiting for the session never reached the desktop, so
    // nothing of theirs is held.
    waiting_.clear();
    DeviceSink::releaseHeld();
    if (reopenable_ && portal_->state() != RemoteDesktopPortal::State::Closed)
        portal_->close();
}

InputSink::PollRequest PortalSink::pollRequest() const
{
    PollRequest request;
    request.fd = portal_->fd();
    request.events = portal_->events();
    request.timeout = portal_->timeout();
    return request;
}

bool PortalSink::handlePoll(short)
{
    // sd-bus reads what has come and sends what is queued, whatever poll said.
    portal_->process();
    if (!failure_)
        return true;
    notice(failureReason_ + "; stopping" + (isWithheld(*failure_) ? std::string(": ") + kAskAgain : std::string()));
    return false;
}

bool PortalSink::permissionWithheld() const
{
    return failure_ && isWithheld(*failure_);
}

bool PortalSink::pressKey(uint32_t keysym, bool down)
{
    // The desktop types a keysym at the level that has it, pressing Shift
    // itself for an upper-case letter. The phone sends the upper-case keysyms
    // A to Z for the unshifted letter keys, and holds Shift itself when it
    // means it; every other keysym is passed as it is ("É" stays "É").
    const uint32_t sent = keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z ? keysym - XKB_KEY_A + XKB_KEY_a : keysym;
    // A held key is pressed once, as on a real keyboard: on Wayland the
    // programs repeat a held key themselves, and a second press of a key
    // that is down means nothing to the desktop.
    if (down ? !keysDown_.insert(sent).second : keysDown_.erase(sent) == 0)
        return true;
    portal_->keyboardKeysym(int32_t(sent), down);
    // Which key types the keysym is the desktop's business: this sink
    // never knows of one that none does.
    return true;
}

void PortalSink::pressButton(MouseButton button, bool down)
{
    const int32_t code = button == MouseButton::Left ? BTN_LEFT : button == MouseButton::Middle ? BTN_MIDDLE
                                                                                                 : BTN_RIGHT;
    portal_->pointerButton(code, down);
}

void PortalSink::moveBy(int dx, int dy)
{
    portal_->pointerMotion(dx, dy);
}

void PortalSink::scrollStep(bool up)
{
    portal_->pointerAxisDiscrete(kVerticalAxis, up ? -1 : 1);
}
