// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyboardViewController.h"

#include "KeyCapLook.h"
#include "NotificationNames.h"
#include "RemoteProtocol.h"
#include "RemoteProtocolUtils.h"
#include "SoundServer.h"
#include "TextEntryController.h"
#include "TextEntryField.h"
#include "ui_KeyboardView.h"

#include "platform/Bundle.h"
#include "platform/Image.h"
#include "platform/GrowingForm.h"
#include "platform/NotificationCenter.h"
#include "platform/PhoneLook.h"
#include "platform/StatusBar.h"
#include "platform/Theme.h"
#include "platform/Timer.h"

#include <QFontMetrics>
#include <X11/keysym.h>

using platform::Button;
using platform::ControlStateHighlighted;
using platform::ControlStateNormal;
using platform::ControlStateSelected;

namespace {
constexpr double kRepeatDelay = 1.0;
constexpr double kRepeatInterval = 0.1;
constexpr double kPreviewTime = 2.0;

enum KeyState { KeyUp = 0, KeyDown = 1 };

QString labelOf(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QPixmap imageNamed(const QString& fileName)
{
    const int dot = fileName.lastIndexOf('.');
    return platform::readImageFile(
        platform::Bundle::mainBundle().pathForResource(fileName.left(dot), fileName.mid(dot + 1)));
}

// Printing keys, the keypad's digits, operators and point, and the three
// keys that edit the preview.
bool reachesPreview(uint32_t k)
{
    return (k >= XK_space && k <= XK_asciitilde) || (k >= XK_KP_0 && k <= XK_KP_9)
        || (k >= XK_KP_Multiply && k <= XK_KP_Divide) || k == XK_BackSpace || k == XK_Return || k == XK_Tab;
}
} // namespace

KeyboardViewController::KeyboardViewController(QObject* parent)
    : platform::ViewController(QStringLiteral("KeyboardView"), parent)
{
}

KeyboardViewController::~KeyboardViewController()
{
    endRepeatInvokeTimer();
    endRepeatTimer();
    // A preview still up would otherwise keep the status bar away for good.
    if (showStatusBarTimer_) {
        showStatusBarTimer_->invalidate();
        platform::StatusBar::shared().setHidden(false, false);
    }
}

void KeyboardViewController::loadView()
{
    ui_ = std::make_unique<Ui::KeyboardView>();
    loadViewFromForm(*ui_);
    // On a screen longer than the design the keys widen, so that the
    // keyboard spans the whole long side.
    new platform::GrowingForm(view(), platform::GrowingForm::Widths::Proportional);
    arrowKeypad = ui_->arrowKeypad;
    button_ESC = ui_->button_ESC;
    button_F1 = ui_->button_F1;
    button_F2 = ui_->button_F2;
    button_F3 = ui_->button_F3;
    button_F4 = ui_->button_F4;
    button_F5 = ui_->button_F5;
    button_F6 = ui_->button_F6;
    button_F7 = ui_->button_F7;
    button_F8 = ui_->button_F8;
    button_F9 = ui_->button_F9;
    button_F10 = ui_->button_F10;
    button_F11 = ui_->button_F11;
    button_F12 = ui_->button_F12;
    button_Grave = ui_->button_Grave;
    button_1 = ui_->button_1;
    button_2 = ui_->button_2;
    button_3 = ui_->button_3;
    button_4 = ui_->button_4;
    button_5 = ui_->button_5;
    button_6 = ui_->button_6;
    button_7 = ui_->button_7;
    button_8 = ui_->button_8;
    button_9 = ui_->button_9;
    button_0 = ui_->button_0;
    button_Minus = ui_->button_Minus;
    button_Equal = ui_->button_Equal;
    button_BackSpace = ui_->button_BackSpace;
    button_TAB = ui_->button_TAB;
    button_Q = ui_->button_Q;
    button_W = ui_->button_W;
    button_E = ui_->button_E;
    button_R = ui_->button_R;
    button_T = ui_->button_T;
    button_Y = ui_->button_Y;
    button_U = ui_->button_U;
    button_I = ui_->button_I;
    button_O = ui_->button_O;
    button_P = ui_->button_P;
    button_BracketLeft = ui_->button_BracketLeft;
    button_BracketRight = ui_->button_BracketRight;
    button_BackSlash = ui_->button_BackSlash;
    button_CAPSLOCK = ui_->button_CAPSLOCK;
    button_A = ui_->button_A;
    button_S = ui_->button_S;
    button_D = ui_->button_D;
    button_F = ui_->button_F;
    button_G = ui_->button_G;
    button_H = ui_->button_H;
    button_J = ui_->button_J;
    button_K = ui_->button_K;
    button_L = ui_->button_L;
    button_SemiColon = ui_->button_SemiColon;
    button_SingleQuote = ui_->button_SingleQuote;
    button_Enter = ui_->button_Enter;
    button_LSHIFT = ui_->button_LSHIFT;
    button_Z = ui_->button_Z;
    button_X = ui_->button_X;
    button_C = ui_->button_C;
    button_V = ui_->button_V;
    button_B = ui_->button_B;
    button_N = ui_->button_N;
    button_M = ui_->button_M;
    button_Comma = ui_->button_Comma;
    button_Period = ui_->button_Period;
    button_Slash = ui_->button_Slash;
    button_LCTRL = ui_->button_LCTRL;
    button_LWIN = ui_->button_LWIN;
    button_LALT = ui_->button_LALT;
    button_SPACE = ui_->button_SPACE;
    button_MENU = ui_->button_MENU;
    button_LEFT = ui_->button_LEFT;
    button_RIGHT = ui_->button_RIGHT;
    button_UP = ui_->button_UP;
    button_DOWN = ui_->button_DOWN;
    button_KP_0 = ui_->button_KP_0;
    button_KP_1 = ui_->button_KP_1;
    button_KP_2 = ui_->button_KP_2;
    button_KP_3 = ui_->button_KP_3;
    button_KP_4 = ui_->button_KP_4;
    button_KP_5 = ui_->button_KP_5;
    button_KP_6 = ui_->button_KP_6;
    button_KP_7 = ui_->button_KP_7;
    button_KP_8 = ui_->button_KP_8;
    button_KP_9 = ui_->button_KP_9;
    button_KP_Decial = ui_->button_KP_Decial;
    button_KP_Divide = ui_->button_KP_Divide;
    button_KP_Multiply = ui_->button_KP_Multiply;
    button_KP_Subtract = ui_->button_KP_Subtract;
    button_KP_Add = ui_->button_KP_Add;
    button_Insert = ui_->button_Insert;
    button_Delete = ui_->button_Delete;
    button_Home = ui_->button_Home;
    button_End = ui_->button_End;
    button_PageUp = ui_->button_PageUp;
    button_PageDown = ui_->button_PageDown;
    button_Print = ui_->button_Print;
    button_ScrollLock = ui_->button_ScrollLock;
    button_Break = ui_->button_Break;
    button_Prev_Track = ui_->button_Prev_Track;
    button_Stop = ui_->button_Stop;
    button_Play = ui_->button_Play;
    button_Next_Track = ui_->button_Next_Track;
    button_VolMute = ui_->button_VolMute;
    button_VolDown = ui_->button_VolDown;
    button_VolUp = ui_->button_VolUp;
    button_Close = ui_->button_Close;
    button_Minimize = ui_->button_Minimize;
    button_Maximize = ui_->button_Maximize;
    button_FastSwitch = ui_->button_FastSwitch;
    button_ToggleTabBar = ui_->button_ToggleTabBar;
    preview = ui_->preview;
    button_Text = ui_->button_Text;
    textEntryField = ui_->textEntryField;
    button_TextDone = ui_->button_TextDone;
    setKeyboardView(ui_->keyboardView);
    connectActions();
    applyLooks();
    textEntry_ = std::make_unique<TextEntryController>(button_Text, ui_->textEntryBar, textEntryField,
                                                       button_TextDone, [this] { releaseShiftLatch(); });
}

// What the interface file would connect: a key's press and release, the
// shift key's, the command keys', the mode key and the tab bar key. A touch
// the platform cancels is a release for an ordinary key (it was sent down
// and must come up), and nothing for a command key, which sends nothing
// before its release.
void KeyboardViewController::connectActions()
{
    using namespace platform;
    const ControlEvents release = ControlEventTouchUpInside | ControlEventTouchUpOutside;
    for (const KeyEntry& entry : keyTable()) {
        auto* control = view()->findChild<Control*>(QLatin1String(entry.outlet));
        if (!control)
            continue;
        switch (entry.kind) {
        case KeyKind::Key:
            control->addTarget(this, &KeyboardViewController::keypress, ControlEventTouchDown);
            control->addTarget(this, &KeyboardViewController::keyrelease, release | ControlEventTouchCancel);
            break;
        case KeyKind::CommandKey:
            control->addTarget(this, &KeyboardViewController::pressOsCommandKey, ControlEventTouchDown);
            control->addTarget(this, &KeyboardViewController::releaseOsCommandKey, ControlEventTouchUpInside);
            break;
        case KeyKind::ShiftKey:
            control->addTarget(this, &KeyboardViewController::pressShift, ControlEventTouchDown);
            control->addTarget(this, &KeyboardViewController::releaseShift, release);
            break;
        case KeyKind::PlainButton:
        case KeyKind::ArrowKeyPad:
            break;
        }
    }
    button_FastSwitch->addTarget(this, &KeyboardViewController::fastSwitch, ControlEventTouchUpInside);
    button_ToggleTabBar->addTarget(this, &KeyboardViewController::toggleTabBarReleased, ControlEventTouchUpInside);
}

// The layout's looks beyond what the interface file holds: the keyboard's
// background, the plain buttons' caps and the preview strip.
void KeyboardViewController::applyLooks()
{
    QPalette palette = keyboardView()->palette();
    palette.setColor(QPalette::Window, keycap::background());
    keyboardView()->setPalette(palette);
    keyboardView()->setAutoFillBackground(true);

    button_LSHIFT->setButtonType(Button::Custom);
    button_LSHIFT->setBackgroundImage(imageNamed("button_72x50_up.png"), ControlStateNormal);
    button_LSHIFT->setBackgroundImage(imageNamed("button_72x50_dn.png"), ControlStateHighlighted);
    button_LSHIFT->setBackgroundImage(imageNamed("button_72x50_on.png"), ControlStateSelected);
    button_LSHIFT->setImage(imageNamed("icon_shift_highlight.png"), ControlStateSelected);
    for (Button* plain : {button_FastSwitch, button_ToggleTabBar}) {
        plain->setButtonType(Button::Custom);
        plain->setBackgroundImage(imageNamed("button_36x60_up.png"), ControlStateNormal);
        plain->setBackgroundImage(imageNamed("button_36x60_dn.png"), ControlStateHighlighted);
    }

    preview->setFont(platform::theme::font(14, QFont::Medium));
    preview->setContentsMargins(10, 0, 10, 0);
    QPalette strip = preview->palette();
    strip.setColor(QPalette::WindowText, keycap::ink());
    preview->setPalette(strip);
    preview->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The text entry's bar hides the keys under it; its field is a white
    // rounded well in the keys' ink.
    ui_->textEntryBar->setPalette(palette);
    ui_->textEntryBar->setAutoFillBackground(true);
    textEntryField->setFont(platform::theme::font(18));
    textEntryField->setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid %3;"
                                                 " border-radius: %4px; padding: 0 8px; }")
                                      .arg(keycap::plainCap().name(), keycap::ink().name(),
                                           keycap::shadow().name())
                                      .arg(platform::phone::kKeyCapRadius + 1));
}

void KeyboardViewController::viewDidLoad()
{
    exKeyMode_ = false;
    repeatTimer_ = nullptr;
    platform::ViewController::viewDidLoad();

    // Cover the status bar strip too: the preview lives there.
    QRect frame = view()->geometry();
    frame.setY(frame.y() - platform::phone::kStatusBarHeight);
    view()->setGeometry(frame);

    arrowKeypad->addTarget(this, &KeyboardViewController::arrowKeyEventHandler, UIArrowKeyPad::ControlEventArrowKey);
    pressedCtrl_ = false;
    pressedAlt_ = false;

    for (const KeyEntry& entry : keyTable())
        if (entry.isStatic && isKeyButton(entry))
            keyButton(entry)->setStaticButton(true);

    button_LSHIFT->setBackgroundImage(imageNamed("button_72x50_dn.png"), ControlStateHighlighted | ControlStateSelected);
    button_LSHIFT->setImage(imageNamed("icon_shift_highlight.png"), ControlStateHighlighted | ControlStateSelected);

    for (const KeyEntry& entry : keyTable())
        if (entry.hasCode && isKeyButton(entry))
            keyButton(entry)->setKeyCode(labelOf(entry.label), entry.code, labelOf(entry.shiftLabel), entry.shiftCode);

    for (const KeyEntry& entry : keyTable())
        if (!entry.repeats && isKeyButton(entry))
            keyButton(entry)->setEnableRepeat(false);
}

bool KeyboardViewController::isKeyButton(const KeyEntry& entry)
{
    return entry.kind == KeyKind::Key || entry.kind == KeyKind::CommandKey;
}

// The form is written from the table, so each of its key buttons is there.
UIKeyButton* KeyboardViewController::keyButton(const KeyEntry& entry)
{
    auto* key = view()->findChild<UIKeyButton*>(QLatin1String(entry.outlet));
    Q_ASSERT(key);
    return key;
}

void KeyboardViewController::viewWillAppear(bool animated)
{
    platform::ViewController::viewWillAppear(animated);
    if (exKeyMode_)
        changeMode(false);
}

void KeyboardViewController::viewWillDisappear(bool animated)
{
    platform::ViewController::viewWillDisappear(animated);
    if (!isViewLoaded())
        return;
    for (auto* control : view()->findChildren<platform::View*>())
        control->cancelTouches();
    // Nothing of this screen outlasts it: a latched shift would make every
    // click of the touch pad a Shift+click and send the remote panel's keys
    // shifted, and the preview's strip would stay empty on screens that
    // have no preview.
    releaseShiftLatch();
    endPreview();
    textEntry_->close();
}

void KeyboardViewController::releaseShiftLatch()
{
    if (!isShiftLatched())
        return;
    remote_sendKeyboardEvent(KeyUp, XK_Shift_L);
    platform::NotificationCenter::defaultCenter().postNotification(notification::kShiftUp);
    button_LSHIFT->setSelected(false);
    updateKeyButton(false);
}

void KeyboardViewController::endPreview()
{
    if (!showStatusBarTimer_)
        return;
    showStatusBarTimer_->invalidate();
    showStatusBarTimer_ = nullptr;
    platform::StatusBar::shared().setHidden(false, false);
    preview->setText(QString());
}

void KeyboardViewController::didReceiveMemoryWarning()
{
    platform::ViewController::didReceiveMemoryWarning();
}

bool KeyboardViewController::isShiftLatched() const
{
    return button_LSHIFT->isSelected();
}

void KeyboardViewController::keypress(UIKeyButton* sender)
{
    endRepeatInvokeTimer();
    endRepeatTimer();
    const uint32_t k = sender->getCurrentKeyValue();
    if (k != 0) {
        remote_sendKeyboardEvent(KeyDown, k);
        play_keypress();
        if (sender->isEnableRepeat())
            startRepeatInvokeTimer(k, sender);
    }
    if (!button_LALT->isHighlighted() && !button_LCTRL->isHighlighted())
        updatePreview(k, sender);
}

void KeyboardViewController::keyrelease(UIKeyButton* sender)
{
    endRepeatInvokeTimer();
    endRepeatTimer();
    RemoteProtocolUtils::checkConnection();
    const uint32_t k = sender->getCurrentKeyValue();
    if (k != 0) {
        remote_sendKeyboardEvent(KeyUp, k);
        play_keyrelease();
    }
    if (isShiftLatched() && !button_LSHIFT->isHighlighted() && k != XK_Control_L && k != XK_Alt_L
        && k != XK_Meta_L) {
        pressShift(button_LSHIFT);
        releaseShift(button_LSHIFT);
    }
}

void KeyboardViewController::pressShift(Button*)
{
    platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter();
    if (isShiftLatched()) {
        if (remote_sendKeyboardEvent(KeyUp, XK_Shift_L) == 0)
            play_keypress();
        center.postNotification(notification::kShiftUp);
    } else {
        if (remote_sendKeyboardEvent(KeyDown, XK_Shift_L) == 0)
            play_keyrelease();
        center.postNotification(notification::kShiftDown);
    }
    button_LSHIFT->setSelected(!button_LSHIFT->isSelected());
    updateKeyButton(button_LSHIFT->isSelected());
}

void KeyboardViewController::releaseShift(Button*)
{
    RemoteProtocolUtils::checkConnection();
}

void KeyboardViewController::pressOsCommandKey(UIKeyButton*)
{
    play_keypress();
}

void KeyboardViewController::releaseOsCommandKey(UIKeyButton* sender)
{
    const uint32_t k = sender->getCurrentKeyValue();
    RemoteProtocolUtils::checkConnection();
    if (isShiftLatched()) {
        pressShift(button_LSHIFT);
        releaseShift(button_LSHIFT);
    } else if (button_LSHIFT->isHighlighted()) {
        pressShift(button_LSHIFT);
        releaseShift(button_LSHIFT);
        button_LSHIFT->setHighlighted(false);
    }
    if (k != 0) {
        remote_sendKeyboardEvent(KeyDown, k);
        remote_sendKeyboardEvent(KeyUp, k);
        play_keyrelease();
    }
}

void KeyboardViewController::fastSwitch(Button*)
{
    changeMode(!exKeyMode_);
}

void KeyboardViewController::toggleTabBarReleased(Button*)
{
    platform::NotificationCenter::defaultCenter().postNotification(notification::kToggleTabBar);
}

void KeyboardViewController::arrowKeyEventHandler(UIArrowKeyPad* sender)
{
    uint32_t code = 0;
    switch (sender->getDirection()) {
    case UIArrowKeyPad::DirectionUp: code = XK_Up; break;
    case UIArrowKeyPad::DirectionDown: code = XK_Down; break;
    case UIArrowKeyPad::DirectionLeft: code = XK_Left; break;
    case UIArrowKeyPad::DirectionRight: code = XK_Right; break;
    default: return;
    }
    if (sender->isPressed()) {
        if (remote_sendKeyboardEvent(KeyDown, code) == 0)
            play_keypress();
    } else if (remote_sendKeyboardEvent(KeyUp, code) == 0) {
        play_keyrelease();
    }
}

void KeyboardViewController::moveControls(KeyMode mode, int dy)
{
    for (const KeyEntry& entry : keyTable()) {
        if (entry.mode != mode)
            continue;
        if (auto* control = view()->findChild<QWidget*>(QLatin1String(entry.outlet)))
            control->move(control->x(), control->y() + dy);
    }
}

void KeyboardViewController::changeMode(bool extended)
{
    exKeyMode_ = extended;
    if (extended) {
        moveControls(KeyMode::Standard, platform::phone::kKeyboardModeOffset);
        moveControls(KeyMode::Extended, -platform::phone::kKeyboardModeOffset);
    } else {
        moveControls(KeyMode::Standard, -platform::phone::kKeyboardModeOffset);
        moveControls(KeyMode::Extended, platform::phone::kKeyboardModeOffset);
    }
}

void KeyboardViewController::startRepeatInvokeTimer(uint32_t keycode, UIKeyButton* button)
{
    endRepeatInvokeTimer();
    repeatKeycode_ = keycode;
    repeatButton_ = button;
    repeatInvokeTimer_ = platform::Timer::scheduledTimer(kRepeatDelay, false, [this] { repeatInvokeTimerHandler(); });
}

void KeyboardViewController::endRepeatInvokeTimer()
{
    if (repeatInvokeTimer_) {
        repeatInvokeTimer_->invalidate();
        repeatInvokeTimer_ = nullptr;
    }
}

void KeyboardViewController::startRepeatTimer()
{
    endRepeatTimer();
    repeatTimer_ = platform::Timer::scheduledTimer(kRepeatInterval, true, [this] { repeatTimerHandler(); });
}

void KeyboardViewController::endRepeatTimer()
{
    if (repeatTimer_) {
        repeatTimer_->invalidate();
        repeatTimer_ = nullptr;
    }
}

void KeyboardViewController::repeatInvokeTimerHandler()
{
    repeatInvokeTimer_ = nullptr;
    startRepeatTimer();
}

void KeyboardViewController::repeatTimerHandler()
{
    if (repeatKeycode_ == 0)
        return;
    if (remote_sendKeyboardEvent(KeyDown, repeatKeycode_) >= 0)
        updatePreview(repeatKeycode_, repeatButton_);
}

void KeyboardViewController::updatePreview(uint32_t k, UIKeyButton* button)
{
    if (button_LALT->isHighlighted() || button_LCTRL->isHighlighted())
        return;
    if (!reachesPreview(k))
        return;
    if (showStatusBarTimer_) {
        showStatusBarTimer_->invalidate();
        showStatusBarTimer_ = nullptr;
    }
    showStatusBarTimer_ = platform::Timer::scheduledTimer(kPreviewTime, false, [this] { showStatusBarTimerHandler(); });

    QString text = preview->text();
    if (k == XK_Return)
        text.clear();
    else if (k == XK_BackSpace)
        text.chop(1);
    else if (k == XK_Tab)
        text += QChar('\t');
    else if (button)
        text += isShiftLatched() ? button->shiftText() : button->text().toLower();
    preview->setText(text);
    // The newest text stays in sight once the line is longer than the strip.
    const int room = preview->contentsRect().width();
    preview->setAlignment((QFontMetrics(preview->font()).horizontalAdvance(text) > room ? Qt::AlignRight : Qt::AlignLeft)
                          | Qt::AlignVCenter);

    platform::StatusBar::shared().setHidden(true, true);
}

void KeyboardViewController::showStatusBarTimerHandler()
{
    platform::StatusBar::shared().setHidden(false, true);
    preview->setText(QString());
    showStatusBarTimer_ = nullptr;
}

void KeyboardViewController::updateKeyButton(bool)
{
    // The key buttons follow the shift notifications themselves.
}
