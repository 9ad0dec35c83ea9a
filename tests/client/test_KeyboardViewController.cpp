// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard screen end to end: the real controller and layout, fingers
// through the platform layer, timers on a manual clock and a receiver on
// 127.0.0.1 that reports the exact key events it saw.
#include "KeyboardViewController.h"
#include "TextEntryController.h"
#include "TextEntryField.h"

#include "support/AppTestEnvironment.h"
#include "support/SessionRecorder.h"

#include "platform/Alert.h"
#include "support/platform/FingerSimulator.h"
#include "support/platform/ManualClock.h"
#include "platform/NotificationCenter.h"
#include "support/platform/RecordingAudioBackend.h"
#include "platform/StatusBar.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHash>
#include <QInputMethodEvent>
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

    // Keys named by their outlets without "button_", in order: "A" taps A,
    // "+A" puts the lowest free finger on A and "-A" lifts it again, "1.5s"
    // lets 1.5 seconds pass on the manual clock.
    void touch(const QString& script)
    {
        for (const QString& word : script.split(' ', Qt::SkipEmptyParts)) {
            if (word.front().isDigit() && word.endsWith('s')) {
                bool isNumber = false;
                const double seconds = word.chopped(1).toDouble(&isNumber);
                ASSERT_TRUE(isNumber) << word.toStdString();
                clock.advance(seconds);
                continue;
            }
            const bool pressing = word.front() == '+', lifting = word.front() == '-';
            const QString name = "button_" + word.mid(pressing || lifting ? 1 : 0);
            QWidget* key = controller->view()->findChild<QWidget*>(name);
            ASSERT_NE(key, nullptr) << name.toStdString();
            if (pressing) {
                int finger = 0;
                while (fingers.target(finger))
                    ++finger;
                press(finger, key);
                held_[key] = finger;
            } else if (lifting) {
                ASSERT_TRUE(held_.contains(key)) << name.toStdString() << " is not held";
                release(held_.take(key), key);
            } else {
                tap(key);
            }
        }
    }
    QString previewText() const { return controller->preview->text(); }
    QString previewAfter(const QString& touches)
    {
        touch(touches);
        return previewText();
    }
    // What the phone's own keyboard or an input method commits into the text entry.
    void commit(const QString& text, int replaceFrom = 0, int replaced = 0)
    {
        QInputMethodEvent event(QString(), {});
        event.setCommitString(text, replaceFrom, replaced);
        QCoreApplication::sendEvent(controller->textEntryField, &event);
    }

    // Virtual time, a private settings file with sounds on, recorded sounds,
    // no alerts and no animations, for the life of each test.
    AppTestEnvironment app;
    ScopedManualClock& clock = app.clock;
    std::shared_ptr<RecordingAudioBackend>& sounds = app.sounds;
    QWidget host;
    KeyboardViewController* controller = nullptr;
    FingerSimulator fingers;
    QHash<QWidget*, int> held_; // the finger on each key that "+" put down
};

// With a receiver logged in.
class KeyboardSession : public KeyboardScreen {
protected:
    void SetUp() override
    {
        KeyboardScreen::SetUp();
        ASSERT_TRUE(session.connected());
    }
    // The packets the receiver saw for `touches` (see touch()), and any sent before.
    SentPackets sentAfter(const QString& touches)
    {
        touch(touches);
        return session.takePackets();
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
    EXPECT_EQ(sentAfter("A"), (Packets{d(0x41), u(0x41)}));
    EXPECT_EQ(sentAfter("LSHIFT"), (Packets{d(0xFFE1)}));
    EXPECT_EQ(sentAfter("A"), (Packets{d(0x41), u(0x41), u(0xFFE1)}));
    EXPECT_EQ(sentAfter("LSHIFT LSHIFT"), (Packets{d(0xFFE1), u(0xFFE1)}));
    EXPECT_EQ(sentAfter("+LCTRL C -LCTRL"), (Packets{d(0xFFE3), d(0x43), u(0x43), u(0xFFE3)}));
    EXPECT_EQ(sentAfter("LSHIFT +LCTRL C -LCTRL"),
              (Packets{d(0xFFE1), d(0xFFE3), d(0x43), u(0x43), u(0xFFE1), u(0xFFE3)}));
    EXPECT_EQ(sentAfter("LSHIFT LALT"), (Packets{d(0xFFE1), d(0xFFE9), u(0xFFE9)}));
    EXPECT_TRUE(controller->button_LSHIFT->isSelected()); // the latch stays on
}

TEST_F(KeyboardSession, AHeldKeyRepeatsAfterOneSecondEveryTenthUntilItsRelease)
{
    EXPECT_EQ(sentAfter("+B"), (Packets{d(0x42)}));
    EXPECT_EQ(sentAfter("1.09s"), Packets{});
    EXPECT_EQ(sentAfter("0.02s"), (Packets{d(0x42)}));    // 1.11
    EXPECT_EQ(sentAfter("0.1s"), (Packets{d(0x42)}));     // 1.21
    EXPECT_EQ(sentAfter("0.1s"), (Packets{d(0x42)}));     // 1.31
    EXPECT_EQ(sentAfter("0.04s -B"), (Packets{u(0x42)})); // 1.35
    EXPECT_EQ(sentAfter("3s"), Packets{});
}

TEST_F(KeyboardSession, ASecondKeyStopsTheFirstsRepeatAndTheFirstsReleaseStopsTheSeconds)
{
    EXPECT_EQ(sentAfter("+B 1.15s"), (Packets{d(0x42), d(0x42)}));
    // The first repeat is gone; the second key's delay still runs.
    EXPECT_EQ(sentAfter("+N 0.9s"), (Packets{d(0x4E)}));
    EXPECT_EQ(sentAfter("-B 2s -N"), (Packets{u(0x42), u(0x4E)}));
}

TEST_F(KeyboardSession, ModifiersDoNotRepeatAndKeysWithoutACodeSendNothing)
{
    EXPECT_EQ(sentAfter("+LCTRL 3s -LCTRL"), (Packets{d(0xFFE3), u(0xFFE3)}));
    sounds->clearPlayed();
    EXPECT_EQ(sentAfter("+CAPSLOCK 3s -CAPSLOCK"), Packets{});
    EXPECT_TRUE(sounds->played().isEmpty());
}

TEST_F(KeyboardSession, TheShiftLatchIsLetGoByOrdinaryKeysButKeptByModifiersAndWhileShiftIsTouched)
{
    Button* shift = controller->button_LSHIFT;
    EXPECT_EQ(sentAfter("LSHIFT MENU"), (Packets{d(0xFFE1), d(0xFF67), u(0xFF67), u(0xFFE1)}));
    EXPECT_FALSE(shift->isSelected());
    EXPECT_EQ(sentAfter("LSHIFT ESC"), (Packets{d(0xFFE1), d(0xFF1B), u(0xFF1B), u(0xFFE1)}));
    EXPECT_FALSE(shift->isSelected());
    // No code, but a key: the latch goes.
    EXPECT_EQ(sentAfter("LSHIFT CAPSLOCK"), (Packets{d(0xFFE1), u(0xFFE1)}));

    EXPECT_EQ(sentAfter("LSHIFT LWIN LALT LCTRL"),
              (Packets{d(0xFFE1), d(0xFFE7), u(0xFFE7), d(0xFFE9), u(0xFFE9), d(0xFFE3), u(0xFFE3)}));
    EXPECT_TRUE(shift->isSelected());
    EXPECT_EQ(sentAfter("LSHIFT"), (Packets{u(0xFFE1)}));

    // Shift held with one finger, two keys typed with another.
    EXPECT_EQ(sentAfter("+LSHIFT A 1 -LSHIFT"), (Packets{d(0xFFE1), d(0x41), u(0x41), d(0x31), u(0x31)}));
    EXPECT_TRUE(shift->isSelected());
    EXPECT_EQ(sentAfter("A"), (Packets{d(0x41), u(0x41), u(0xFFE1)}));
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
    EXPECT_EQ(sentAfter("LSHIFT"), (Packets{d(0xFFE1)}));
    EXPECT_EQ(sentAfter("+Close"), Packets{});
    EXPECT_EQ(sentAfter("-Close"), (Packets{u(0xFFE1), d(0x08050000), u(0x08050000)}));

    // Held for long, a command key neither repeats nor is held.
    EXPECT_EQ(sentAfter("+Maximize 2s -Maximize"), (Packets{d(0x08050002), u(0x08050002)}));
    // Media keys are ordinary keys: held down, they repeat (volume up).
    EXPECT_EQ(sentAfter("+VolUp 1.15s -VolUp"), (Packets{d(0x08030100), d(0x08030100), u(0x08030100)}));

    // A command key the finger slides off and lifts outside sends nothing.
    press(0, c->button_Minimize);
    const QPointF away(middle(c->button_Minimize).x(), -200);
    fingers.move(0, c->button_Minimize, away);
    fingers.release(0, c->button_Minimize, away);
    EXPECT_EQ(session.takePackets(), Packets{});
}

TEST_F(KeyboardSession, ACommandKeyTypedWhileTheUnlatchingShiftIsHeldGoesOutShifted)
{
    tap(controller->button_FastSwitch);
    // The second touch lets the latch go, and its finger stays.
    EXPECT_EQ(sentAfter("LSHIFT +LSHIFT"), (Packets{d(0xFFE1), u(0xFFE1)}));
    EXPECT_EQ(sentAfter("Close"), (Packets{d(0xFFE1), d(0x08050000), u(0x08050000)}));
    EXPECT_TRUE(controller->button_LSHIFT->isSelected());
    EXPECT_FALSE(controller->button_LSHIFT->isHighlighted());
    touch("-LSHIFT");
}

TEST_F(KeyboardSession, TheArrowKeyPadSendsAStrokeAtTheEndOfASwipeAndRepeatsWhenHeld)
{
    touch("FastSwitch LSHIFT");
    session.takePackets();
    UIArrowKeyPad* pad = controller->arrowKeypad;
    fingers.press(0, pad, {20, 30});
    fingers.move(0, pad, {75, 30});
    EXPECT_EQ(session.takePackets(), Packets{});
    fingers.release(0, pad, {75, 30});
    EXPECT_EQ(session.takePackets(), (Packets{d(0xFF53), u(0xFF53)}));
    EXPECT_TRUE(controller->button_LSHIFT->isSelected()); // the pad leaves the latch alone

    fingers.press(0, pad, {80, 50});
    fingers.move(0, pad, {80, -10}); // up, then rest
    EXPECT_EQ(sentAfter("0.55s"), Packets{});
    EXPECT_EQ(sentAfter("0.1s"), (Packets{d(0xFF52)}));
    EXPECT_EQ(sentAfter("0.2s"), (Packets{d(0xFF52), d(0xFF52)}));
    fingers.release(0, pad, {80, -10});
    EXPECT_EQ(session.takePackets(), (Packets{u(0xFF52)}));
}

TEST_F(KeyboardSession, ACancelledTouchOrLeavingTheScreenReleasesTheHeldKey)
{
    auto* c = controller;
    touch("+B 1.15s");
    fingers.cancelAll();
    EXPECT_EQ(sentAfter("2s"), (Packets{d(0x42), d(0x42), u(0x42)}));

    press(0, c->button_X);
    c->viewWillDisappear(false);
    EXPECT_EQ(session.takePackets(), (Packets{d(0x58), u(0x58)}));

    // The main view hides the screen's view when another tab is chosen.
    press(0, c->button_Z);
    c->view()->hide();
    EXPECT_EQ(sentAfter("2s"), (Packets{d(0x5A), u(0x5A)}));
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
    EXPECT_EQ(sentAfter("2s"), (Packets{d(0xFF54), u(0xFF54)}));
}

TEST_F(KeyboardSession, ThePreviewShowsTypedTextInTheStatusBarStripForTwoSeconds)
{
    EXPECT_FALSE(StatusBar::shared().isHidden());
    EXPECT_EQ(previewAfter("A"), "a");
    EXPECT_TRUE(StatusBar::shared().isHidden());
    EXPECT_EQ(previewAfter("LSHIFT A LSHIFT 1 SPACE TAB"), "aA! \t");
    EXPECT_EQ(previewAfter("BackSpace"), "aA! ");
    EXPECT_EQ(previewAfter("Enter"), "");
    EXPECT_TRUE(StatusBar::shared().isHidden());
    clock.advance(1.99);
    EXPECT_TRUE(StatusBar::shared().isHidden());
    clock.advance(0.01);
    EXPECT_FALSE(StatusBar::shared().isHidden());

    // BackSpace on an empty preview still hides the bar and restarts the timer.
    EXPECT_EQ(previewAfter("BackSpace"), "");
    EXPECT_TRUE(StatusBar::shared().isHidden());
    EXPECT_EQ(previewAfter("1.5s 7 1.9s"), "7");
    EXPECT_EQ(previewAfter("0.1s"), "");
    EXPECT_FALSE(StatusBar::shared().isHidden());
}

TEST_F(KeyboardSession, KeysOutsideTheTextRangesAndKeysTypedWithCtrlOrAltStayOutOfThePreview)
{
    EXPECT_EQ(previewAfter("ESC LEFT MENU LWIN +LCTRL C -LCTRL +LALT F -LALT"), "");
    EXPECT_FALSE(StatusBar::shared().isHidden());
    EXPECT_EQ(previewAfter("+LWIN E -LWIN"), "e");
    EXPECT_EQ(previewAfter("FastSwitch KP_4 KP_Add KP_2 F5 Delete"), "e4+2");
}

TEST_F(KeyboardSession, AKeyboardThatGoesWhileItsPreviewIsUpGivesTheStatusBarBack)
{
    touch("Q");
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
    // Q lets the latch go: a key stroke of its own.
    ASSERT_EQ(sentAfter("LSHIFT Q LSHIFT"), (Packets{d(0xFFE1), d(0x51), u(0x51), u(0xFFE1), d(0xFFE1)}));
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
    EXPECT_EQ(sentAfter("A LSHIFT A"), (Packets{d(0x41), u(0x41), d(0xFFE1), d(0x41), u(0x41), u(0xFFE1)}));

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
    EXPECT_EQ(previewAfter("+B 1.35s -B"), "bbbb");
}

TEST_F(KeyboardSession, SoundsFollowTheSendsAndTheLatch)
{
    touch("A LSHIFT LSHIFT"); // engaging the latch plays the release sound; letting go, the press sound
    EXPECT_EQ(app.takeSounds(), (QStringList{"keypress", "keyrelease", "keyrelease", "keypress"}));
    touch("CAPSLOCK +B 1.5s");
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
    EXPECT_EQ(previewAfter("1.35s"), "aAs");
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
    commit(QString::fromUtf8("é"));
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
    EXPECT_FALSE(StatusBar::shared().isHidden());
    save("keyboard-standard.png");

    touch("FastSwitch LSHIFT +F5"); // a key under a finger; function keys stay out of the preview
    EXPECT_FALSE(StatusBar::shared().isHidden());
    save("keyboard-extended.png");
    touch("-F5 FastSwitch");

    touch("H E L L O SPACE W O R L D LSHIFT 1 LSHIFT"); // the labels show the latch
    EXPECT_TRUE(StatusBar::shared().isHidden());
    EXPECT_EQ(previewText(), "hello world!");
    save("keyboard-preview.png");
}

TEST_F(KeyboardPictures, TextEntryOverTheTopRow)
{
    tap(controller->button_Text);
    commit(QString::fromUtf8("Grüße, café ж € "));
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
