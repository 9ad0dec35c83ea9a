// SPDX-License-Identifier: GPL-3.0-or-later
// What the device sinks make of the phone's events: key strokes and what is
// held, button changes and wheel steps, command codes and window commands,
// everything let go when the client goes; then the exact events the uinput
// sink writes, and the real /dev/uinput where this machine allows it.
#include "common/Notice.h"
#include "keys/KeyboardLayout.h"
#include "sinks/DeviceSink.h"
#include "sinks/UinputDevice.h"
#include "sinks/UinputSink.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon-keysyms.h>
#include <fcntl.h>
#include <fstream>
#include <linux/input.h>
#include <sstream>
#include <unistd.h>

namespace {

// A device that writes down what it is asked to do.
class RecordingSink : public DeviceSink {
public:
    std::vector<std::string> calls;
    // Keysyms this device cannot produce.
    std::set<uint32_t> missing;

protected:
    bool pressKey(uint32_t keysym, bool down) override
    {
        if (missing.count(keysym))
            return false;
        std::ostringstream call;
        call << (down ? "down " : "up ") << std::hex << keysym;
        calls.push_back(call.str());
        return true;
    }
    void pressButton(MouseButton button, bool down) override
    {
        const char* name = button == MouseButton::Left ? "left" : button == MouseButton::Middle ? "middle" : "right";
        calls.push_back(std::string(down ? "press " : "release ") + name);
    }
    void moveBy(int dx, int dy) override { calls.push_back("move " + std::to_string(dx) + "," + std::to_string(dy)); }
    void scrollStep(bool up) override { calls.push_back(up ? "wheel up" : "wheel down"); }
    void endOfEvent() override { calls.push_back("end"); }
};

using Calls = std::vector<std::string>;

// Drops the "end" entries where a test is about the order of the rest.
Calls withoutEnds(const Calls& calls)
{
    Calls kept;
    for (const std::string& call : calls) {
        if (call != "end")
            kept.push_back(call);
    }
    return kept;
}

} // namespace

TEST(DeviceSink, KeysAreStrokedAndOnlyHeldOnesAreLetGoAtTheEnd)
{
    RecordingSink sink;
    sink.keyboard(1, XKB_KEY_Shift_L);
    sink.keyboard(1, XKB_KEY_A);
    sink.keyboard(1, XKB_KEY_A); // a held key repeats its key down
    sink.keyboard(0, XKB_KEY_A);
    sink.keyboard(0, XKB_KEY_Control_L); // never pressed by this client: not ours to let go
    sink.keyboard(1, 0); // keys without a code send nothing
    sink.keyboard(1, XKB_KEY_Alt_L);
    sink.keyboard(1, XKB_KEY_Meta_L); // the phone's "win" key is the Super key
    EXPECT_EQ(sink.calls, (Calls{"down ffe1", "end", "down 41", "end", "down 41", "end", "up 41", "end", "end",
                                 "down ffe9", "end", "down ffeb", "end"}));

    sink.calls.clear();
    sink.releaseHeld();
    EXPECT_EQ(withoutEnds(sink.calls), (Calls{"up ffe1", "up ffe9", "up ffeb"}));
    sink.calls.clear();
    sink.releaseHeld();
    EXPECT_EQ(withoutEnds(sink.calls), Calls{}) << "nothing is let go twice";

    // A key the device cannot produce is not counted as held.
    sink.missing = {0x1002603};
    sink.keyboard(1, 0x1002603);
    sink.keyboard(0, 0x1002603);
    sink.releaseHeld();
    EXPECT_EQ(withoutEnds(sink.calls), Calls{});
}

TEST(DeviceSink, ButtonsChangeOnlyWhenTheirBitDoesAndWheelBitsAreSteps)
{
    RecordingSink sink;
    sink.mouse(1, 0, 0);   // left down
    sink.mouse(1, 5, -3);  // drag
    sink.mouse(0, 0, 0);   // left up
    sink.mouse(2, 0, 0);   // middle click from the wheel strip
    sink.mouse(0, 0, 0);
    sink.mouse(4 | 8, 0, 0); // right held while the wheel steps up
    sink.mouse(4 | 8, 0, 0); // wheel bits are not a state: every packet is a step
    sink.mouse(4 | 16, -32768, 32767);
    EXPECT_EQ(withoutEnds(sink.calls),
              (Calls{"press left", "move 5,-3", "release left", "press middle", "release middle", "press right",
                     "wheel up", "wheel up", "move -32768,32767", "wheel down"}));
    sink.calls.clear();
    sink.releaseHeld();
    EXPECT_EQ(withoutEnds(sink.calls), Calls{"release right"});
}

TEST(DeviceSink, CommandCodesBecomeTheirKeysAndWindowCommandsActOnce)
{
    RecordingSink sink;
    sink.keyboard(1, 0x08010032); // remote panel: volume up
    sink.keyboard(0, 0x08010032);
    sink.keyboard(1, 0x08030002); // keyboard: play
    sink.keyboard(0, 0x08030002);
    sink.keyboard(1, 0x08020001); // no such command: ignored
    sink.keyboard(0, 0x08020001);
    std::ostringstream expected;
    expected << std::hex << "down " << XKB_KEY_XF86AudioRaiseVolume << " up " << XKB_KEY_XF86AudioRaiseVolume
             << " down " << XKB_KEY_XF86AudioPlay << " up " << XKB_KEY_XF86AudioPlay;
    std::string seen;
    for (const std::string& call : withoutEnds(sink.calls))
        seen += (seen.empty() ? "" : " ") + call;
    EXPECT_EQ(seen, expected.str());

    // Without a window manager to ask, the shortcut is typed, once per press.
    sink.calls.clear();
    sink.keyboard(1, XKB_KEY_Shift_L);
    sink.keyboard(1, 0x08050000);
    sink.keyboard(0, 0x08050000);
    EXPECT_EQ(withoutEnds(sink.calls), (Calls{"down ffe1", "down ffe9", "down ffc1", "up ffc1", "up ffe9"}));
    sink.calls.clear();
    sink.releaseHeld();
    EXPECT_EQ(withoutEnds(sink.calls), Calls{"up ffe1"}) << "the shortcut's keys are not left held";
}

namespace {

struct WrittenEvent {
    uint16_t type;
    uint16_t code;
    int32_t value;
    bool operator==(const WrittenEvent& other) const
    {
        return type == other.type && code == other.code && value == other.value;
    }
};

std::ostream& operator<<(std::ostream& out, const WrittenEvent& e)
{
    return out << "{" << e.type << "," << e.code << "," << e.value << "}";
}

// A uinput sink writing into a pipe instead of the kernel.
class PipedUinputSink {
public:
    // Without a layout, keys are placed as on a US keyboard.
    explicit PipedUinputSink(std::unique_ptr<KeyboardLayout> layout = nullptr)
    {
        int ends[2];
        EXPECT_EQ(pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
        readEnd_ = UniqueFd(ends[0]);
        sink = std::make_unique<UinputSink>(std::make_unique<UinputDevice>(UniqueFd(ends[1]), false),
                                            std::move(layout));
    }

    std::vector<WrittenEvent> written()
    {
        std::vector<WrittenEvent> events;
        input_event event{};
        while (read(readEnd_.get(), &event, sizeof event) == ssize_t(sizeof event))
            events.push_back({event.type, event.code, event.value});
        return events;
    }

    UniqueFd readEnd_;
    std::unique_ptr<UinputSink> sink;
};

constexpr WrittenEvent kSync{EV_SYN, SYN_REPORT, 0};

} // namespace

TEST(UinputSink, WritesKeysButtonsMotionAndWheelAsKernelEvents)
{
    PipedUinputSink device;
    device.sink->keyboard(1, XKB_KEY_Shift_L);
    device.sink->keyboard(1, XKB_KEY_A);
    device.sink->keyboard(0, XKB_KEY_A);
    device.sink->keyboard(1, 0x08030100);
    device.sink->keyboard(0, 0x08030100);
    EXPECT_EQ(device.written(),
              (std::vector<WrittenEvent>{{EV_KEY, KEY_LEFTSHIFT, 1}, kSync, {EV_KEY, KEY_A, 1}, kSync,
                                         {EV_KEY, KEY_A, 0}, kSync, {EV_KEY, KEY_VOLUMEUP, 1}, kSync,
                                         {EV_KEY, KEY_VOLUMEUP, 0}, kSync}));

    // Movement and a button change of one packet share a moment.
    device.sink->mouse(1, 7, 0);
    device.sink->mouse(1, -2, 9);
    device.sink->mouse(1 | 8, 0, 0);
    device.sink->mouse(16, 0, 0);
    device.sink->mouse(0, 0, 0); // nothing changed: nothing written
    EXPECT_EQ(device.written(),
              (std::vector<WrittenEvent>{{EV_REL, REL_X, 7}, {EV_KEY, BTN_LEFT, 1}, kSync, {EV_REL, REL_X, -2},
                                         {EV_REL, REL_Y, 9}, kSync, {EV_REL, REL_WHEEL, 1}, kSync,
                                         {EV_KEY, BTN_LEFT, 0}, {EV_REL, REL_WHEEL, -1}, kSync}));

    // A keysym with no key of the US layout writes nothing and holds nothing.
    device.sink->keyboard(1, 0x1002603);
    EXPECT_EQ(device.written(), std::vector<WrittenEvent>{});

    device.sink->mouse(4, 0, 0);
    device.written();
    device.sink.reset();
    EXPECT_EQ(device.written(), (std::vector<WrittenEvent>{{EV_KEY, KEY_LEFTSHIFT, 0}, kSync,
                                                           {EV_KEY, BTN_RIGHT, 0}, kSync}))
        << "what the client held is let go when the sink goes";
}

TEST(UinputSink, TypesInTheComputersLayoutWithTheModifiersALevelNeeds)
{
    std::string error;
    PipedUinputSink german(KeyboardLayout::compile(LayoutNames{"de", "", "", ""}, error));
    ASSERT_TRUE(error.empty()) << error;
    const auto stroke = [&german](uint32_t keysym) {
        german.sink->keyboard(1, keysym);
        german.sink->keyboard(0, keysym);
        return german.written();
    };
    using Events = std::vector<WrittenEvent>;
    const auto key = [](uint16_t code, int32_t down) { return WrittenEvent{EV_KEY, code, down}; };

    // The phone's Z is the German Z key, where a US keyboard has its Y.
    EXPECT_EQ(stroke(XKB_KEY_Z), (Events{key(KEY_Y, 1), kSync, key(KEY_Y, 0), kSync}));
    // @ is AltGr and Q: AltGr goes down first and up last.
    EXPECT_EQ(stroke(XKB_KEY_at), (Events{key(KEY_RIGHTALT, 1), kSync, key(KEY_Q, 1), kSync, key(KEY_Q, 0), kSync,
                                          key(KEY_RIGHTALT, 0), kSync}));
    // / is Shift and 7; the stroke brings its own Shift...
    EXPECT_EQ(stroke(XKB_KEY_slash), (Events{key(KEY_LEFTSHIFT, 1), kSync, key(KEY_7, 1), kSync, key(KEY_7, 0),
                                             kSync, key(KEY_LEFTSHIFT, 0), kSync}));
    // ...but leaves the phone's Shift alone: down until the phone lets go.
    german.sink->keyboard(1, XKB_KEY_Shift_L);
    EXPECT_EQ(german.written(), (Events{key(KEY_LEFTSHIFT, 1), kSync}));
    EXPECT_EQ(stroke(XKB_KEY_slash), (Events{key(KEY_7, 1), kSync, key(KEY_7, 0), kSync}));
    german.sink->keyboard(0, XKB_KEY_Shift_L);
    EXPECT_EQ(german.written(), (Events{key(KEY_LEFTSHIFT, 0), kSync}));

    // ` is a dead key in German: the dead key, then the space bar.
    german.sink->keyboard(1, XKB_KEY_grave);
    EXPECT_EQ(german.written(), (Events{key(KEY_LEFTSHIFT, 1), kSync, key(KEY_EQUAL, 1), kSync, key(KEY_EQUAL, 0),
                                        kSync, key(KEY_LEFTSHIFT, 0), kSync, key(KEY_SPACE, 1), kSync}));
    german.sink->keyboard(0, XKB_KEY_grave);
    EXPECT_EQ(german.written(), (Events{key(KEY_SPACE, 0), kSync}));

    // What no key of the layout types writes nothing and is not held.
    EXPECT_EQ(stroke(0x1002603), Events{});
    // The keys that are the same in every layout stay where they are.
    EXPECT_EQ(stroke(XKB_KEY_Return), (Events{key(KEY_ENTER, 1), kSync, key(KEY_ENTER, 0), kSync}));
    EXPECT_EQ(stroke(XKB_KEY_KP_5), (Events{key(KEY_KP5, 1), kSync, key(KEY_KP5, 0), kSync}));

    // AltGr held for a held @ is let go with it when the phone goes.
    german.sink->keyboard(1, XKB_KEY_at);
    german.written();
    german.sink.reset();
    EXPECT_EQ(german.written(), (Events{key(KEY_Q, 0), kSync, key(KEY_RIGHTALT, 0), kSync}));
}

namespace {

// The notices written from its making until lines() is called (or it
// goes): standard error goes into a pipe meanwhile.
class CapturedNotices {
public:
    CapturedNotices()
    {
        int ends[2];
        EXPECT_EQ(pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
        readEnd_ = UniqueFd(ends[0]);
        noticeOutput().flush();
        savedError_ = UniqueFd(dup(STDERR_FILENO));
        dup2(ends[1], STDERR_FILENO);
        close(ends[1]);
    }
    ~CapturedNotices() { lines(); }
    std::vector<std::string> lines()
    {
        noticeOutput().flush();
        dup2(savedError_.get(), STDERR_FILENO);
        char text[4096];
        const ssize_t got = read(readEnd_.get(), text, sizeof text);
        std::istringstream stream(std::string(text, got > 0 ? std::size_t(got) : 0));
        std::vector<std::string> lines;
        for (std::string line; std::getline(stream, line);)
            lines.push_back(line);
        return lines;
    }

private:
    UniqueFd readEnd_;
    UniqueFd savedError_;
};

} // namespace

// Text typed on the phone in any language, as the computer's layout types
// it: the keys and modifiers (AltGr included) a person of that layout uses,
// "é" on a German keyboard through its dead acute key; what the layout
// lacks ("中") is typed as nothing else and told once a session.
TEST(UinputSink, TypesTextInTheComputersLayoutAndRefusesWhatItLacksOnce)
{
    using Events = std::vector<WrittenEvent>;
    const auto key = [](uint16_t code, int32_t down) { return WrittenEvent{EV_KEY, code, down}; };
    const auto plain = [&](uint16_t code) { return Events{key(code, 1), kSync, key(code, 0), kSync}; };
    const auto altGr = [&](uint16_t code) {
        return Events{key(KEY_RIGHTALT, 1), kSync, key(code, 1), kSync, key(code, 0), kSync, key(KEY_RIGHTALT, 0),
                      kSync};
    };
    const auto plus = [](Events a, const Events& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const struct {
        const char* layout;
        Events sharpS, eAcute, at;
        std::vector<std::string> refused;
    } layouts[] = {
        {"de", plain(KEY_MINUS), plus(plain(KEY_EQUAL), plain(KEY_E)), altGr(KEY_Q), {"\"中\" (U+4E2D)"}},
        {"fr", altGr(KEY_S), plain(KEY_2), altGr(KEY_0), {"\"中\" (U+4E2D)"}},
    };
    for (const auto& expected : layouts) {
        SCOPED_TRACE(expected.layout);
        std::string error;
        PipedUinputSink device(KeyboardLayout::compile(LayoutNames{expected.layout, "", "", ""}, error));
        ASSERT_TRUE(error.empty()) << error;
        const auto stroke = [&device](uint32_t keysym) {
            device.sink->keyboard(1, keysym);
            device.sink->keyboard(0, keysym);
            return device.written();
        };
        CapturedNotices notices;
        EXPECT_EQ(stroke(XKB_KEY_ssharp), expected.sharpS);
        EXPECT_EQ(stroke(XKB_KEY_eacute), expected.eAcute);
        EXPECT_EQ(stroke(XKB_KEY_at), expected.at);
        EXPECT_EQ(stroke(0x1004E2D), Events{}) << "中 is typed as nothing else";
        EXPECT_EQ(stroke(0x1004E2D), Events{});
        EXPECT_EQ(stroke(0x10000E9), expected.eAcute) << "the Unicode keysym of é is é";
        std::vector<std::string> lines = notices.lines();
        ASSERT_EQ(lines.size(), expected.refused.size());
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i], "quillon-receiver: character " + expected.refused[i]
                                    + " not typed: the keyboard layout '" + expected.layout + "' has no key for it");

        // A new session tells again.
        device.sink->releaseHeld();
        CapturedNotices again;
        EXPECT_EQ(stroke(0x1004E2D), Events{});
        EXPECT_EQ(again.lines().size(), 1u);
    }
}

TEST(UinputSink, WindowCommandsAreTheUsualShortcuts)
{
    PipedUinputSink device;
    device.sink->keyboard(1, 0x08050002);
    device.sink->keyboard(0, 0x08050002);
    EXPECT_EQ(device.written(), (std::vector<WrittenEvent>{{EV_KEY, KEY_LEFTMETA, 1}, kSync, {EV_KEY, KEY_UP, 1},
                                                           kSync, {EV_KEY, KEY_UP, 0}, kSync,
                                                           {EV_KEY, KEY_LEFTMETA, 0}, kSync}));
}

TEST(UinputSink, ThePowerCommandPressesThePowerKeyOnlyWhereAllowed)
{
    using Events = std::vector<WrittenEvent>;
    // The remote's power button, the power key's keysym itself, and its kin.
    const uint32_t powerKeys[] = {0x08010000, XKB_KEY_XF86PowerOff, XKB_KEY_XF86Sleep, XKB_KEY_XF86Suspend};
    PipedUinputSink device;
    for (uint32_t code : powerKeys) {
        device.sink->keyboard(1, code);
        device.sink->keyboard(0, code);
    }
    device.sink->keyboard(1, XKB_KEY_Return);
    EXPECT_EQ(device.written(), (Events{{EV_KEY, KEY_ENTER, 1}, kSync})) << "nothing but the key after them";

    device.sink->allowPowerKeys(true);
    device.sink->keyboard(1, 0x08010000);
    device.sink->keyboard(0, 0x08010000);
    EXPECT_EQ(device.written(), (Events{{EV_KEY, KEY_POWER, 1}, kSync, {EV_KEY, KEY_POWER, 0}, kSync}));
}

TEST(UinputDevice, TheRealDeviceAppearsAndGoesWhereUinputIsWritable)
{
    if (access("/dev/uinput", W_OK) != 0)
        GTEST_SKIP() << "/dev/uinput is not writable here";
    const auto listed = [] {
        std::ifstream devices("/proc/bus/input/devices");
        std::stringstream text;
        text << devices.rdbuf();
        return text.str().find("Quillon remote input") != std::string::npos;
    };
    std::string error;
    {
        // Only a key that means nothing to a desktop, and no pointer motion.
        auto sink = UinputSink::open(LayoutNames{}, error);
        ASSERT_TRUE(sink) << error;
        EXPECT_TRUE(listed());
        sink->keyboard(1, XKB_KEY_Scroll_Lock);
        sink->keyboard(0, XKB_KEY_Scroll_Lock);
    }
    EXPECT_FALSE(listed());
}
