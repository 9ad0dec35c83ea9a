// SPDX-License-Identifier: GPL-3.0-or-later
#include "RemoteViewController.h"

#include "WireFormat.h"
#include "NotificationNames.h"
#include "RemoteProtocol.h"
#include "RemoteProtocolUtils.h"
#include "RemotePanelLook.h"
#include "SoundServer.h"

#include "platform/Button.h"
#include "platform/Event.h"
#include "platform/GrowingForm.h"
#include "platform/NotificationCenter.h"
#include "platform/StatusBar.h"

#include "ui_RemoteView.h"

using platform::Button;
using platform::Control;
using platform::Event;

namespace {

// The touch a pad handler reads: one of the event's touches on that pad.
platform::Touch* padTouch(Control* pad, Event* event)
{
    return event ? event->touchesForView(pad).anyObject() : nullptr;
}

PadPoint padLocation(const platform::Touch* touch, const Control* pad)
{
    const QPointF location = touch->locationInView(pad);
    return {float(location.x()), float(location.y())};
}

// Every key of the panel is a tap of the key: down and up, one after the
// other. The results are not looked at; a lost session shows at the next
// connection check.
void sendKeyStroke(uint32_t keyCode)
{
    remote_sendKeyboardEvent(1, keyCode);
    remote_sendKeyboardEvent(0, keyCode);
}

} // namespace

RemoteViewController::RemoteViewController(QObject* parent)
    : platform::ViewController(QStringLiteral("RemoteView"), parent), ui_(std::make_unique<Ui::RemoteView>())
{
}

RemoteViewController::~RemoteViewController() = default;

void RemoteViewController::loadView()
{
    loadViewFromForm(*ui_);
    // On a taller phone the pads take the extra height; the rows below them
    // keep their size at the bottom.
    new platform::GrowingForm(view());
}

void RemoteViewController::viewDidLoad()
{
    platform::ViewController::viewDidLoad();
    buildButtonMaps();
    bindActions();
    applyRemotePanelLook(*ui_);
}

void RemoteViewController::buildButtonMaps()
{
    const std::pair<Button*, uint32_t> entries[] = {
        {ui_->buttonPower, RemoteKeyCode::Power},
        {ui_->buttonMenu, RemoteKeyCode::Menu},
        {ui_->buttonInfo, RemoteKeyCode::Info},
        {ui_->buttonMain, RemoteKeyCode::Main},
        {ui_->buttonUp, RemoteKeyCode::Up},
        {ui_->buttonDown, RemoteKeyCode::Down},
        {ui_->buttonLeft, RemoteKeyCode::Left},
        {ui_->buttonRight, RemoteKeyCode::Right},
        {ui_->buttonPageUp, RemoteKeyCode::PageUp},
        {ui_->buttonPageDown, RemoteKeyCode::PageDown},
        {ui_->buttonSelect, RemoteKeyCode::Select},
        {ui_->buttonBack, RemoteKeyCode::Back},
        {ui_->buttonVolumeMute, RemoteKeyCode::VolumeMute},
        {ui_->buttonVolumeDown, RemoteKeyCode::VolumeDown},
        {ui_->buttonVolumeUp, RemoteKeyCode::VolumeUp},
        {ui_->buttonChannelUp, RemoteKeyCode::ChannelUp},
        {ui_->buttonChannelDown, RemoteKeyCode::ChannelDown},
        {ui_->buttonRecord, RemoteKeyCode::Record},
        {ui_->buttonPlayPause, RemoteKeyCode::PlayPause},
        {ui_->buttonStop, RemoteKeyCode::Stop},
        {ui_->buttonNext, RemoteKeyCode::Next},
        {ui_->buttonPrevious, RemoteKeyCode::Previous},
        {ui_->buttonRewind, RemoteKeyCode::Rewind},
        {ui_->buttonForward, RemoteKeyCode::Forward},
    };
    buttonMaps_.clear();
    for (const auto& [button, keyCode] : entries)
        buttonMaps_.insert(buttonKey(button), keyCode);
}

void RemoteViewController::bindActions()
{
    using namespace platform;
    for (Button* button : {ui_->buttonPower, ui_->buttonMenu, ui_->buttonInfo, ui_->buttonMain, ui_->buttonUp,
                           ui_->buttonDown, ui_->buttonLeft, ui_->buttonRight, ui_->buttonPageUp, ui_->buttonPageDown,
                           ui_->buttonSelect, ui_->buttonBack, ui_->buttonVolumeMute, ui_->buttonVolumeDown,
                           ui_->buttonVolumeUp, ui_->buttonChannelUp, ui_->buttonChannelDown, ui_->buttonRecord,
                           ui_->buttonPlayPause, ui_->buttonStop, ui_->buttonNext, ui_->buttonPrevious,
                           ui_->buttonRewind, ui_->buttonForward}) {
        button->addTarget(this, &RemoteViewController::buttonPushed, ControlEventTouchDown);
        // A finger slid off the button before lifting takes the press back, as on any button.
        button->addTarget(this, &RemoteViewController::buttonReleased, ControlEventTouchUpInside);
    }

    // A swipe may well end beyond the pad's edge: it still counts.
    const ControlEvents drag = ControlEventTouchDragInside | ControlEventTouchDragOutside;
    const ControlEvents lift = ControlEventTouchUpInside | ControlEventTouchUpOutside;
    ui_->arrowPad->addTarget(this, &RemoteViewController::arrowTouchDown, ControlEventTouchDown);
    ui_->arrowPad->addTarget(this, &RemoteViewController::arrowTouchDrag, drag);
    ui_->arrowPad->addTarget(this, &RemoteViewController::arrowTouchUp, lift);
    ui_->pagePad->addTarget(this, &RemoteViewController::pageTouchDown, ControlEventTouchDown);
    ui_->pagePad->addTarget(this, &RemoteViewController::pageTouchDrag, drag);
    ui_->pagePad->addTarget(this, &RemoteViewController::pageTouchUp, lift);

    ui_->buttonTabBar->addTarget(this, &RemoteViewController::toggleTabbar, ControlEventTouchUpInside);
    ui_->buttonSettings->addTarget(this, &RemoteViewController::selectedSettings, ControlEventTouchUpInside);
}

void RemoteViewController::viewWillAppear(bool animated)
{
    platform::ViewController::viewWillAppear(animated);
    // The keyboard screen may have hidden it.
    platform::StatusBar::shared().setHidden(false, false);
}

void RemoteViewController::buttonPushed(Control*)
{
    play_keypress();
}

void RemoteViewController::buttonReleased(Control* sender)
{
    RemoteProtocolUtils::checkConnection();
    const auto entry = buttonMaps_.constFind(buttonKey(sender));
    if (entry == buttonMaps_.constEnd())
        return;
    sendKeyStroke(entry.value());
    play_keyrelease();
}

void RemoteViewController::arrowTouchDown(Control* sender, Event* event)
{
    if (platform::Touch* touch = padTouch(sender, event))
        arrowPreviousPoint_ = padLocation(touch, sender);
}

void RemoteViewController::arrowTouchDrag(Control*, Event*)
{
    // A swipe is measured from touch-down to lift only.
}

void RemoteViewController::arrowTouchUp(Control* sender, Event* event)
{
    platform::Touch* touch = padTouch(sender, event);
    RemoteProtocolUtils::checkConnection();
    if (!touch)
        return;
    const int tapCount = touch->tapCount();
    uint32_t keyCode = 0;
    if (tapCount == 0)
        keyCode = arrowSwipeKeyCode(arrowPreviousPoint_, padLocation(touch, sender));
    else if (tapCount == 1)
        keyCode = RemoteKeyCode::Select;
    else
        return; // the second tap of a double tap: its first tap already selected
    sendKeyStroke(keyCode);
    play_click();
}

void RemoteViewController::pageTouchDown(Control* sender, Event* event)
{
    if (platform::Touch* touch = padTouch(sender, event)) {
        pageButtonTouchDownPoint_ = padLocation(touch, sender);
        pagePreviousPoint_ = pageButtonTouchDownPoint_;
    }
}

void RemoteViewController::pageTouchDrag(Control* sender, Event* event)
{
    platform::Touch* touch = padTouch(sender, event);
    if (!touch)
        return;
    const PadPoint location = padLocation(touch, sender);
    const uint32_t keyCode = pageStepKeyCode(padSteps(pagePreviousPoint_.y, location.y));
    if (keyCode == 0)
        return; // slow movement adds up until a whole step is reached
    // One page per drag event, however far the finger went in it.
    sendKeyStroke(keyCode);
    play_keypress();
    pagePreviousPoint_.y = location.y;
}

void RemoteViewController::pageTouchUp(Control* sender, Event* event)
{
    platform::Touch* touch = padTouch(sender, event);
    RemoteProtocolUtils::checkConnection();
    if (touch && touch->tapCount() == 1 && padLocation(touch, sender) == pageButtonTouchDownPoint_) {
        sendKeyStroke(RemoteKeyCode::Select);
        play_click();
        return;
    }
    play_keyrelease();
}

void RemoteViewController::toggleTabbar(Control*)
{
    platform::NotificationCenter::defaultCenter().postNotification(notification::kToggleTabBar);
}

void RemoteViewController::selectedSettings(Control*)
{
    platform::NotificationCenter::defaultCenter().postNotification(notification::kSettings);
}

#define REMOTE_OUTLET(name) \
    Button* RemoteViewController::name() const { return isViewLoaded() ? ui_->name : nullptr; }
REMOTE_OUTLET(buttonLeft)
REMOTE_OUTLET(buttonRight)
REMOTE_OUTLET(buttonDown)
REMOTE_OUTLET(buttonUp)
REMOTE_OUTLET(buttonSelect)
REMOTE_OUTLET(buttonMenu)
REMOTE_OUTLET(buttonBack)
REMOTE_OUTLET(buttonPageUp)
REMOTE_OUTLET(buttonPageDown)
REMOTE_OUTLET(buttonVolumeUp)
REMOTE_OUTLET(buttonVolumeDown)
REMOTE_OUTLET(buttonVolumeMute)
REMOTE_OUTLET(buttonChannelUp)
REMOTE_OUTLET(buttonChannelDown)
REMOTE_OUTLET(buttonInfo)
REMOTE_OUTLET(buttonPlayPause)
REMOTE_OUTLET(buttonRecord)
REMOTE_OUTLET(buttonStop)
REMOTE_OUTLET(buttonRewind)
REMOTE_OUTLET(buttonForward)
REMOTE_OUTLET(buttonNext)
REMOTE_OUTLET(buttonPrevious)
REMOTE_OUTLET(buttonMain)
REMOTE_OUTLET(buttonPower)
REMOTE_OUTLET(buttonSettings)
REMOTE_OUTLET(buttonTabBar)
REMOTE_OUTLET(arrowPad)
REMOTE_OUTLET(pagePad)
#undef REMOTE_OUTLET
