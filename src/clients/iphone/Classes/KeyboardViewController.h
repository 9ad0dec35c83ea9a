// SPDX-License-Identifier: GPL-3.0-or-later
// KeyboardViewController: the keyboard screen (tab 1), a full PC keyboard in
// landscape. Key presses and releases become key downs and ups at the
// receiver; shift latches with one tap; a held key repeats after 1 s; typed
// text shows for 2 s in the status bar strip; the mode key brings up the
// extended keys (function keys, keypad, editing, media and window keys and
// the arrow key pad) in place of the standard ones.
//
// The window keys (close, minimize, maximize) are command keys: they are
// sent as a down-and-up pair at their release and never held. Every other
// key button is an ordinary key.
//
// Beside the keys, the "text" key opens the text entry (TextEntryController)
// for characters the keys do not have.
#pragma once

#include "KeyTable.h"
#include "UIArrowKeyPad.h"
#include "UIKeyButton.h"

#include "platform/Button.h"
#include "platform/ViewController.h"

#include <QLabel>
#include <QPointer>
#include <QVariantMap>
#include <cstdint>
#include <memory>

namespace Ui {
class KeyboardView;
}
namespace platform {
class Timer;
}
class TextEntryController;
class TextEntryField;

class KeyboardViewController : public platform::ViewController {
    Q_OBJECT

public:
    explicit KeyboardViewController(QObject* parent = nullptr);
    ~KeyboardViewController() override;

    void loadView() override;
    void viewDidLoad() override;
    // Comes back in the standard mode.
    void viewWillAppear(bool animated) override;
    // Ends the touches on the keys, so a key held while the screen goes
    // away is released at the receiver; lets go of a latched shift (key up
    // and "Shift Up", the screen comes back unshifted) and ends a preview
    // that is up (the status bar is shown at once).
    void viewWillDisappear(bool animated) override;
    void didReceiveMemoryWarning() override;

    // Actions of the keys.
    void keypress(UIKeyButton* sender);
    void keyrelease(UIKeyButton* sender);
    void pressShift(platform::Button* sender);
    void releaseShift(platform::Button* sender);
    void pressOsCommandKey(UIKeyButton* sender);
    void releaseOsCommandKey(UIKeyButton* sender);
    void fastSwitch(platform::Button* sender);
    void toggleTabBarReleased(platform::Button* sender);
    void arrowKeyEventHandler(UIArrowKeyPad* sender);

    // true: the extended mode; false: the standard mode. Callers ask only
    // for the other mode.
    void changeMode(bool extended);
    bool isExKeyMode() const { return exKeyMode_; }

    void startRepeatInvokeTimer(uint32_t keycode, UIKeyButton* button);
    void endRepeatInvokeTimer();
    void startRepeatTimer();
    void endRepeatTimer();
    void repeatInvokeTimerHandler();
    void repeatTimerHandler();
    void showStatusBarTimerHandler();
    void updatePreview(uint32_t keycode, UIKeyButton* button);
    void updateKeyButton(bool shifted);

    QWidget* keyboardView() const { return keyboardView_; }
    void setKeyboardView(QWidget* view) { keyboardView_ = view; }
    QVariantMap keymaps() const { return keymaps_; }
    void setKeymaps(const QVariantMap& keymaps) { keymaps_ = keymaps; }

    // The controls, named as in the key table.
    UIArrowKeyPad* arrowKeypad = nullptr;
    UIKeyButton* button_ESC = nullptr;
    UIKeyButton* button_F1 = nullptr;
    UIKeyButton* button_F2 = nullptr;
    UIKeyButton* button_F3 = nullptr;
    UIKeyButton* button_F4 = nullptr;
    UIKeyButton* button_F5 = nullptr;
    UIKeyButton* button_F6 = nullptr;
    UIKeyButton* button_F7 = nullptr;
    UIKeyButton* button_F8 = nullptr;
    UIKeyButton* button_F9 = nullptr;
    UIKeyButton* button_F10 = nullptr;
    UIKeyButton* button_F11 = nullptr;
    UIKeyButton* button_F12 = nullptr;
    UIKeyButton* button_Grave = nullptr;
    UIKeyButton* button_1 = nullptr;
    UIKeyButton* button_2 = nullptr;
    UIKeyButton* button_3 = nullptr;
    UIKeyButton* button_4 = nullptr;
    UIKeyButton* button_5 = nullptr;
    UIKeyButton* button_6 = nullptr;
    UIKeyButton* button_7 = nullptr;
    UIKeyButton* button_8 = nullptr;
    UIKeyButton* button_9 = nullptr;
    UIKeyButton* button_0 = nullptr;
    UIKeyButton* button_Minus = nullptr;
    UIKeyButton* button_Equal = nullptr;
    UIKeyButton* button_BackSpace = nullptr;
    UIKeyButton* button_TAB = nullptr;
    UIKeyButton* button_Q = nullptr;
    UIKeyButton* button_W = nullptr;
    UIKeyButton* button_E = nullptr;
    UIKeyButton* button_R = nullptr;
    UIKeyButton* button_T = nullptr;
    UIKeyButton* button_Y = nullptr;
    UIKeyButton* button_U = nullptr;
    UIKeyButton* button_I = nullptr;
    UIKeyButton* button_O = nullptr;
    UIKeyButton* button_P = nullptr;
    UIKeyButton* button_BracketLeft = nullptr;
    UIKeyButton* button_BracketRight = nullptr;
    UIKeyButton* button_BackSlash = nullptr;
    UIKeyButton* button_CAPSLOCK = nullptr;
    UIKeyButton* button_A = nullptr;
    UIKeyButton* button_S = nullptr;
    UIKeyButton* button_D = nullptr;
    UIKeyButton* button_F = nullptr;
    UIKeyButton* button_G = nullptr;
    UIKeyButton* button_H = nullptr;
    UIKeyButton* button_J = nullptr;
    UIKeyButton* button_K = nullptr;
    UIKeyButton* button_L = nullptr;
    UIKeyButton* button_SemiColon = nullptr;
    UIKeyButton* button_SingleQuote = nullptr;
    UIKeyButton* button_Enter = nullptr;
    platform::Button* button_LSHIFT = nullptr;
    UIKeyButton* button_Z = nullptr;
    UIKeyButton* button_X = nullptr;
    UIKeyButton* button_C = nullptr;
    UIKeyButton* button_V = nullptr;
    UIKeyButton* button_B = nullptr;
    UIKeyButton* button_N = nullptr;
    UIKeyButton* button_M = nullptr;
    UIKeyButton* button_Comma = nullptr;
    UIKeyButton* button_Period = nullptr;
    UIKeyButton* button_Slash = nullptr;
    UIKeyButton* button_LCTRL = nullptr;
    UIKeyButton* button_LWIN = nullptr;
    UIKeyButton* button_LALT = nullptr;
    UIKeyButton* button_SPACE = nullptr;
    UIKeyButton* button_MENU = nullptr;
    UIKeyButton* button_LEFT = nullptr;
    UIKeyButton* button_RIGHT = nullptr;
    UIKeyButton* button_UP = nullptr;
    UIKeyButton* button_DOWN = nullptr;
    UIKeyButton* button_KP_0 = nullptr;
    UIKeyButton* button_KP_1 = nullptr;
    UIKeyButton* button_KP_2 = nullptr;
    UIKeyButton* button_KP_3 = nullptr;
    UIKeyButton* button_KP_4 = nullptr;
    UIKeyButton* button_KP_5 = nullptr;
    UIKeyButton* button_KP_6 = nullptr;
    UIKeyButton* button_KP_7 = nullptr;
    UIKeyButton* button_KP_8 = nullptr;
    UIKeyButton* button_KP_9 = nullptr;
    UIKeyButton* button_KP_Decial = nullptr;
    UIKeyButton* button_KP_Divide = nullptr;
    UIKeyButton* button_KP_Multiply = nullptr;
    UIKeyButton* button_KP_Subtract = nullptr;
    UIKeyButton* button_KP_Add = nullptr;
    UIKeyButton* button_Insert = nullptr;
    UIKeyButton* button_Delete = nullptr;
    UIKeyButton* button_Home = nullptr;
    UIKeyButton* button_End = nullptr;
    UIKeyButton* button_PageUp = nullptr;
    UIKeyButton* button_PageDown = nullptr;
    UIKeyButton* button_Print = nullptr;
    UIKeyButton* button_ScrollLock = nullptr;
    UIKeyButton* button_Break = nullptr;
    UIKeyButton* button_Prev_Track = nullptr;
    UIKeyButton* button_Stop = nullptr;
    UIKeyButton* button_Play = nullptr;
    UIKeyButton* button_Next_Track = nullptr;
    UIKeyButton* button_VolMute = nullptr;
    UIKeyButton* button_VolDown = nullptr;
    UIKeyButton* button_VolUp = nullptr;
    UIKeyButton* button_Close = nullptr;
    UIKeyButton* button_Minimize = nullptr;
    UIKeyButton* button_Maximize = nullptr;
    platform::Button* button_FastSwitch = nullptr;
    platform::Button* button_ToggleTabBar = nullptr;
    QLabel* preview = nullptr;

    // The text entry: its key, its field and the key that closes it.
    UIKeyButton* button_Text = nullptr;
    TextEntryField* textEntryField = nullptr;
    UIKeyButton* button_TextDone = nullptr;
    TextEntryController* textEntry() const { return textEntry_.get(); }

private:
    void connectActions();
    void applyLooks();
    bool isShiftLatched() const;
    void releaseShiftLatch();
    void endPreview();
    void moveControls(KeyMode mode, int dy);
    static bool isKeyButton(const KeyEntry& entry);
    UIKeyButton* keyButton(const KeyEntry& entry);

    std::unique_ptr<Ui::KeyboardView> ui_;
    QVariantMap keymaps_;
    bool pressedCtrl_ = false;
    bool pressedAlt_ = false;
    QPointer<QWidget> keyboardView_;
    bool exKeyMode_ = false;
    std::shared_ptr<platform::Timer> showStatusBarTimer_;
    std::shared_ptr<platform::Timer> repeatInvokeTimer_;
    std::shared_ptr<platform::Timer> repeatTimer_;
    uint32_t repeatKeycode_ = 0;
    QPointer<UIKeyButton> repeatButton_;
    std::unique_ptr<TextEntryController> textEntry_;
};
