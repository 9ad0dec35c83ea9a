// SPDX-License-Identifier: GPL-3.0-or-later
// The remote panel with its real form, driven by touches through the platform
// layer, against a loopback receiver: what each button and pad sends, when,
// which sounds it plays, and what happens without a session.
#include "WireFormat.h"
#include "RemoteProtocol.h"
#include "RemoteViewController.h"
#include "SoundServer.h"

#include "platform/Alert.h"
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"
#include "support/platform/ManualClock.h"
#include "platform/NotificationCenter.h"
#include "support/platform/RecordingAudioBackend.h"
#include "platform/StatusBar.h"
#include "platform/TouchTracker.h"
#include "platform/UserDefaults.h"
#include "platform/ViewAnimation.h"

#include "support/AppTestEnvironment.h"
#include "support/SessionRecorder.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

using namespace platform;
namespace Key = RemoteKeyCode;

namespace {

SentPackets stroke(uint32_t keyCode)
{
    return {SentPacket::keyDown(keyCode), SentPacket::keyUp(keyCode)};
}

const AlertRecord kNoSession{"Connection Error", "Please, connect to your computer before use the functions.", "OK"};

class RemotePanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(320, 480);
        remote.view()->setParent(&window);
        remote.view()->setGeometry(0, 20, 320, 460);
        window.show();
        remote.viewWillAppear(false);
    }

    // Lets the double-tap interval pass, so that the next touch is a lone tap.
    void pause() { clock.advance(QGuiApplication::styleHints()->mouseDoubleClickInterval() / 1000.0 + 0.1); }

    QStringList takeSounds()
    {
        const QStringList played = sounds->played();
        sounds->clearPlayed();
        return played;
    }

    // A finger down at `from`, moved there in steps of at most 10 points, and lifted.
    void swipe(QWidget* pad, QPointF from, QPointF to)
    {
        fingers.press(0, pad, from);
        EXPECT_EQ(fingers.target(0), pad); // not a button lying on the pad
        const QPointF travel = to - from;
        const int steps = qMax(1, int(qMax(qAbs(travel.x()), qAbs(travel.y())) / 10));
        for (int i = 1; i <= steps; ++i)
            fingers.move(0, pad, from + travel * i / steps);
        fingers.release(0, pad, to);
        pause();
    }

    // Virtual time, a private settings file with sounds on, recorded sounds,
    // no alerts and no animations, for the life of each test.
    AppTestEnvironment app;
    ScopedManualClock& clock = app.clock;
    std::shared_ptr<RecordingAudioBackend>& sounds = app.sounds;
    QWidget window;
    RemoteViewController remote;
    FingerSimulator fingers;
};

class ConnectedRemotePanelTest : public RemotePanelTest {
protected:
    void SetUp() override
    {
        RemotePanelTest::SetUp();
        ASSERT_TRUE(session.connected());
    }
    SessionRecorder session;
};

struct PanelKey {
    const char* name;
    Button* (RemoteViewController::*outlet)() const;
    uint32_t keyCode;
};

const PanelKey kPanelKeys[] = {
    {"Power", &RemoteViewController::buttonPower, 0x08010000},
    {"Menu", &RemoteViewController::buttonMenu, 0x08010001},
    {"Info", &RemoteViewController::buttonInfo, 0x08010002},
    {"Main", &RemoteViewController::buttonMain, 0x08010003},
    {"Up", &RemoteViewController::buttonUp, 0x08010010},
    {"Down", &RemoteViewController::buttonDown, 0x08010011},
    {"Left", &RemoteViewController::buttonLeft, 0x08010012},
    {"Right", &RemoteViewController::buttonRight, 0x08010013},
    {"PageUp", &RemoteViewController::buttonPageUp, 0x08010018},
    {"PageDown", &RemoteViewController::buttonPageDown, 0x08010019},
    {"Select", &RemoteViewController::buttonSelect, 0x08010020},
    {"Back", &RemoteViewController::buttonBack, 0x08010021},
    {"VolumeMute", &RemoteViewController::buttonVolumeMute, 0x08010030},
    {"VolumeDown", &RemoteViewController::buttonVolumeDown, 0x08010031},
    {"VolumeUp", &RemoteViewController::buttonVolumeUp, 0x08010032},
    {"ChannelUp", &RemoteViewController::buttonChannelUp, 0x08010040},
    {"ChannelDown", &RemoteViewController::buttonChannelDown, 0x08010041},
    {"Record", &RemoteViewController::buttonRecord, 0x08010050},
    {"PlayPause", &RemoteViewController::buttonPlayPause, 0x08010051},
    {"Stop", &RemoteViewController::buttonStop, 0x08010052},
    {"Next", &RemoteViewController::buttonNext, 0x08010053},
    {"Previous", &RemoteViewController::buttonPrevious, 0x08010054},
    {"Rewind", &RemoteViewController::buttonRewind, 0x08010055},
    {"Forward", &RemoteViewController::buttonForward, 0x08010056},
};

} // namespace

TEST_F(ConnectedRemotePanelTest, EveryPanelButtonSendsItsCodeAsDownAndUpOnlyAtTheRelease)
{
    for (const PanelKey& key : kPanelKeys) {
        SCOPED_TRACE(key.name);
        Button* button = (remote.*key.outlet)();
        ASSERT_NE(button, nullptr);
        const QPointF middle = QRectF(button->rect()).center();

        fingers.press(0, button, middle);
        EXPECT_EQ(session.takePackets(), SentPackets{}); // held: nothing yet
        EXPECT_EQ(takeSounds(), QStringList{"keypress"});
        fingers.move(0, button, middle + QPointF(3, 2));
        EXPECT_EQ(session.takePackets(), SentPackets{});

        fingers.release(0, button, middle + QPointF(3, 2));
        EXPECT_EQ(session.takePackets(), stroke(key.keyCode));
        EXPECT_EQ(takeSounds(), QStringList{"keyrelease"});
        pause();
    }
    EXPECT_TRUE(Alert::history().empty());
}

TEST_F(ConnectedRemotePanelTest, AFingerSlidOffAButtonTakesThePressBack)
{
    Button* volumeUp = remote.buttonVolumeUp();
    fingers.press(0, volumeUp, {30, 19});
    fingers.move(0, volumeUp, {30, 150});
    fingers.release(0, volumeUp, {30, 150});
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_EQ(takeSounds(), QStringList{"keypress"});
}

TEST_F(ConnectedRemotePanelTest, TheMapHoldsTheTwentyFourPanelButtonsAndNothingElseSends)
{
    const RemoteViewController::ButtonMap& map = remote.buttonMaps();
    ASSERT_EQ(map.size(), 24);
    for (const PanelKey& key : kPanelKeys)
        EXPECT_EQ(map.value(RemoteViewController::buttonKey((remote.*key.outlet)())), key.keyCode) << key.name;

    // Controls of the panel outside the map, and a button from elsewhere.
    Button stranger;
    for (Control* other : std::initializer_list<Control*>{remote.buttonSettings(), remote.buttonTabBar(),
                                                          remote.arrowPad(), remote.pagePad(), &stranger}) {
        EXPECT_FALSE(map.contains(RemoteViewController::buttonKey(other)));
        remote.buttonReleased(other);
    }
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_TRUE(takeSounds().isEmpty());
}

TEST_F(ConnectedRemotePanelTest, ASwipeOnTheArrowPadSendsTheArrowOfItsLongerWholeStepAxis)
{
    QWidget* pad = remote.arrowPad();
    // Starting points on the ring, clear of the arrow buttons and Select.
    const QPointF upperLeft(40, 40), lowerLeft(40, 150), lowerRight(150, 150);
    struct Swipe {
        const char* name;
        QPointF from;
        QPointF travel;
        uint32_t keyCode;
    } swipes[] = {
        {"100 right, 30 up: h -2, v 0", lowerLeft, {100, -30}, Key::Right},
        {"50 up, 50 left: a tie goes to the horizontal axis", lowerRight, {-50, -50}, Key::Left},
        {"short of a step on both axes", upperLeft, {25, 20}, Key::Left},
        {"45 down, 10 right", upperLeft, {10, 45}, Key::Down},
        {"80 up, 60 right", lowerLeft, {60, -80}, Key::Up},
        {"41 right", upperLeft, {41, 0}, Key::Right},
        {"39 right is no step", upperLeft, {39, 0}, Key::Left},
        {"ending far beyond the pad", lowerRight, {0, 300}, Key::Down},
    };
    for (const Swipe& s : swipes) {
        SCOPED_TRACE(s.name);
        swipe(pad, s.from, s.from + s.travel);
        EXPECT_EQ(session.takePackets(), stroke(s.keyCode));
        EXPECT_EQ(takeSounds(), QStringList{"click"});
    }
}

TEST_F(ConnectedRemotePanelTest, ASwipeIsMeasuredFromTouchDownToLiftWhateverTheWayBetween)
{
    QWidget* pad = remote.arrowPad();
    fingers.press(0, pad, {40, 150});
    fingers.move(0, pad, {40, 20}); // far up...
    EXPECT_EQ(session.takePackets(), SentPackets{}); // nothing while it moves
    fingers.move(0, pad, {130, 140}); // ...then back down and over to the right
    fingers.release(0, pad, {130, 140});
    EXPECT_EQ(session.takePackets(), stroke(Key::Right));
}

TEST_F(ConnectedRemotePanelTest, ATapOnTheArrowPadSelectsAndADoubleTapSelectsOnce)
{
    QWidget* pad = remote.arrowPad();
    fingers.tap(pad, {40, 150});
    EXPECT_EQ(session.takePackets(), stroke(Key::Select));
    EXPECT_EQ(takeSounds(), QStringList{"click"});
    pause();

    // A finger that wavers a little while still counting as a tap.
    const qreal slop = TouchTracker::instance().tapSlop();
    fingers.press(0, pad, {150, 60});
    fingers.move(0, pad, {150 + slop / 2, 60});
    fingers.release(0, pad, {150 + slop / 2, 60});
    EXPECT_EQ(session.takePackets(), stroke(Key::Select));
    EXPECT_EQ(takeSounds(), QStringList{"click"});
    pause();

    fingers.tap(pad, {40, 150});
    fingers.tap(pad, {41, 150});
    EXPECT_EQ(session.takePackets(), stroke(Key::Select));
    EXPECT_EQ(takeSounds(), QStringList{"click"});
}

TEST_F(ConnectedRemotePanelTest, DraggingThePagePadSendsOnePagePerFortyPointsFromTheLastStep)
{
    QWidget* pad = remote.pagePad();
    fingers.press(0, pad, {42, 140});
    ASSERT_EQ(fingers.target(0), pad);
    EXPECT_EQ(takeSounds(), QStringList{});
    fingers.move(0, pad, {42, 120});
    fingers.move(0, pad, {42, 101}); // 39 up
    EXPECT_EQ(session.takePackets(), SentPackets{});
    fingers.move(0, pad, {42, 100}); // 40 up
    EXPECT_EQ(session.takePackets(), stroke(Key::PageUp));
    EXPECT_EQ(takeSounds(), QStringList{"keypress"});
    fingers.move(0, pad, {60, 61}); // a further 39 (sideways does not count)
    EXPECT_EQ(session.takePackets(), SentPackets{});
    fingers.move(0, pad, {60, 60}); // 80 in all
    EXPECT_EQ(session.takePackets(), stroke(Key::PageUp));

    fingers.move(0, pad, {60, 99}); // back down 39
    EXPECT_EQ(session.takePackets(), SentPackets{});
    fingers.move(0, pad, {60, 260}); // far down in one move, below the pad: one page only
    EXPECT_EQ(session.takePackets(), stroke(Key::PageDown));
    fingers.move(0, pad, {60, 290});
    EXPECT_EQ(session.takePackets(), SentPackets{});

    takeSounds();
    fingers.release(0, pad, {60, 290});
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_EQ(takeSounds(), QStringList{"keyrelease"});
}

TEST_F(ConnectedRemotePanelTest, APagePadTapSelectsOnlyWhenTheFingerDidNotMoveAtAll)
{
    QWidget* pad = remote.pagePad();
    fingers.tap(pad, {42, 100.5});
    EXPECT_EQ(session.takePackets(), stroke(Key::Select));
    EXPECT_EQ(takeSounds(), QStringList{"click"});
    pause();

    // Still a tap to the platform, but not where it came down.
    fingers.press(0, pad, {42, 100.5});
    fingers.release(0, pad, {42.25, 100.5});
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_EQ(takeSounds(), QStringList{"keyrelease"});
    pause();

    // The second tap of a double tap does not select again.
    fingers.tap(pad, {42, 100});
    fingers.tap(pad, {42, 100});
    EXPECT_EQ(session.takePackets(), stroke(Key::Select));
    EXPECT_EQ(takeSounds(), (QStringList{"click", "keyrelease"}));
}

TEST_F(RemotePanelTest, WithoutASessionReleasesAndLiftsWarnAndDragsStayQuiet)
{
    ASSERT_EQ(remote_is_connected(), 0);
    fingers.press(0, remote.buttonPlayPause(), {23, 22});
    EXPECT_TRUE(Alert::history().empty()); // not on a press
    fingers.release(0, remote.buttonPlayPause(), {23, 22});
    ASSERT_EQ(Alert::history().size(), 1u);
    Alert::dismissCurrent(); // the sheet covers the panel until it is put away
    pause();

    swipe(remote.arrowPad(), {150, 40}, {70, 40});
    EXPECT_EQ(Alert::history().size(), 2u);
    Alert::dismissCurrent();

    fingers.press(0, remote.pagePad(), {42, 140});
    fingers.move(0, remote.pagePad(), {42, 90});
    fingers.move(0, remote.pagePad(), {42, 40});
    EXPECT_EQ(Alert::history().size(), 2u); // the drag's pages only
    fingers.release(0, remote.pagePad(), {42, 40});
    ASSERT_EQ(Alert::history().size(), 3u);
    for (const AlertRecord& alert : Alert::history())
        EXPECT_EQ(alert, kNoSession);

    // The handlers go on after the warning: the sounds still play.
    EXPECT_EQ(takeSounds(), (QStringList{"keypress", "keyrelease", "click", "keypress", "keypress", "keyrelease"}));
}

TEST_F(ConnectedRemotePanelTest, AReceiverThatWentAwayIsReportedAtTheNextRelease)
{
    session.receiverGoesAway();
    fingers.tap(remote.buttonStop(), {23, 22}); // the send finds the session gone
    EXPECT_EQ(remote_is_connected(), 0);
    EXPECT_TRUE(Alert::history().empty());
    pause();
    fingers.tap(remote.buttonStop(), {23, 22});
    ASSERT_EQ(Alert::history().size(), 1u);
    EXPECT_EQ(Alert::history()[0], kNoSession);
}

TEST_F(ConnectedRemotePanelTest, TheTabBarAndSettingsButtonsPostTheirNotificationsWithoutObject)
{
    QStringList posted;
    std::vector<bool> withObject;
    QObject observer;
    for (const QString name : {"Toggle TabBar", "Settings"})
        NotificationCenter::defaultCenter().addObserver(&observer, name, [&](const Notification& n) {
            posted << n.name();
            withObject.push_back(n.object().has_value());
        });

    fingers.tap(remote.buttonTabBar(), {20, 20});
    pause();
    fingers.tap(remote.buttonSettings(), {20, 20});
    pause();
    fingers.tap(remote.buttonTabBar(), {20, 20});
    EXPECT_EQ(posted, (QStringList{"Toggle TabBar", "Settings", "Toggle TabBar"}));
    EXPECT_EQ(withObject, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(session.takePackets(), SentPackets{});
    EXPECT_TRUE(Alert::history().empty());
}

TEST_F(RemotePanelTest, TheStatusBarComesBackEachTimeThePanelIsAboutToShow)
{
    StatusBar::shared().setHidden(true, false);
    remote.viewWillAppear(false);
    EXPECT_FALSE(StatusBar::shared().isHidden());
}

TEST(RemotePanelLayout, OutletsAppearWithTheViewAndEveryControlFitsTheScreen)
{
    RemoteViewController remote;
    EXPECT_EQ(remote.buttonPower(), nullptr);
    EXPECT_TRUE(remote.buttonMaps().isEmpty());
    QWidget* view = remote.view();
    EXPECT_EQ(view->size(), QSize(320, 460));

    const QList<Button*> controls = view->findChildren<Button*>();
    ASSERT_EQ(controls.size(), 28); // 24 panel buttons, settings, tab bar, two pads
    const QRect screen(0, 0, 320, 460);
    for (Button* control : controls) {
        SCOPED_TRACE(control->objectName().toStdString());
        EXPECT_TRUE(screen.contains(control->geometry()));
        EXPECT_GE(qMin(control->width(), control->height()), 38); // a fingertip
        EXPECT_FALSE(control->accessibleName().isEmpty()); // icons alone say nothing to a screen reader
    }
    // Buttons overlap only where they sit on a pad.
    for (Button* a : controls)
        for (Button* b : controls) {
            if (a == b || a == remote.arrowPad() || a == remote.pagePad() || b == remote.arrowPad()
                || b == remote.pagePad())
                continue;
            EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                << a->objectName().toStdString() << " / " << b->objectName().toStdString();
        }
    for (Button* onArrowPad : {remote.buttonUp(), remote.buttonDown(), remote.buttonLeft(), remote.buttonRight(),
                               remote.buttonSelect()})
        EXPECT_TRUE(remote.arrowPad()->geometry().contains(onArrowPad->geometry()));
    for (Button* onPagePad : {remote.buttonPageUp(), remote.buttonPageDown()})
        EXPECT_TRUE(remote.pagePad()->geometry().contains(onPagePad->geometry()));
    // Every image of the panel was found in the resources.
    for (Button* control : controls)
        EXPECT_FALSE(control->imageForState(ControlStateNormal).isNull() && control->currentTitle().isEmpty()
                     && control->backgroundImageForState(ControlStateNormal).isNull())
            << control->objectName().toStdString();
}
