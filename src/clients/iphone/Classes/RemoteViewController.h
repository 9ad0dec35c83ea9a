// SPDX-License-Identifier: GPL-3.0-or-later
// RemoteViewController: the media-remote screen (tab 2). Its 24 panel buttons
// each send one command code, key down and key up together, when released;
// the arrow pad turns a swipe into an arrow key and a tap into Select; the
// page pad turns vertical dragging into Page Up or Page Down per 40 points and
// a tap into Select. Two more buttons toggle the tab bar and ask for settings.
#pragma once

#include "RemoteGestures.h"

#include "platform/ViewController.h"

#include <QHash>
#include <cstdint>
#include <memory>

namespace Ui {
class RemoteView;
}
namespace platform {
class Button;
class Control;
class Event;
} // namespace platform

class RemoteViewController : public platform::ViewController {
    Q_OBJECT

public:
    explicit RemoteViewController(QObject* parent = nullptr);
    ~RemoteViewController() override;

    // Outlets from "RemoteView.ui"; null until the view has loaded.
    platform::Button* buttonLeft() const;
    platform::Button* buttonRight() const;
    platform::Button* buttonDown() const;
    platform::Button* buttonUp() const;
    platform::Button* buttonSelect() const;
    platform::Button* buttonMenu() const;
    platform::Button* buttonBack() const;
    platform::Button* buttonPageUp() const;
    platform::Button* buttonPageDown() const;
    platform::Button* buttonVolumeUp() const;
    platform::Button* buttonVolumeDown() const;
    platform::Button* buttonVolumeMute() const;
    platform::Button* buttonChannelUp() const;
    platform::Button* buttonChannelDown() const;
    platform::Button* buttonInfo() const;
    platform::Button* buttonPlayPause() const;
    platform::Button* buttonRecord() const;
    platform::Button* buttonStop() const;
    platform::Button* buttonRewind() const;
    platform::Button* buttonForward() const;
    platform::Button* buttonNext() const;
    platform::Button* buttonPrevious() const;
    platform::Button* buttonMain() const;
    platform::Button* buttonPower() const;
    platform::Button* buttonSettings() const;
    platform::Button* buttonTabBar() const;
    platform::Button* arrowPad() const;
    platform::Button* pagePad() const;

    // Panel button identity (its address as a signed integer) -> key code.
    // Built when the view loads; exactly the 24 panel buttons.
    using ButtonMap = QHash<qintptr, uint32_t>;
    const ButtonMap& buttonMaps() const { return buttonMaps_; }
    static qintptr buttonKey(const QObject* button) { return reinterpret_cast<qintptr>(button); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Target-action handlers, bound to the controls when the view loads.
    void buttonPushed(platform::Control* sender);
    void buttonReleased(platform::Control* sender);
    void arrowTouchDown(platform::Control* sender, platform::Event* event);
    void arrowTouchDrag(platform::Control* sender, platform::Event* event);
    void arrowTouchUp(platform::Control* sender, platform::Event* event);
    void pageTouchDown(platform::Control* sender, platform::Event* event);
    void pageTouchDrag(platform::Control* sender, platform::Event* event);
    void pageTouchUp(platform::Control* sender, platform::Event* event);
    void toggleTabbar(platform::Control* sender);
    void selectedSettings(platform::Control* sender);

protected:
    void loadView() override;

private:
    void buildButtonMaps();
    void bindActions();

    std::unique_ptr<Ui::RemoteView> ui_;
    ButtonMap buttonMaps_;
    PadPoint arrowPreviousPoint_;
    PadPoint pagePreviousPoint_;
    PadPoint pageButtonTouchDownPoint_;
};
