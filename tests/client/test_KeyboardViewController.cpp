// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard screen end to end: the real controller and layout, fingers
// through the platform layer, timers on a manual clock and a receiver on
// 127.0.0.1 that reports the exact key events it saw.
#include "KeyboardViewController.h"
#include "SoundServer.h"
#include "TextEntryController.h"
#include "TextEntryField.h"

#include "support/AppTestEnvironment.h"
#include "support/SessionRecorder.h"

#include "platform/Alert.h"
#include "platform/AudioServices.h"
#include "support/platform/FingerSimulator.h"
#include "support/platform/ManualClock.h"
#include "platform/NotificationCenter.h"
#include "support/platform/RecordingAudioBackend.h"
#include "platform/StatusBar.h"
#include "platform/TouchTracker.h"
#include "platform/UserDefaults.h"
#include "platform/ViewAnimation.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QTemporaryDir>
#include <QTextCharFormat>
#include <gtest/gtest.h>

using namespace platform;

namespace {

SentPacket d(uint32_t code) { return SentPacket::keyDown(code); }
SentPacket u(uint32_t code) { return SentPacket::keyUp(code); }

class KeyboardScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        StatusBar::shared().setHidden(false, false);

        host.resize(480, 300);
        controller = new KeyboardViewController(&host);
        controller->view()->setParent(&host);
        controller->viewWillAppear(false);
        host.show();
    }

    void TearDown() override
    {
        delete controller;
        StatusBar::shared().setHidden(false, false);
    }

    static QPointF middle(QWidget* w) { return QRectF(w->rect()).center(); }
    void tap(QWidget* w) { fingers.tap(w, middle(w)); }
    void press(int finger, QWidget* w) { fingers.press(finger, w, middle(w)); }
    void release(int finger, QWidget* w) { fingers.release(finger, w, middle(w)); }
    void typeIntoPreview(std::initializer_list<UIKeyButton*> keys)
    {
        for (UIKeyButton* key : keys)
            tap(key);
    }
    QString previewText() const { return controller->preview->text(); }

    // Virtual time, a private settings file with sounds on, recorded sounds,
    // no alerts and no animations, for the life of each test.
    AppTestEnvironment app;
    ScopedManualClock& clock = app.clock;
    std::shared_ptr<RecordingAudioBackend>& sounds = app.sounds;
    QWidget host;
    KeyboardViewController* controller = nullptr;
    FingerSimulator fingers;
};

// With a receiver logged in.
class KeyboardSession : public KeyboardScreen {
protected:
    void SetUp() override
    {
        KeyboardScreen::SetUp();
        ASSERT_TRUE(session.connected());
    }
    SessionRecorder session;
};

// With no session at all.
class KeyboardWithoutSession : public KeyboardScreen {
protected:
    void SetUp() override
    {
        closeAppSession();
        KeyboardScreen::SetUp();
    }
};

using Packets = SentPackets;

TEST_F(KeyboardSession, TheEventOrdersOfSingleKeysShiftAndModifiers)
{
    auto* c = controller;
    tap(c->button_A);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x41), u(0x41)}));

    tap(c->button_LSHIFT);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1)}));
    tap(c->button_A);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x41), u(0x41), u(0xFFE1)}));

    tap(c->button_LSHIFT);
    tap(c->button_LSHIFT);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1), u(0xFFE1)}));

    press(0, c->button_LCTRL);
    tap(c->button_C);
    release(0, c->button_LCTRL);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE3), d(0x43), u(0x43), u(0xFFE3)}));

    tap(c->button_LSHIFT);
    press(0, c->button_LCTRL);
    tap(c->button_C);
    release(0, c->button_LCTRL);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1), d(0xFFE3), d(0x43), u(0x43), u(0xFFE1), u(0xFFE3)}));

    tap(c->button_LSHIFT);
    tap(c->button_LALT);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1), d(0xFFE9), u(0xFFE9)}));
    EXPECT_TRUE(c->button_LSHIFT->isSelected()); // the latch stays on
}

TEST_F(KeyboardSession, AHeldKeyRepeatsAfterOneSecondEveryTenthUntilItsRelease)
{
    press(0, controller->button_B);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x42)}));
    clock.advance(1.09);
    EXPECT_EQ(session.takePackets(), Packets{});
    clock.advance(0.02); // 1.11
    EXPECT_EQ(session.takePackets(), (Packets{d(0x42)}));
    clock.advance(0.1); // 1.21
    EXPECT_EQ(session.takePackets(), (Packets{d(0x42)}));
    clock.advance(0.1); // 1.31
    EXPECT_EQ(session.takePackets(), (Packets{d(0x42)}));
    clock.advance(0.04); // 1.35
    release(0, controller->button_B);
    EXPECT_EQ(session.takePackets(), (Packets{u(0x42)}));
    clock.advance(3);
    EXPECT_EQ(session.takePackets(), Packets{});
}

TEST_F(KeyboardSession, ASecondKeyStopsTheFirstsRepeatAndTheFirstsReleaseStopsTheSeconds)
{
    press(0, controller->button_B);
    clock.advance(1.15);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x42), d(0x42)}));
    press(1, controller->button_N);
    clock.advance(0.9); // the first repeat is gone; the second key's delay still runs
    EXPECT_EQ(session.takePackets(), (Packets{d(0x4E)}));
    release(0, controller->button_B);
    clock.advance(2);
    release(1, controller->button_N);
    EXPECT_EQ(session.takePackets(), (Packets{u(0x42), u(0x4E)}));
}

TEST_F(KeyboardSession, ModifiersDoNotRepeatAndKeysWithoutACodeSendNothing)
{
    press(0, controller->button_LCTRL);
    clock.advance(3);
    release(0, controller->button_LCTRL);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE3), u(0xFFE3)}));

    sounds->clearPlayed();
    press(0, controller->button_CAPSLOCK);
    clock.advance(3);
    release(0, controller->button_CAPSLOCK);
    EXPECT_EQ(session.takePackets(), Packets{});
    EXPECT_TRUE(sounds->played().isEmpty());
}

TEST_F(KeyboardSession, TheShiftLatchIsLetGoByOrdinaryKeysButKeptByModifiersAndWhileShiftIsTouched)
{
    auto* c = controller;
    for (UIKeyButton* key : {c->button_MENU, c->button_ESC}) {
        tap(c->button_LSHIFT);
        tap(key);
        const uint32_t code = key->value();
        EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1), d(code), u(code), u(0xFFE1)})) << code;
        EXPECT_FALSE(c->button_LSHIFT->isSelected());
    }

    tap(c->button_LSHIFT);
    tap(c->button_CAPSLOCK); // no code, but a key: the latch goes
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1), u(0xFFE1)}));

    tap(c->button_LSHIFT);
    for (UIKeyButton* key : {c->button_LWIN, c->button_LALT, c->button_LCTRL})
        tap(key);
    EXPECT_EQ(session.takePackets(),
              (Packets{d(0xFFE1), d(0xFFE7), u(0xFFE7), d(0xFFE9), u(0xFFE9), d(0xFFE3), u(0xFFE3)}));
    EXPECT_TRUE(c->button_LSHIFT->isSelected());
    tap(c->button_LSHIFT);
    EXPECT_EQ(session.takePackets(), (Packets{u(0xFFE1)}));

    // Shift held with one finger, two keys typed with another.
    press(0, c->button_LSHIFT);
    tap(c->button_A);
    tap(c->button_1);
    release(0, c->button_LSHIFT);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1), d(0x41), u(0x41), d(0x31), u(0x31)}));
    EXPECT_TRUE(c->button_LSHIFT->isSelected());
    tap(c->button_A);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x41), u(0x41), u(0xFFE1)}));
}

TEST_F(KeyboardSession, KeyLabelsFollowTheLatch)
{
    auto* c = controller;
    EXPECT_EQ(c->button_1->currentTitle(), "1");
    tap(c->button_LSHIFT);
    EXPECT_EQ(c->button_1->currentTitle(), "!");
    EXPECT_EQ(c->button_Q->currentTitle(), "Q");
    EXPECT_EQ(c->button_LCTRL->currentTitle(), "ctrl");
    EXPECT_EQ(c->button_Play->currentTitle(), "");
    EXPECT_EQ(c->button_Slash->currentTitle(), "?");
    tap(c->button_1);
    EXPECT_EQ(c->button_1->currentTitle(), "1");
    EXPECT_EQ(c->button_Slash->currentTitle(), "/");
}

TEST_F(KeyboardSession, CommandKeysAreADownAndUpPairAtTheirReleaseAfterTheShiftKeyComesUp)
{
    auto* c = controller;
    tap(c->button_FastSwitch);
    ASSERT_TRUE(c->isExKeyMode());
    tap(c->button_LSHIFT);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1)}));
    press(0, c->button_Close);
    EXPECT_EQ(session.takePackets(), Packets{});
    release(0, c->button_Close);
    EXPECT_EQ(session.takePackets(), (Packets{u(0xFFE1), d(0x08050000), u(0x08050000)}));

    // Held for long, a command key neither repeats nor is held.
    press(0, c->button_Maximize);
    clock.advance(2);
    release(0, c->button_Maximize);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x08050002), u(0x08050002)}));

    // Media keys are ordinary keys: held down, they repeat (volume up).
    press(0, c->button_VolUp);
    clock.advance(1.15);
    release(0, c->button_VolUp);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x08030100), d(0x08030100), u(0x08030100)}));

    // A command key the finger slides off and lifts outside sends nothing.
    press(0, c->button_Minimize);
    const QPointF away(middle(c->button_Minimize).x(), -200);
    fingers.move(0, c->button_Minimize, away);
    fingers.release(0, c->button_Minimize, away);
    EXPECT_EQ(session.takePackets(), Packets{});
}

TEST_F(KeyboardSession, ACommandKeyTypedWhileTheUnlatchingShiftIsHeldGoesOutShifted)
{
    auto* c = controller;
    tap(c->button_FastSwitch);
    tap(c->button_LSHIFT);
    press(0, c->button_LSHIFT); // lets the latch go, finger stays
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1), u(0xFFE1)}));
    tap(c->button_Close);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1), d(0x08050000), u(0x08050000)}));
    EXPECT_TRUE(c->button_LSHIFT->isSelected());
    EXPECT_FALSE(c->button_LSHIFT->isHighlighted());
    release(0, c->button_LSHIFT);
}

TEST_F(KeyboardSession, TheArrowKeyPadSendsAStrokeAtTheEndOfASwipeAndRepeatsWhenHeld)
{
    auto* c = controller;
    tap(c->button_FastSwitch);
    tap(c->button_LSHIFT);
    session.takePackets();
    UIArrowKeyPad* pad = c->arrowKeypad;
    fingers.press(0, pad, {20, 30});
    fingers.move(0, pad, {75, 30});
    EXPECT_EQ(session.takePackets(), Packets{});
    fingers.release(0, pad, {75, 30});
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFF53), u(0xFF53)}));
    EXPECT_TRUE(c->button_LSHIFT->isSelected()); // the pad leaves the latch alone

    fingers.press(0, pad, {80, 50});
    fingers.move(0, pad, {80, -10}); // up, then rest
    clock.advance(0.55);
    EXPECT_EQ(session.takePackets(), Packets{});
    clock.advance(0.1);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFF52)}));
    clock.advance(0.2);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFF52), d(0xFF52)}));
    fingers.release(0, pad, {80, -10});
    EXPECT_EQ(session.takePackets(), (Packets{u(0xFF52)}));
}

TEST_F(KeyboardSession, ACancelledTouchOrLeavingTheScreenReleasesTheHeldKey)
{
    auto* c = controller;
    press(0, c->button_B);
    clock.advance(1.15);
    fingers.cancelAll();
    clock.advance(2);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x42), d(0x42), u(0x42)}));

    press(0, c->button_X);
    c->viewWillDisappear(false);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x58), u(0x58)}));

    // The main view hides the screen's view when another tab is chosen.
    press(0, c->button_Z);
    c->view()->hide();
    clock.advance(2);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x5A), u(0x5A)}));
    c->view()->show();

    // A pad repeat that is cancelled comes up too; a pending one never starts.
    tap(c->button_FastSwitch);
    fingers.press(0, c->arrowKeypad, {20, 30});
    fingers.move(0, c->arrowKeypad, {20, 90});
    clock.advance(0.65);
    fingers.cancelAll();
    fingers.press(0, c->arrowKeypad, {20, 30});
    fingers.move(0, c->arrowKeypad, {20, 90});
    fingers.cancelAll();
    clock.advance(2);
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFF54), u(0xFF54)}));
}

TEST_F(KeyboardSession, ThePreviewShowsTypedTextInTheStatusBarStripForTwoSeconds)
{
    auto* c = controller;
    EXPECT_FALSE(StatusBar::shared().isHidden());
    tap(c->button_A);
    EXPECT_EQ(previewText(), "a");
    EXPECT_TRUE(StatusBar::shared().isHidden());
    tap(c->button_LSHIFT);
    tap(c->button_A);
    tap(c->button_LSHIFT);
    tap(c->button_1);
    tap(c->button_SPACE);
    tap(c->button_TAB);
    EXPECT_EQ(previewText(), "aA! \t");
    tap(c->button_BackSpace);
    EXPECT_EQ(previewText(), "aA! ");
    tap(c->button_Enter);
    EXPECT_EQ(previewText(), "");
    EXPECT_TRUE(StatusBar::shared().isHidden());
    clock.advance(1.99);
    EXPECT_TRUE(StatusBar::shared().isHidden());
    clock.advance(0.01);
    EXPECT_FALSE(StatusBar::shared().isHidden());

    // BackSpace on an empty preview still hides the bar and restarts the timer.
    tap(c->button_BackSpace);
    EXPECT_EQ(previewText(), "");
    EXPECT_TRUE(StatusBar::shared().isHidden());
    clock.advance(1.5);
    tap(c->button_7);
    clock.advance(1.9);
    EXPECT_EQ(previewText(), "7");
    clock.advance(0.1);
    EXPECT_EQ(previewText(), "");
    EXPECT_FALSE(StatusBar::shared().isHidden());
}

TEST_F(KeyboardSession, KeysOutsideTheTextRangesAndKeysTypedWithCtrlOrAltStayOutOfThePreview)
{
    auto* c = controller;
    for (UIKeyButton* key : {c->button_ESC, c->button_LEFT, c->button_MENU, c->button_LWIN})
        tap(key);
    press(0, c->button_LCTRL);
    tap(c->button_C);
    release(0, c->button_LCTRL);
    press(0, c->button_LALT);
    tap(c->button_F);
    release(0, c->button_LALT);
    EXPECT_EQ(previewText(), "");
    EXPECT_FALSE(StatusBar::shared().isHidden());

    press(0, c->button_LWIN);
    tap(c->button_E);
    release(0, c->button_LWIN);
    EXPECT_EQ(previewText(), "e");

    tap(c->button_FastSwitch);
    for (UIKeyButton* key : {c->button_KP_4, c->button_KP_Add, c->button_KP_2, c->button_F5, c->button_Delete})
        tap(key);
    EXPECT_EQ(previewText(), "e4+2");
}

TEST_F(KeyboardSession, AKeyboardThatGoesWhileItsPreviewIsUpGivesTheStatusBarBack)
{
    tap(controller->button_Q);
    ASSERT_TRUE(StatusBar::shared().isHidden());
    delete controller;
    controller = nullptr;
    EXPECT_FALSE(StatusBar::shared().isHidden());
    clock.advance(3); // no timer is left to call into the gone screen
}

// The main view hides the keyboard when another tab is chosen: a latched
// shift must not stay down at the computer (every click of the touch pad
// would be a Shift+click), and the strip must not stay empty.
TEST_F(KeyboardSession, LeavingTheScreenLetsGoOfTheLatchAndEndsThePreview)
{
    auto* c = controller;
    int shiftUps = 0;
    NotificationCenter::defaultCenter().addObserver(&host, QStringLiteral("Shift Up"),
                                                    [&](const Notification&) { ++shiftUps; });
    tap(c->button_LSHIFT);
    tap(c->button_Q); // lets the latch go: a key stroke of its own
    tap(c->button_LSHIFT);
    ASSERT_EQ(session.takePackets(), (Packets{d(0xFFE1), d(0x51), u(0x51), u(0xFFE1), d(0xFFE1)}));
    ASSERT_EQ(previewText(), "Q");
    ASSERT_TRUE(StatusBar::shared().isHidden());
    shiftUps = 0;
    sounds->clearPlayed();

    c->viewWillDisappear(false);
    c->view()->hide();
    c->viewDidDisappear(false);
    EXPECT_EQ(session.takePackets(), (Packets{u(0xFFE1)}));
    EXPECT_EQ(shiftUps, 1); // the key labels come back unshifted
    EXPECT_FALSE(c->button_LSHIFT->isSelected());
    EXPECT_EQ(c->button_1->currentTitle(), "1");
    EXPECT_TRUE(sounds->played().isEmpty()); // leaving a screen is not a key press
    EXPECT_FALSE(StatusBar::shared().isHidden());
    EXPECT_EQ(previewText(), "");
    clock.advance(3); // the preview's timer is gone with it
    EXPECT_FALSE(StatusBar::shared().isHidden());

    // Back on the screen: plain keys, and the latch works as before.
    c->viewWillAppear(false);
    c->view()->show();
    c->viewDidAppear(false);
    tap(c->button_A);
    tap(c->button_LSHIFT);
    tap(c->button_A);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x41), u(0x41), d(0xFFE1), d(0x41), u(0x41), u(0xFFE1)}));

    // Leaving without a latch or a preview sends nothing and leaves the bar alone.
    clock.advance(3);
    StatusBar::shared().setHidden(true, false);
    c->viewWillDisappear(false);
    EXPECT_TRUE(session.takePackets().empty());
    EXPECT_TRUE(StatusBar::shared().isHidden());
    NotificationCenter::defaultCenter().removeObserver(&host);
}

TEST_F(KeyboardSession, ARepeatAddsItsTextOncePerKeyDown)
{
    press(0, controller->button_B);
    clock.advance(1.35);
    release(0, controller->button_B);
    EXPECT_EQ(previewText(), "bbbb");
}

TEST_F(KeyboardSession, SoundsFollowTheSendsAndTheLatch)
{
    auto* c = controller;
    tap(c->button_A);
    tap(c->button_LSHIFT); // engaging plays the release sound
    tap(c->button_LSHIFT); // letting go, the press sound
    EXPECT_EQ(sounds->played(), (QStringList{"keypress", "keyrelease", "keyrelease", "keypress"}));
    sounds->clearPlayed();
    tap(c->button_CAPSLOCK);
    press(0, c->button_B);
    clock.advance(1.5);
    EXPECT_EQ(sounds->played(), QStringList{"keypress"}); // repeats are silent
}

TEST_F(KeyboardWithoutSession, EverySendFailsQuietlyButReleasesWarnAndTheLatchWarnsTwice)
{
    auto* c = controller;
    tap(c->button_A);
    EXPECT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0].title, "Connection Error");
    EXPECT_EQ(sounds->played(), (QStringList{"keypress", "keyrelease"})); // whatever the send returned

    // The alert keeps the keys from being typed on until it is answered.
    tap(c->button_B);
    EXPECT_EQ(sounds->played().size(), 2);
    Alert::dismissAll();
    Alert::clearHistory();
    sounds->clearPlayed();
    tap(c->button_LSHIFT);
    EXPECT_TRUE(c->button_LSHIFT->isSelected());
    EXPECT_EQ(Alert::history().size(), 1u);    // releaseShift's check
    EXPECT_TRUE(sounds->played().isEmpty());   // the shift key's sounds need a send
    Alert::dismissAll();
    Alert::clearHistory();
    tap(c->button_A);
    EXPECT_EQ(Alert::history().size(), 2u);
    EXPECT_FALSE(c->button_LSHIFT->isSelected());

    // A press alone warns nothing; the preview updates anyway.
    Alert::dismissAll();
    Alert::clearHistory();
    press(0, c->button_S);
    EXPECT_TRUE(Alert::history().empty());
    EXPECT_EQ(previewText(), "aAs");
    // Repeats only add to the preview while their sends get through.
    clock.advance(1.35);
    EXPECT_EQ(previewText(), "aAs");
    release(0, c->button_S);
}

TEST_F(KeyboardScreen, TheViewCoversTheStatusBarStripAndTheModeKeyMovesTheTwoSetsBy300Points)
{
    QWidget* view = controller->view();
    EXPECT_EQ(view->geometry(), QRect(0, -20, 480, 320));
    EXPECT_EQ(controller->preview->geometry(), QRect(0, 0, 480, 20));

    std::map<std::string, QRect> atLoad;
    for (const KeyEntry& entry : keyTable()) {
        QWidget* control = view->findChild<QWidget*>(entry.outlet);
        ASSERT_NE(control, nullptr) << entry.outlet;
        atLoad[entry.outlet] = control->geometry();
        const bool shown = control->geometry().top() >= 20 && control->geometry().bottom() < 320;
        EXPECT_EQ(shown, entry.mode != KeyMode::Extended) << entry.outlet;
    }
    auto offsetOf = [&](const KeyEntry& entry) {
        const QRect now = view->findChild<QWidget*>(entry.outlet)->geometry();
        const QRect then = atLoad[entry.outlet];
        EXPECT_EQ(now.size(), then.size()) << entry.outlet;
        EXPECT_EQ(now.x(), then.x()) << entry.outlet;
        return now.y() - then.y();
    };

    tap(controller->button_FastSwitch);
    EXPECT_TRUE(controller->isExKeyMode());
    for (const KeyEntry& entry : keyTable())
        EXPECT_EQ(offsetOf(entry), entry.mode == KeyMode::Standard ? 300 : entry.mode == KeyMode::Extended ? -300 : 0)
            << entry.outlet;

    tap(controller->button_FastSwitch);
    EXPECT_FALSE(controller->isExKeyMode());
    for (const KeyEntry& entry : keyTable())
        EXPECT_EQ(offsetOf(entry), 0) << entry.outlet;

    // Coming back to the screen shows the standard mode; twice changes nothing.
    tap(controller->button_FastSwitch);
    controller->viewWillAppear(false);
    controller->viewWillAppear(false);
    EXPECT_FALSE(controller->isExKeyMode());
    for (const KeyEntry& entry : keyTable())
        EXPECT_EQ(offsetOf(entry), 0) << entry.outlet;
}

TEST_F(KeyboardScreen, TheTabBarKeyPostsToggleTabBarWithNoObject)
{
    int posts = 0;
    bool withObject = false;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(&observer, "Toggle TabBar", [&](const Notification& n) {
        ++posts;
        withObject = n.object().has_value();
    });
    press(0, controller->button_ToggleTabBar);
    EXPECT_EQ(posts, 0); // at the release
    release(0, controller->button_ToggleTabBar);
    EXPECT_EQ(posts, 1);
    EXPECT_FALSE(withObject);
}

// The text entry: what the phone's own keyboard types or commits into the
// field is sent at once, character by character, as the keysyms that type
// it; the field shows what was sent.
class TextEntry : public KeyboardSession {
protected:
    void SetUp() override
    {
        KeyboardSession::SetUp();
        tap(controller->button_Text);
        field = controller->textEntryField;
    }
    void commit(const QString& text, int replaceFrom = 0, int replaced = 0)
    {
        QInputMethodEvent event(QString(), {});
        event.setCommitString(text, replaceFrom, replaced);
        QCoreApplication::sendEvent(field, &event);
    }
    void key(int key, const QString& text = QString(), Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QCoreApplication::sendEvent(field, &press);
    }
    // A down and up for each keysym, then `after`.
    static Packets strokes(std::initializer_list<uint32_t> keysyms, const Packets& after = {})
    {
        Packets packets;
        for (uint32_t k : keysyms)
            packets.insert(packets.end(), {d(k), u(k)});
        packets.insert(packets.end(), after.begin(), after.end());
        return packets;
    }
    TextEntryField* field = nullptr;
};

TEST_F(TextEntry, CommittedAndTypedCharactersAreSentAtOnceAsTheirKeysyms)
{
    EXPECT_EQ(host.focusWidget(), field) << "the focus brings up the phone's keyboard";
    commit(QString::fromUtf8("café"));
    key(Qt::Key_unknown, QString::fromUtf8("ж"));
    QInputMethodEvent composing(QStringLiteral("zhong"), {}); // not committed yet: not sent
    QCoreApplication::sendEvent(field, &composing);
    commit(QString::fromUtf8("中\U0001F600A")); // the emoji is one keysym; A is its key with Shift
    EXPECT_EQ(session.takePackets(), strokes({0x63, 0x61, 0x66, 0xE9, 0x6D6, 0x1004E2D, 0x101F600},
                                             {d(0xFFE1), d(0x41), u(0x41), u(0xFFE1)}));
    EXPECT_EQ(field->text(), QString::fromUtf8("caféж中\U0001F600A"));

    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    // An input method replacing the character before the cursor: it is
    // erased and typed again as replaced.
    commit(QStringLiteral("y!"), -1, 1);
    EXPECT_EQ(session.takePackets(), strokes({0xFF08, 0xFF08, 0xFF08, 0x79, 0x21}));
    EXPECT_EQ(field->text(), QString::fromUtf8("caféжy!")) << "the emoji went whole";

    // Return is sent and empties the field, as it does the preview; then
    // BackSpace on the empty field still erases at the computer. Shortcuts
    // and cursor keys neither edit the field nor reach the computer.
    key(Qt::Key_Return);
    EXPECT_EQ(field->text(), QString());
    key(Qt::Key_Backspace);
    key(Qt::Key_Left);
    key(Qt::Key_Z, QStringLiteral("z"), Qt::ControlModifier);
    EXPECT_EQ(session.takePackets(), strokes({0xFF0D, 0xFF08}));

    tap(controller->button_TextDone);
    EXPECT_FALSE(controller->textEntry()->isOpen());
    EXPECT_NE(host.focusWidget(), field);
}

TEST_F(TextEntry, ALatchedShiftIsLetGoBeforeTheTextSoThatAnEWithAcuteStaysSmall)
{
    tap(controller->button_LSHIFT);
    commit(QString::fromUtf8("é"));
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFFE1), u(0xFFE1), d(0xE9), u(0xE9)}));
    EXPECT_EQ(controller->button_1->currentTitle(), "1") << "the keys show the latch let go";
}

TEST_F(TextEntry, APasteIsTypedInOrderUpToItsBoundAndTheRestIsAnnounced)
{
    QString text;
    for (int i = 0; i < TextEntryController::kMaxPastedCharacters + 5; ++i)
        text += QChar(i % 2 ? u'\u0436' : u'q');
    QGuiApplication::clipboard()->setText(text);
    key(Qt::Key_V, QString(), Qt::ControlModifier);
    const Packets sent = session.takePackets();
    ASSERT_EQ(sent.size(), 2u * TextEntryController::kMaxPastedCharacters) << "no packet lost";
    for (std::size_t i = 0; i < sent.size(); ++i)
        ASSERT_EQ(sent[i], (i % 2 ? u : d)((i / 2) % 2 ? 0x6D6 : 0x71)) << "packet " << i;
    EXPECT_EQ(field->text(), text.left(TextEntryController::kMaxPastedCharacters));
    ASSERT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0].message, "The first 1,000 characters were typed; the other 5 were left out.");
}

TEST_F(KeyboardWithoutSession, TextEntryTypesNothingAndWarnsWithoutASession)
{
    tap(controller->button_Text);
    QInputMethodEvent event(QString(), {});
    event.setCommitString(QString::fromUtf8("é"));
    QCoreApplication::sendEvent(controller->textEntryField, &event);
    EXPECT_EQ(controller->textEntryField->text(), QString());
    ASSERT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0].title, "Connection Error");
}

TEST_F(KeyboardScreen, TheShiftKeyShowsItsLatchedAndPressedLooks)
{
    Button* shift = controller->button_LSHIFT;
    const auto touchedWhileLatched = ControlStateHighlighted | ControlStateSelected;
    EXPECT_EQ(shift->backgroundImageForState(touchedWhileLatched).toImage(),
              QPixmap(":/keyboard/button_72x50_dn.png").toImage());
    EXPECT_EQ(shift->imageForState(touchedWhileLatched).toImage(),
              QPixmap(":/keyboard/icon_shift_highlight.png").toImage());
    EXPECT_FALSE(shift->backgroundImageForState(ControlStateNormal).isNull());
}

} // namespace

// Pictures of the screen as the phone shows it in landscape: the status bar
// strip over the keyboard, the extended mode, typed text in the strip, and
// the text entry open with text sent and more being composed.
// With QUILLON_SCREENSHOT_DIR set they are written there as PNG files.
#include "platform/StatusBarView.h"

#include <QDir>

namespace {

class KeyboardPictures : public KeyboardSession {
protected:
    void SetUp() override
    {
        KeyboardSession::SetUp();
        // The window in landscape; the keyboard's view, raised over the
        // status bar strip, starts at its top edge.
        window.resize(480, 320);
        controller->view()->setParent(&window);
        controller->view()->move(0, 0);
        statusBar = new StatusBarView(&window);
        statusBar->setClockText("9:41");
        window.show();
        statusBar->placeInWindow();
    }

    void save(const QString& name)
    {
        const QImage picture = window.grab().toImage();
        EXPECT_EQ(picture.size(), QSize(480, 320));
        const QString dir = qEnvironmentVariable("QUILLON_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            EXPECT_TRUE(picture.save(QDir(dir).filePath(name)));
        }
    }

    QWidget window;
    StatusBarView* statusBar = nullptr;
};

TEST_F(KeyboardPictures, StandardExtendedAndPreview)
{
    auto* c = controller;
    EXPECT_FALSE(StatusBar::shared().isHidden());
    save("keyboard-standard.png");

    tap(c->button_FastSwitch);
    tap(c->button_LSHIFT);
    press(0, c->button_F5); // a key under a finger; function keys stay out of the preview
    EXPECT_FALSE(StatusBar::shared().isHidden());
    save("keyboard-extended.png");
    release(0, c->button_F5);
    tap(c->button_FastSwitch);

    for (UIKeyButton* key : {c->button_H, c->button_E, c->button_L, c->button_L, c->button_O, c->button_SPACE,
                             c->button_W, c->button_O, c->button_R, c->button_L, c->button_D})
        tap(key);
    tap(c->button_LSHIFT);
    tap(c->button_1);
    tap(c->button_LSHIFT); // the labels show the latch
    EXPECT_TRUE(StatusBar::shared().isHidden());
    EXPECT_EQ(previewText(), "hello world!");
    save("keyboard-preview.png");
}

TEST_F(KeyboardPictures, TextEntryOverTheTopRow)
{
    tap(controller->button_Text);
    QInputMethodEvent typed;
    typed.setCommitString(QString::fromUtf8("Grüße, café ж € "));
    QCoreApplication::sendEvent(controller->textEntryField, &typed);
    // An input method composing a word, shown underlined as it draws it.
    QTextCharFormat underlined;
    underlined.setFontUnderline(true);
    QInputMethodEvent composing(QStringLiteral("ni"),
                                {QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, 0, 2, underlined)});
    QCoreApplication::sendEvent(controller->textEntryField, &composing);
    EXPECT_EQ(controller->textEntryField->text(), QString::fromUtf8("Grüße, café ж € "));
    save("keyboard-text-entry.png");
}

} // namespace
