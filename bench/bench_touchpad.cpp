// From a finger's movement on the touch pad to the receiver: a touch-moved
// QTouchEvent delivered to the pad's widget, through the platform's touch
// handling and the screen's handler, to the 6 bytes read by a receiver on
// loopback; next to the floor, a bare send() of 6 bytes to the same kind of
// reader. Each iteration is timed on its own; the median and the 99th
// percentile of both, and their ratio, are printed at the end.
//
//     build/bench/bench/bench_touchpad --benchmark_min_time=2
#include "RemoteProtocol.h"
#include "TouchPadView.h"
#include "TouchPadViewController.h"

#include "platform/FingerSimulator.h"

#include <QApplication>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

bool readExactly(int fd, uint8_t* bytes, size_t count)
{
    for (size_t have = 0; have < count;) {
        const ssize_t n = recv(fd, bytes + have, count - have, 0);
        if (n <= 0)
            return false;
        have += static_cast<size_t>(n);
    }
    return true;
}

// A receiver on 127.0.0.1 that accepts one connection (answering its login
// when asked) and then hands the connection to the benchmark, which reads
// each packet itself on the same thread that caused it.
class LoopbackReader {
public:
    explicit LoopbackReader(bool answersLogin)
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 || listen(listener_, 1) != 0)
            throw std::runtime_error("cannot listen on loopback");
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this, answersLogin] {
            fd_ = accept(listener_, nullptr, nullptr);
            if (fd_ >= 0 && answersLogin)
                answerLogin(fd_);
        });
    }
    ~LoopbackReader()
    {
        if (acceptor_.joinable())
            acceptor_.join();
        if (fd_ >= 0)
            close(fd_);
        close(listener_);
    }
    uint16_t port() const { return port_; }
    // The accepted connection, once the other side is connected (and logged in).
    int connection()
    {
        if (acceptor_.joinable())
            acceptor_.join();
        return fd_;
    }

private:
    static void answerLogin(int fd)
    {
        uint8_t frame[1024];
        if (!readExactly(fd, frame, 5))
            return;
        const uint32_t length = frame[1] | frame[2] << 8 | frame[3] << 16 | uint32_t(frame[4]) << 24;
        if (length > sizeof frame || !readExactly(fd, frame, length))
            return;
        static const uint8_t accepted[] = {0x80, 0x0C, 0x00, 0x00, 0x00, 0x5B, 0x73, 0x03, 0x52,
                                           0x73, 0x70, 0x69, 0x00, 0x00, 0x00, 0x00, 0x5D};
        send(fd, accepted, sizeof accepted, MSG_NOSIGNAL);
    }

    int listener_ = -1;
    int fd_ = -1;
    uint16_t port_ = 0;
    std::thread acceptor_;
};

// Per-iteration times in microseconds ("touch", "raw"), for the closing summary.
std::map<std::string, std::vector<double>> gSamples;

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

void recordSample(benchmark::State& state, std::vector<double>& samples, Clock::duration elapsed)
{
    const double seconds = std::chrono::duration<double>(elapsed).count();
    state.SetIterationTime(seconds);
    samples.push_back(seconds * 1e6);
}

void reportPercentiles(benchmark::State& state, const std::vector<double>& samples)
{
    state.counters["median_us"] = percentile(samples, 0.5);
    state.counters["p99_us"] = percentile(samples, 0.99);
}

void BM_TouchMovedToReceiver(benchmark::State& state)
{
    LoopbackReader reader(true);
    if (remote_connectToHost("127.0.0.1", reader.port(), "bench") != 0) {
        state.SkipWithError("no session to the loopback reader");
        return;
    }
    const int fd = reader.connection();

    TouchPadViewController screen;
    QWidget window;
    window.resize(320, 460);
    screen.view()->setParent(&window);
    window.show();
    screen.viewDidAppear(false);
    TouchPadView* pad = screen.touchPadView();
    platform::FingerSimulator finger;
    finger.press(0, pad, {100, 100});

    std::vector<double>& samples = gSamples["touch"];
    uint8_t packet[REMOTE_MOUSE_PACKET_SIZE];
    double x = 100;
    for (auto _ : state) {
        x = x > 150 ? 100 : x + 1.5; // a finger sliding right, back and forth
        const auto start = Clock::now();
        finger.move(0, pad, {x, 100});
        if (!readExactly(fd, packet, sizeof packet)) {
            state.SkipWithError("the receiver read nothing");
            break;
        }
        recordSample(state, samples, Clock::now() - start);
    }
    finger.release(0, pad, {x, 100});
    reportPercentiles(state, samples);
    remote_initialize();
    shutdown(fd, SHUT_RDWR);
}
BENCHMARK(BM_TouchMovedToReceiver)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The floor: the same 6 bytes with a bare send() on a loopback TCP
// connection with no delay on small packets, as the session has.
void BM_RawSendToReceiver(benchmark::State& state)
{
    LoopbackReader reader(false);
    const int sender = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(reader.port());
    const int one = 1;
    setsockopt(sender, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(sender, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        state.SkipWithError("cannot connect to the loopback reader");
        close(sender);
        return;
    }
    const int fd = reader.connection();
    std::vector<double>& samples = gSamples["raw"];
    const uint8_t move[REMOTE_MOUSE_PACKET_SIZE] = {REMOTE_PACKET_MOUSE, 0, 1, 0, 0, 0};
    uint8_t packet[REMOTE_MOUSE_PACKET_SIZE];
    for (auto _ : state) {
        const auto start = Clock::now();
        if (send(sender, move, sizeof move, MSG_NOSIGNAL) != ssize_t(sizeof move) || !readExactly(fd, packet, sizeof packet)) {
            state.SkipWithError("the raw send did not arrive");
            break;
        }
        recordSample(state, samples, Clock::now() - start);
    }
    reportPercentiles(state, samples);
    close(sender);
}
BENCHMARK(BM_RawSendToReceiver)->UseManualTime()->Unit(benchmark::kMicrosecond);

void printSummary()
{
    const auto& touch = gSamples["touch"];
    const auto& raw = gSamples["raw"];
    if (touch.empty() || raw.empty())
        return;
    const double touchMedian = percentile(touch, 0.5), touchP99 = percentile(touch, 0.99);
    const double rawMedian = percentile(raw, 0.5), rawP99 = percentile(raw, 0.99);
    std::printf("\nover every timed iteration (%zu touch moves, %zu raw sends):\n", touch.size(), raw.size());
    std::printf("  touch move -> 6 bytes read   median %8.2f us   p99 %8.2f us\n", touchMedian, touchP99);
    std::printf("  raw send() -> 6 bytes read   median %8.2f us   p99 %8.2f us\n", rawMedian, rawP99);
    std::printf("  ratio (touch / raw)          median %8.2f      p99 %8.2f\n", touchMedian / rawMedian,
                touchP99 / rawP99);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    return 0;
}
