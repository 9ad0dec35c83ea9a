// SPDX-License-Identifier: GPL-3.0-or-later
// The whole path on one machine, the plain session and the secure one side
// by side in one run: a touch-moved event injected into the running app's
// window (the touch pad, after the real start-up and a login) → the session
// → the real quillon-receiver --sink log → the JSON line it prints, read from
// its standard output. The plain session is the app's plain login to a
// receiver started with --allow-plain, the secure one the app's default
// login to a receiver with its defaults; the app goes from one to the other
// every 10,000 events, so that both meet the same load of the shared
// machine. Also measured, plain and secure in turn:
//   - the app's share: the touch event's handling until its bytes are on
//     the socket (sealed, on the secure session);
//   - the receiver's share: the packet (or its record, sealed beforehand)
//     written straight into a session → the log line, and the receiver's CPU
//     time per event;
//   - a whole connect and login of the app on loopback, as the CPU time of
//     each side (the app's thread, the receiver's process), 40 of each, 0.2 s
//     apart (the receiver answers 5 secure logins a second from one address);
//   - the resident memory of the app and the receivers before and after as
//     many events again (untimed, from warm), and over the connects (it must
//     stay flat);
// and the loopback floor, a bare send() of 6 bytes to a reader. Each
// iteration is timed on its own; the closing summary gives the medians.
//
//     build/bench/bench/bench_end_to_end --benchmark_min_time=2
//
// Everything stays on 127.0.0.1: the app's discovery is pointed at the
// loopback broadcast address before it starts.
#include "ComputerListViewController.h"
#include "MainViewController.h"
#include "RemoteProtocol.h"
#include "SecureHandshake.h"
#include "SecureRecord.h"
#include "TarvelAppDelegate.h"
#include "TouchPadView.h"
#include "TouchPadViewController.h"

#include "platform/Alert.h"
#include "support/platform/FingerSimulator.h"
#include "platform/NotificationCenter.h"

#include "support/LatencySamples.h"
#include "support/LoopbackSockets.h"
#include "support/OffscreenBenchmarkMain.h"
#include "support/ReceiverProcess.h"
#include "support/SessionBytes.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bench::Clock;
using bench::percentile;
using bench::recordSample;
using bench::reportPercentiles;

const char* const kPasscode = "bench";
constexpr int kConnects = 40;

enum class Session { Plain, Secure };

const char* nameOf(Session session)
{
    return session == Session::Plain ? "plain" : "secure";
}

// Samples in microseconds, and single figures, by name, for the closing summary.
std::map<std::string, std::vector<double>> gSamples;
std::map<std::string, double> gFigures;

std::unique_ptr<ReceiverProcess> startReceiver(Session session)
{
    return ReceiverProcess::startOnLoopback(kPasscode, session == Session::Plain
                                                           ? std::vector<std::string>{"--allow-plain"}
                                                           : std::vector<std::string>{});
}

int connectTheApp(Session session, uint16_t port)
{
    return session == Session::Plain ? remote_connectToHostPlain("127.0.0.1", port, kPasscode)
                                     : remote_connectToHost("127.0.0.1", port, kPasscode);
}

double threadCpuMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) * 1e-3;
}

double microseconds(std::chrono::nanoseconds duration)
{
    return double(duration.count()) * 1e-3;
}

bool isMouseLine(const std::optional<std::string>& line)
{
    return line && line->rfind(R"({"type":"mouse")", 0) == 0;
}

// Skips the receiver's lines up to its answer to the login.
bool waitForLogin(ReceiverProcess& receiver)
{
    while (const auto line = receiver.nextOutputLine())
        if (line->find(R"("type":"login")") != std::string::npos)
            return line->find("true") != std::string::npos;
    return false;
}

// The payload of the next message on `fd`, or nothing.
std::optional<Bytes> nextPayload(int fd)
{
    const auto header = receiveExactly(fd, 5);
    if (!header || (*header)[0] != 0x80)
        return std::nullopt;
    const std::size_t length = (*header)[1] | (*header)[2] << 8 | (*header)[3] << 16 | std::size_t((*header)[4]) << 24;
    return length > 4096 ? std::nullopt : receiveExactly(fd, length);
}

// A phone's secure login on `fd`, from the protocol core; the sealer of its
// records once the receiver confirmed it.
std::optional<RecordSealer> logInSecurely(int fd)
{
    PhoneHandshake phone;
    Bytes payload;
    if (phone.start(kPasscode, payload) != HandshakeResult::Ok || !sendAll(fd, messagePacket(payload)))
        return std::nullopt;
    const auto share = nextPayload(fd);
    if (!share || phone.answer(share->data(), share->size(), payload) != HandshakeResult::Ok
        || !sendAll(fd, messagePacket(payload)))
        return std::nullopt;
    const auto tb = nextPayload(fd);
    if (!tb || phone.confirm(tb->data(), tb->size()) != HandshakeResult::Ok)
        return std::nullopt;
    return RecordSealer(phone.keys()->sending);
}

// Resident memory of the app (this process) and of each receiver.
struct Memory {
    long app = 0;
    long plain = 0;
    long secure = 0;
};

// The two receivers of a benchmark, plain and secure, started side by side.
struct Receivers {
    std::unique_ptr<ReceiverProcess> plain = startReceiver(Session::Plain);
    std::unique_ptr<ReceiverProcess> secure = startReceiver(Session::Secure);

    Receivers()
    {
        // The lines are read and let go: what this process holds is the app's.
        plain->keepOutput(false);
        secure->keepOutput(false);
    }

    ReceiverProcess& operator[](Session session) { return session == Session::Plain ? *plain : *secure; }
    Memory residentNow() const
    {
        return {ReceiverProcess::residentKilobytesOf(getpid()), plain->residentKilobytes(),
                secure->residentKilobytes()};
    }
};

void reportMemory(benchmark::State& state, const std::string& what, const Memory& before, const Memory& after)
{
    state.counters["app_rss_growth_kB"] = double(after.app - before.app);
    state.counters["receivers_rss_growth_kB"] = double(after.plain - before.plain + after.secure - before.secure);
    gFigures[what + " app kB before"] = double(before.app);
    gFigures[what + " app kB after"] = double(after.app);
    gFigures[what + " plain receiver kB before"] = double(before.plain);
    gFigures[what + " plain receiver kB after"] = double(after.plain);
    gFigures[what + " secure receiver kB before"] = double(before.secure);
    gFigures[what + " secure receiver kB after"] = double(after.secure);
}

void reportMedians(benchmark::State& state, const std::string& what)
{
    for (Session session : {Session::Plain, Session::Secure}) {
        const std::string name = nameOf(session);
        state.counters[name + "_median_us"] = percentile(gSamples[name + " " + what], 0.5);
    }
}

// The app's session goes to the plain and the secure receiver in turn, this
// many events each, so that both meet the same load of the shared machine.
// (A block lasts long enough to stay within the secure logins' budget.)
constexpr int kEventsPerBlock = 10000;

void BM_TouchMovedToReceiverLog(benchmark::State& state)
{
    Receivers receivers;
    // The real start-up, its discovery kept on loopback.
    DiscoveryEndpoint loopbackDiscovery;
    loopbackDiscovery.address = "127.255.255.255";
    loopbackDiscovery.localPort = 0;
    ComputerListViewController::setDefaultDiscoveryEndpoint(loopbackDiscovery);
    TarvelAppDelegate app;
    app.applicationDidFinishLaunching();
    platform::Alert::dismissAll(); // the Wi-Fi warning, where there is no Wi-Fi

    // What the login screen does on success.
    Session session = Session::Plain;
    const auto logIn = [&receivers](Session to) {
        return connectTheApp(to, receivers[to].sessionPort()) == 0 && waitForLogin(receivers[to]);
    };
    if (!logIn(session)) {
        state.SkipWithError("no session to quillon-receiver");
        return;
    }
    platform::NotificationCenter::defaultCenter().postNotification(QStringLiteral("Goto TabBar"), 0);
    QApplication::processEvents();
    TouchPadView* pad = app.mainViewController()->touchPadViewController()->touchPadView();
    platform::FingerSimulator finger;
    finger.press(0, pad, {100, 100});

    double x = 100;
    long events = 0;
    // Every kEventsPerBlock events the session goes to the other receiver.
    const auto nextEvent = [&]() {
        if (++events % kEventsPerBlock == 0) {
            session = session == Session::Plain ? Session::Secure : Session::Plain;
            if (!logIn(session))
                return false;
        }
        x = x > 150 ? 100 : x + 1.5; // a finger sliding right, back and forth
        return true;
    };
    const auto move = [&] {
        finger.move(0, pad, {x, 100});
        return isMouseLine(receivers[session].nextOutputLine());
    };
    for (auto _ : state) {
        const bool ready = nextEvent(); // a switch is not timed: the clock starts below
        const auto start = Clock::now();
        finger.move(0, pad, {x, 100});
        const auto sent = Clock::now();
        if (!ready || !isMouseLine(receivers[session].nextOutputLine())) {
            state.SkipWithError("no session, or the receiver logged no mouse event");
            break;
        }
        const std::string name = nameOf(session);
        recordSample(state, gSamples[name + " touch"], Clock::now() - start);
        gSamples[name + " app"].push_back(microseconds(sent - start));
    }
    // As many events again, neither timed nor kept, from warm: what they
    // leave in memory.
    const Memory before = receivers.residentNow();
    for (long i = 0, last = events; i < last; ++i) {
        if (!nextEvent() || !move()) {
            state.SkipWithError("no session, or the receiver logged no mouse event");
            break;
        }
    }
    reportMemory(state, "events", before, receivers.residentNow());
    finger.release(0, pad, {x, 100});
    reportMedians(state, "touch");
    remote_initialize();
}
BENCHMARK(BM_TouchMovedToReceiverLog)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The receiver's share: the same packet written straight into a session of
// each receiver in turn, as it is or as a record sealed before the clock
// starts; and each receiver's CPU time per event.
void BM_PacketToReceiverLog(benchmark::State& state)
{
    Receivers receivers;
    const UniqueFd plain = connectToLoopback(receivers.plain->sessionPort(), /*noDelay=*/true);
    const UniqueFd secure = connectToLoopback(receivers.secure->sessionPort(), /*noDelay=*/true);
    std::optional<RecordSealer> sealer;
    if (!plain.valid() || !secure.valid() || !sendAll(plain.get(), loginPacket(kPasscode))
        || !receiveExactly(plain.get(), acceptingLoginReply().size()) || !(sealer = logInSecurely(secure.get()))
        || !waitForLogin(*receivers.plain) || !waitForLogin(*receivers.secure)) {
        state.SkipWithError("no session to quillon-receiver");
        return;
    }
    const Bytes move = mousePacket(0, 1, 0);
    Bytes record(recordSize(move.size()));
    const std::chrono::nanoseconds plainCpu = receivers.plain->cpuTime();
    const std::chrono::nanoseconds secureCpu = receivers.secure->cpuTime();
    for (auto _ : state) {
        sealer->seal(move.data(), move.size(), record.data(), record.size());
        Clock::duration took[2] = {};
        for (Session session : {Session::Plain, Session::Secure}) {
            const bool isPlain = session == Session::Plain;
            const auto start = Clock::now();
            if (!sendAll(isPlain ? plain.get() : secure.get(), isPlain ? move : record)
                || !isMouseLine(receivers[session].nextOutputLine())) {
                state.SkipWithError("the receiver logged no mouse event");
                break;
            }
            took[!isPlain] = Clock::now() - start;
            gSamples[std::string(nameOf(session)) + " packet"].push_back(microseconds(took[!isPlain]));
        }
        state.SetIterationTime(std::chrono::duration<double>(took[0] + took[1]).count());
    }
    const double events = double(state.iterations());
    // Kept from the last (longest) run only.
    gFigures["plain receiver cpu"] = microseconds(receivers.plain->cpuTime() - plainCpu) / events;
    gFigures["secure receiver cpu"] = microseconds(receivers.secure->cpuTime() - secureCpu) / events;
    reportMedians(state, "packet");
}
BENCHMARK(BM_PacketToReceiverLog)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Whole connects and logins of the app on loopback, plain and secure in
// turn: the CPU time of the app's thread and of the receiver process.
void BM_ConnectCpu(benchmark::State& state)
{
    Receivers receivers;
    std::optional<Memory> before;
    long connects = 0;
    for (auto _ : state) {
        double total = 0;
        for (Session session : {Session::Plain, Session::Secure}) {
            // Below the receiver's budget of secure logins from one address.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            ReceiverProcess& receiver = receivers[session];
            const std::chrono::nanoseconds receiverBefore = receiver.cpuTime();
            const double appBefore = threadCpuMicroseconds();
            const int result = connectTheApp(session, receiver.sessionPort());
            const double appSpent = threadCpuMicroseconds() - appBefore;
            if (result != 0 || !waitForLogin(receiver)) {
                state.SkipWithError("the login failed");
                break;
            }
            const std::string name = nameOf(session);
            gSamples[name + " connect app cpu"].push_back(appSpent);
            gSamples[name + " connect receiver cpu"].push_back(microseconds(receiver.cpuTime() - receiverBefore));
            total += appSpent;
        }
        state.SetIterationTime(total * 1e-6);
        if (++connects == 5) // after the first few, which warm up both
            before = receivers.residentNow();
    }
    if (before)
        reportMemory(state, "connects", *before, receivers.residentNow());
    reportMedians(state, "connect app cpu");
    remote_disconnect();
}
BENCHMARK(BM_ConnectCpu)->UseManualTime()->Iterations(kConnects)->Unit(benchmark::kMicrosecond);

// The floor: 6 bytes by a bare send() to a reader in this process.
void BM_LoopbackFloor(benchmark::State& state)
{
    const UniqueFd listener = listeningOnLoopback(1);
    if (!listener.valid()) {
        state.SkipWithError("cannot listen on loopback");
        return;
    }
    const UniqueFd sending = connectToLoopback(localPort(listener.get()), /*noDelay=*/true);
    const UniqueFd reading(accept(listener.get(), nullptr, nullptr));
    const int sender = sending.get();
    const int reader = reading.get();
    const std::vector<uint8_t> move = {REMOTE_PACKET_MOUSE, 0, 1, 0, 0, 0};
    uint8_t packet[REMOTE_MOUSE_PACKET_SIZE];
    std::vector<double>& samples = gSamples["floor"];
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!sendAll(sender, move) || !readExactly(reader, packet, sizeof packet)) {
            state.SkipWithError("the raw send did not arrive");
            break;
        }
        recordSample(state, samples, Clock::now() - start);
    }
    reportPercentiles(state, samples);
}
BENCHMARK(BM_LoopbackFloor)->UseManualTime()->Unit(benchmark::kMicrosecond);

void printSummary()
{
    std::printf("\nover every timed iteration, plain | secure (median, then p99):\n");
    const auto row = [](const char* title, const std::string& what) {
        const auto& plain = gSamples["plain " + what];
        const auto& secure = gSamples["secure " + what];
        if (plain.empty() || secure.empty())
            return;
        std::printf("  %-52s %9.2f | %9.2f us   p99 %8.1f | %8.1f us   (+%.2f us)\n", title, percentile(plain, 0.5),
                    percentile(secure, 0.5), percentile(plain, 0.99), percentile(secure, 0.99),
                    percentile(secure, 0.5) - percentile(plain, 0.5));
    };
    row("touch move in the app -> receiver's log line", "touch");
    row("  the app's share: touch move -> bytes on the socket", "app");
    row("packet (record) into a session -> receiver's log line", "packet");
    if (gFigures.count("plain receiver cpu"))
        std::printf("  %-52s %9.2f | %9.2f us   (+%.2f us)\n", "  the receiver's CPU per event (mean, last run)",
                    gFigures["plain receiver cpu"], gFigures["secure receiver cpu"],
                    gFigures["secure receiver cpu"] - gFigures["plain receiver cpu"]);
    row("a whole connect and login: the app thread's CPU", "connect app cpu");
    row("a whole connect and login: the receiver's CPU", "connect receiver cpu");
    if (!gSamples["floor"].empty())
        std::printf("  %-52s %9.2f us\n", "loopback floor: 6 bytes by send() -> read", percentile(gSamples["floor"], 0.5));
    std::printf("\nresident memory (kB), before -> after, of the last run of each:\n");
    for (const char* what : {"events", "connects"}) {
        const std::string key = what;
        if (!gFigures.count(key + " app kB before"))
            continue;
        std::printf("  %-9s app %7.0f -> %7.0f   plain receiver %6.0f -> %6.0f   secure receiver %6.0f -> %6.0f\n",
                    what, gFigures[key + " app kB before"], gFigures[key + " app kB after"],
                    gFigures[key + " plain receiver kB before"], gFigures[key + " plain receiver kB after"],
                    gFigures[key + " secure receiver kB before"], gFigures[key + " secure receiver kB after"]);
    }
}

} // namespace

int main(int argc, char** argv)
{
    return bench::runWidgetBenchmarks(argc, argv, printSummary);
}
