// SPDX-License-Identifier: GPL-3.0-or-later
// From a finger's movement on the touch pad to the receiver: a touch-moved
// QTouchEvent delivered to the pad's widget, through the platform's touch
// handling and the screen's handler, to the bytes read by a receiver on
// loopback (6 on a plain session, one 26-byte record on a secure one), with
// the run loop watching the session as the app does. Each touch is followed
// by the floor, a bare send() of 6 bytes to the same kind of reader, timed
// on its own: both meet the same load on the machine, so that their ratio
// holds on a busy one. Between them, the same touch event delivered to a
// bare widget that sends 6 bytes itself with send(): what Qt's delivery of
// the event (and the finger simulator) costs before any of the app's code
// runs. Each of the three has a connection of its own that began, as the
// session does, with a request and its answer: loopback TCP acknowledges a
// connection that has answered differently from one that never did, and
// the floor must meet the same. The medians and 99th percentiles of each,
// and their ratios, are printed at the end.
//
//     build/release/bench/bench_touchpad --benchmark_min_time=2
#include "RemoteProtocol.h"
#include "SecureRecord.h"
#include "SessionWatch.h"
#include "TouchPadView.h"
#include "TouchPadViewController.h"

#include "support/platform/FingerSimulator.h"

#include "support/LatencySamples.h"
#include "support/LoopbackPeer.h"
#include "support/LoopbackSockets.h"
#include "support/OffscreenBenchmarkMain.h"
#include "support/SecureLoginAnswer.h"

#include <QWidget>
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::Clock;
using bench::LoopbackPeer;
using bench::percentile;
using bench::recordSample;
using bench::reportPercentiles;

const std::string kPasscode = "bench passcode";

enum class Login { Plain, Secure };

// Per-iteration times in microseconds: "plain", "secure", and beside each
// the bare widget's ("plain bare", ...) and the floor ("plain floor", ...).
std::map<std::string, std::vector<double>> gSamples;

// A stand-in receiver that accepts one connection, answers its login and
// hands the connection over: the benchmark reads each packet itself, on the
// thread that caused it.
class HandOverReceiver {
public:
    explicit HandOverReceiver(Login login) : listener_(listeningOnLoopback(1)), port_(localPort(listener_.get()))
    {
        thread_ = std::thread([this, login] {
            connection_.reset(accept(listener_.get(), nullptr, nullptr));
            const bool answered = connection_.valid()
                                  && (login == Login::Plain ? bench::answerLoginWithAccept(connection_.get())
                                                            : bench::answerSecureLogin(connection_.get(), kPasscode,
                                                                                       "Bench Receiver"));
            if (!answered)
                connection_.reset();
        });
    }
    ~HandOverReceiver()
    {
        if (thread_.joinable())
            thread_.join();
    }
    HandOverReceiver(const HandOverReceiver&) = delete;
    HandOverReceiver& operator=(const HandOverReceiver&) = delete;

    uint16_t port() const { return port_; }
    // The accepted connection once logged in; -1 when that failed.
    int connection()
    {
        if (thread_.joinable())
            thread_.join();
        return connection_.valid() ? connection_.get() : -1;
    }

private:
    UniqueFd listener_;
    uint16_t port_;
    UniqueFd connection_;
    std::thread thread_;
};

const uint8_t kMove[REMOTE_MOUSE_PACKET_SIZE] = {REMOTE_PACKET_MOUSE, 0, 1, 0, 0, 0};

// A loopback connection for raw sends, with no delay on small packets, which
// began with a login request and its answer, as the session did.
class RawConnection {
public:
    RawConnection()
        : reader_(LoopbackPeer::Login::Accept, LoopbackPeer::AfterAccepting::HandOver)
        , sender_(connectToLoopback(reader_.port(), /*noDelay=*/true))
    {
        if (sender_.valid() && sendAll(sender_.get(), loginPacket(kPasscode))
            && receiveExactly(sender_.get(), acceptingLoginReply().size()))
            fd_ = reader_.connection();
    }
    bool valid() const { return fd_ >= 0; }
    int sender() const { return sender_.get(); }
    // Sends the 6 bytes and reads them at the other end.
    bool sendAndRead() { return send(sender_.get(), kMove, sizeof kMove, MSG_NOSIGNAL) == ssize_t(sizeof kMove) && read(); }
    // Reads the 6 bytes sent.
    bool read()
    {
        uint8_t packet[REMOTE_MOUSE_PACKET_SIZE];
        return readExactly(fd_, packet, sizeof packet);
    }

private:
    LoopbackPeer reader_;
    UniqueFd sender_;
    int fd_ = -1;
};

// A widget that takes touches and sends 6 bytes for each: Qt's delivery of a
// touch event and a raw send, and nothing of the app's.
class BareSender : public QWidget {
public:
    explicit BareSender(int fd) : fd_(fd) { setAttribute(Qt::WA_AcceptTouchEvents); }
    bool event(QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::TouchBegin:
        case QEvent::TouchEnd:
            event->accept();
            return true;
        case QEvent::TouchUpdate:
            send(fd_, kMove, sizeof kMove, MSG_NOSIGNAL);
            event->accept();
            return true;
        default:
            return QWidget::event(event);
        }
    }

private:
    int fd_;
};

void touchMovedToTheWire(benchmark::State& state, Login login)
{
    SessionWatch::install(); // as the app's delegate does
    HandOverReceiver receiver(login);
    const int connected = login == Login::Plain
                              ? remote_connectToHostPlain("127.0.0.1", receiver.port(), kPasscode.c_str())
                              : remote_connectToHost("127.0.0.1", receiver.port(), kPasscode.c_str());
    const int fd = receiver.connection();
    if (connected != 0 || fd < 0) {
        state.SkipWithError("no session to the loopback reader");
        return;
    }

    RawConnection floor, bareConnection;
    if (!floor.valid() || !bareConnection.valid()) {
        state.SkipWithError("cannot connect the raw senders");
        return;
    }

    TouchPadViewController screen;
    QWidget window;
    window.resize(320, 460);
    screen.view()->setParent(&window);
    window.show();
    screen.viewDidAppear(false);
    TouchPadView* pad = screen.touchPadView();
    platform::FingerSimulator finger;
    finger.press(0, pad, {100, 100});
    BareSender bare(bareConnection.sender()); // a window of its own
    bare.resize(320, 460);
    bare.show();
    platform::FingerSimulator bareFinger;
    bareFinger.press(0, &bare, {100, 100});

    const std::string name = login == Login::Plain ? "plain" : "secure";
    std::vector<double>& samples = gSamples[name];
    std::vector<double>& bareSamples = gSamples[name + " bare"];
    std::vector<double>& floorSamples = gSamples[name + " floor"];
    const size_t onTheWire = login == Login::Plain ? REMOTE_MOUSE_PACKET_SIZE : recordSize(REMOTE_MOUSE_PACKET_SIZE);
    std::vector<uint8_t> wire(onTheWire);
    double x = 100;
    for (auto _ : state) {
        x = x > 150 ? 100 : x + 1.5; // a finger sliding right, back and forth
        const auto start = Clock::now();
        finger.move(0, pad, {x, 100});
        if (!readExactly(fd, wire.data(), wire.size())) {
            state.SkipWithError("the receiver read nothing");
            break;
        }
        recordSample(state, samples, Clock::now() - start);

        const auto bareStart = Clock::now();
        bareFinger.move(0, &bare, {x, 100});
        if (!bareConnection.read()) {
            state.SkipWithError("the bare widget's bytes did not arrive");
            break;
        }
        bareSamples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - bareStart).count());

        const auto floorStart = Clock::now();
        if (!floor.sendAndRead()) {
            state.SkipWithError("the raw send did not arrive");
            break;
        }
        floorSamples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - floorStart).count());
    }
    finger.release(0, pad, {x, 100});
    bareFinger.release(0, &bare, {x, 100});
    reportPercentiles(state, samples);
    state.counters["floor_median_us"] = percentile(floorSamples, 0.5);
    remote_disconnect();
    SessionWatch::uninstall();
}
BENCHMARK_CAPTURE(touchMovedToTheWire, plain, Login::Plain)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(touchMovedToTheWire, secure, Login::Secure)->UseManualTime()->Unit(benchmark::kMicrosecond);

void printSummary()
{
    std::printf("\nover every timed iteration, each touch move followed by the same event to a bare widget\n"
                "and a raw send() of 6 bytes:\n");
    for (const char* name : {"plain", "secure"}) {
        const auto& touch = gSamples[name];
        const auto& bare = gSamples[std::string(name) + " bare"];
        const auto& floor = gSamples[std::string(name) + " floor"];
        if (touch.empty() || bare.empty() || floor.empty())
            continue;
        const double touchMedian = percentile(touch, 0.5), touchP99 = percentile(touch, 0.99);
        const double bareMedian = percentile(bare, 0.5), bareP99 = percentile(bare, 0.99);
        const double floorMedian = percentile(floor, 0.5), floorP99 = percentile(floor, 0.99);
        std::printf("  %-6s touch move -> wire   median %7.2f us   p99 %7.2f us   (%zu moves)\n", name, touchMedian,
                    touchP99, touch.size());
        std::printf("         bare widget -> wire  median %7.2f us   p99 %7.2f us\n", bareMedian, bareP99);
        std::printf("         raw send() -> read   median %7.2f us   p99 %7.2f us\n", floorMedian, floorP99);
        std::printf("         ratio (touch / raw)  median %7.2f      p99 %7.2f\n", touchMedian / floorMedian,
                    touchP99 / floorP99);
        std::printf("         ratio (bare / raw)   median %7.2f      p99 %7.2f\n", bareMedian / floorMedian,
                    bareP99 / floorP99);
    }
    const auto& plain = gSamples["plain"];
    const auto& secure = gSamples["secure"];
    if (!plain.empty() && !secure.empty())
        std::printf("  the secure session's cost per event over plain: median %+.2f us\n",
                    percentile(secure, 0.5) - percentile(plain, 0.5));
}

} // namespace

int main(int argc, char** argv)
{
    return bench::runWidgetBenchmarks(argc, argv, printSummary);
}
