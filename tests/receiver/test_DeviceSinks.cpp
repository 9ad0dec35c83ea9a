// What the device sinks make of the phone's events: key strokes and what is
// held, button changes and wheel steps, command codes and window commands,
// everything let go when the client goes; then the exact events the uinput
// sink writes, and the real /dev/uinput where this machine allows it.
#include "DeviceSink.h"
#include "UinputDevice.h"
#include "UinputSink.h"

#include <gtest/gtest.h>

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
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
    void flush() override { calls.push_back("flush"); }
};

using Calls = std::vector<std::string>;

// Drops the "flush" entries where a test is about the order of the rest.
Calls withoutFlushes(const Calls& calls)
{
    Calls kept;
    for (const std::string& call : calls) {
        if (call != "flush")
            kept.push_back(call);
    }
    return kept;
}

} // namespace

TEST(DeviceSink, KeysAreStrokedAndOnlyHeldOnesAreLetGoAtTheEnd)
{
    RecordingSink sink;
    sink.keyboard(1, XK_Shift_L);
    sink.keyboard(1, XK_A);
    sink.keyboard(1, XK_A); // a held key repeats its key down
    sink.keyboard(0, XK_A);
    sink.keyboard(0, XK_Control_L); // never pressed by this client: not ours to let go
    sink.keyboard(1, 0);            // keys without a code send nothing
    sink.keyboard(1, XK_Alt_L);
    EXPECT_EQ(sink.calls, (Calls{"down ffe1", "flush", "down 41", "flush", "down 41", "flush", "up 41", "flush",
                                 "flush", "down ffe9", "flush"}));

    sink.calls.clear();
    sink.releaseHeld();
    EXPECT_EQ(withoutFlushes(sink.calls), (Calls{"up ffe1", "up ffe9"}));
    sink.calls.clear();
    sink.releaseHeld();
    EXPECT_EQ(withoutFlushes(sink.calls), Calls{}) << "nothing is let go twice";

    // A key the device cannot produce is not counted as held.
    sink.missing = {0x1002603};
    sink.keyboard(1, 0x1002603);
    sink.keyboard(0, 0x1002603);
    sink.releaseHeld();
    EXPECT_EQ(withoutFlushes(sink.calls), Calls{});
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
    EXPECT_EQ(withoutFlushes(sink.calls),
              (Calls{"press left", "move 5,-3", "release left", "press middle", "release middle", "press right",
                     "wheel up", "wheel up", "move -32768,32767", "wheel down"}));
    sink.calls.clear();
    sink.releaseHeld();
    EXPECT_EQ(withoutFlushes(sink.calls), Calls{"release right"});
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
    expected << std::hex << "down " << XF86XK_AudioRaiseVolume << " up " << XF86XK_AudioRaiseVolume << " down "
             << XF86XK_AudioPlay << " up " << XF86XK_AudioPlay;
    std::string seen;
    for (const std::string& call : withoutFlushes(sink.calls))
        seen += (seen.empty() ? "" : " ") + call;
    EXPECT_EQ(seen, expected.str());

    // Without a window manager to ask, the shortcut is typed, once per press.
    sink.calls.clear();
    sink.keyboard(1, XK_Shift_L);
    sink.keyboard(1, 0x08050000);
    sink.keyboard(0, 0x08050000);
    EXPECT_EQ(withoutFlushes(sink.calls), (Calls{"down ffe1", "down ffe9", "down ffc1", "up ffc1", "up ffe9"}));
    sink.calls.clear();
    sink.releaseHeld();
    EXPECT_EQ(withoutFlushes(sink.calls), Calls{"up ffe1"}) << "the shortcut's keys are not left held";
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
    PipedUinputSink()
    {
        int ends[2];
        EXPECT_EQ(pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
        readEnd_ = UniqueFd(ends[0]);
        sink = std::make_unique<UinputSink>(std::make_unique<UinputDevice>(UniqueFd(ends[1]), false));
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
    device.sink->keyboard(1, XK_Shift_L);
    device.sink->keyboard(1, XK_A);
    device.sink->keyboard(0, XK_A);
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

TEST(UinputSink, WindowCommandsAreTheUsualShortcuts)
{
    PipedUinputSink device;
    device.sink->keyboard(1, 0x08050002);
    device.sink->keyboard(0, 0x08050002);
    EXPECT_EQ(device.written(), (std::vector<WrittenEvent>{{EV_KEY, KEY_LEFTMETA, 1}, kSync, {EV_KEY, KEY_UP, 1},
                                                           kSync, {EV_KEY, KEY_UP, 0}, kSync,
                                                           {EV_KEY, KEY_LEFTMETA, 0}, kSync}));
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
        auto sink = UinputSink::open(error);
        ASSERT_TRUE(sink) << error;
        EXPECT_TRUE(listed());
        sink->keyboard(1, XK_Scroll_Lock);
        sink->keyboard(0, XK_Scroll_Lock);
    }
    EXPECT_FALSE(listed());
}
