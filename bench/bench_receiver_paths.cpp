// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's own paths next to what the machine allows, measured in
// turns within each iteration, so that the load of a shared machine, which
// changes from one second to the next, weighs on all of them alike:
//
// - the log sink: batches of 1 and of 32 mouse packets (one send() each),
//   timed until all their lines are read, through the real
//   quillon-receiver --sink log on a plain session, on a secure session
//   (whose extra is opening a record a packet), and through a bare reader:
//   a child process that reads the same packets from a socket and writes the
//   same lines to a pipe, one write() a read. Counters: each path's CPU time
//   per event (the receiver's or the bare reader's) and its median batch
//   latency.
// - discovery: the receiver's CPU for one datagram (its discovery responder,
//   in this process, driven datagram by datagram, with a rate limit too
//   generous to refuse anything): a phone's query, the worst 1 KB datagram,
//   which is decoded, and 4 KB datagrams.
// - the codec: the worst 4 KB datagram decoded and freed.
//
// The ratios are printed at the end. Run it on one CPU: its processes wake
// one another, and a wake-up that crosses to the other CPU (of a virtual
// machine above all) costs several times one that stays, so that where the
// scheduler happens to put the receiver and the bare reader would weigh
// more than what either does:
//
//     taskset -c 1 build/release/bench/bench_receiver_paths --benchmark_min_time=2
//
// Everything stays on 127.0.0.1.
#include "MojoTree.h"
#include "SecureHandshake.h"
#include "SecureRecord.h"
#include "WireFormat.h"
#include "net/DiscoveryResponder.h"

#include "support/ChildCpuTime.h"
#include "support/LatencySamples.h"
#include "support/LoopbackSockets.h"
#include "support/ReceiverProcess.h"
#include "support/SessionBytes.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::percentile;

const std::string kPasscode = "bench";

std::chrono::nanoseconds threadCpuTime(pthread_t thread)
{
    clockid_t clock{};
    timespec now{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &now) != 0)
        return {};
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// One path's figures over every run of its benchmark, for the summary.
struct PathFigures {
    std::vector<double> latencies; // microseconds, one per batch or datagram
    std::chrono::nanoseconds cpu{0};
    double events = 0;

    double cpuPerEvent() const { return events > 0 ? double(cpu.count()) / 1000.0 / events : 0; }
    double median() const { return percentile(latencies, 0.5); }
};
std::map<std::string, PathFigures> gPaths;

// The batch of `count` mouse packets of one iteration, as one buffer.
Bytes mouseBatch(int count)
{
    Bytes batch;
    for (int i = 0; i < count; ++i)
        batch = batch + mousePacket(0, int16_t(i % 2 ? -1 : 1), 0);
    return batch;
}

bool isMouseLine(const std::optional<std::string>& line)
{
    return line && line->rfind(R"({"type":"mouse")", 0) == 0;
}

// The payload of the next message on `fd`.
std::optional<Bytes> nextPayload(int fd)
{
    const auto header = receiveExactly(fd, REMOTE_MESSAGE_HEADER_SIZE);
    if (!header || (*header)[0] != REMOTE_PACKET_MESSAGE)
        return std::nullopt;
    const std::size_t length = (*header)[1] | (*header)[2] << 8 | (*header)[3] << 16 | std::size_t((*header)[4]) << 24;
    return length > REMOTE_RECEIVE_CAPACITY ? std::nullopt : receiveExactly(fd, length);
}

// Where a batch of mouse packets goes to become lines.
class LinePath {
public:
    virtual ~LinePath() = default;
    // What goes on the wire for `batch`; made before the clock starts.
    virtual Bytes wire(const Bytes& batch) { return batch; }
    virtual int sender() const = 0;
    virtual std::optional<std::string> nextLine() = 0;
    virtual std::chrono::nanoseconds cpuTime() = 0;
};

// The real receiver, its log sink on standard output; a plain session, or a
// secure one with every packet sealed as a record.
class ReceiverPath : public LinePath {
public:
    explicit ReceiverPath(bool secure)
        : receiver_(ReceiverProcess::startOnLoopback(
              kPasscode, secure ? std::vector<std::string>{} : std::vector<std::string>{"--allow-plain"}))
        , session_(connectToLoopback(receiver_->sessionPort(), /*noDelay=*/true))
    {
        if (!session_.valid() || !(secure ? logInSecurely() : logInPlainly()))
            throw std::runtime_error("no session to quillon-receiver");
        while (const auto line = receiver_->nextOutputLine())
            if (line->find(R"("type":"login","accepted":true)") != std::string::npos)
                return;
        throw std::runtime_error("the receiver logged no login");
    }

    Bytes wire(const Bytes& batch) override
    {
        if (!sealer_)
            return batch;
        Bytes records;
        for (std::size_t at = 0; at < batch.size(); at += REMOTE_MOUSE_PACKET_SIZE) {
            uint8_t record[64];
            const int size = sealer_->seal(batch.data() + at, REMOTE_MOUSE_PACKET_SIZE, record, sizeof record);
            if (size > 0)
                records.insert(records.end(), record, record + size);
        }
        return records;
    }
    int sender() const override { return session_.get(); }
    std::optional<std::string> nextLine() override { return receiver_->nextOutputLine(); }
    std::chrono::nanoseconds cpuTime() override { return receiver_->cpuTime(); }

private:
    bool logInPlainly()
    {
        return sendAll(session_.get(), loginPacket(kPasscode))
               && receiveExactly(session_.get(), acceptingLoginReply().size());
    }

    bool logInSecurely()
    {
        const int fd = session_.get();
        PhoneHandshake phone;
        Bytes payload;
        if (phone.start(kPasscode, payload) != HandshakeResult::Ok || !sendAll(fd, messagePacket(payload)))
            return false;
        const auto share = nextPayload(fd);
        if (!share || phone.answer(share->data(), share->size(), payload) != HandshakeResult::Ok
            || !sendAll(fd, messagePacket(payload)))
            return false;
        const auto confirmation = nextPayload(fd);
        if (!confirmation || phone.confirm(confirmation->data(), confirmation->size()) != HandshakeResult::Ok)
            return false;
        sealer_.emplace(phone.keys()->sending);
        return true;
    }

    std::unique_ptr<ReceiverProcess> receiver_;
    UniqueFd session_;
    std::optional<RecordSealer> sealer_;
};

// The floor of the log sink: a child process that reads mouse packets from
// a socket and writes the same line for each to a pipe, all the lines of one
// read in one write(), blocking on both. A process of its own, as the
// receiver is, so that both pay the same switches between processes.
class BareReaderPath : public LinePath {
public:
    BareReaderPath()
    {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe");
        lines_.reset(ends[0]);
        UniqueFd out(ends[1]);
        const UniqueFd listener = listeningOnLoopback(1);
        sender_ = connectToLoopback(localPort(listener.get()), /*noDelay=*/true);
        UniqueFd in(accept(listener.get(), nullptr, nullptr));
        child_ = fork();
        if (child_ == 0) {
            sender_.reset();
            lines_.reset();
            run(in.get(), out.get());
            _exit(0);
        }
        if (child_ < 0)
            throw std::runtime_error("cannot start the bare reader");
    }
    ~BareReaderPath() override
    {
        sender_.reset(); // ends the child's read
        int status = 0;
        waitpid(child_, &status, 0);
    }

    int sender() const override { return sender_.get(); }
    std::chrono::nanoseconds cpuTime() override { return bench::cpuTimeOf(child_); }

    std::optional<std::string> nextLine() override
    {
        for (;;) {
            const std::size_t end = buffered_.find('\n');
            if (end != std::string::npos) {
                std::string line = buffered_.substr(0, end);
                buffered_.erase(0, end + 1);
                return line;
            }
            char bytes[4096];
            if (!waitUntilReadable(lines_.get()))
                return std::nullopt;
            const ssize_t got = read(lines_.get(), bytes, sizeof bytes);
            if (got <= 0)
                return std::nullopt;
            buffered_.append(bytes, std::size_t(got));
        }
    }

private:
    static void run(int in, int out)
    {
        uint8_t packets[4096];
        std::size_t held = 0;
        char text[4096 / REMOTE_MOUSE_PACKET_SIZE * 64];
        for (;;) {
            const ssize_t got = recv(in, packets + held, sizeof packets - held, 0);
            if (got <= 0)
                return;
            held += std::size_t(got);
            std::size_t at = 0;
            int length = 0;
            for (; held - at >= REMOTE_MOUSE_PACKET_SIZE; at += REMOTE_MOUSE_PACKET_SIZE) {
                const uint8_t* packet = packets + at;
                length += std::snprintf(text + length, sizeof text - std::size_t(length),
                                        "{\"type\":\"mouse\",\"buttons\":%u,\"dx\":%d,\"dy\":%d}\n", packet[1],
                                        int16_t(packet[2] | packet[3] << 8), int16_t(packet[4] | packet[5] << 8));
            }
            held -= at;
            std::copy(packets + at, packets + at + held, packets);
            if (length > 0 && write(out, text, std::size_t(length)) != length)
                return;
        }
    }

    UniqueFd lines_;
    UniqueFd sender_;
    pid_t child_ = -1;
    std::string buffered_;
};

std::string logKey(const char* path, int batch)
{
    return std::string(path) + ", batches of " + std::to_string(batch);
}

// Each iteration sends one batch down each path in turn and times it until
// its last line is read. The iteration's time is the plain receiver's.
void BM_LogSink(benchmark::State& state)
{
    const int batchSize = int(state.range(0));
    try {
        std::vector<std::pair<std::string, std::unique_ptr<LinePath>>> paths;
        paths.emplace_back(logKey("log sink, plain", batchSize), std::make_unique<ReceiverPath>(false));
        paths.emplace_back(logKey("log sink, secure", batchSize), std::make_unique<ReceiverPath>(true));
        paths.emplace_back(logKey("bare reader", batchSize), std::make_unique<BareReaderPath>());
        const Bytes batch = mouseBatch(batchSize);
        std::vector<std::chrono::nanoseconds> cpuBefore;
        for (auto& [key, path] : paths)
            cpuBefore.push_back(path->cpuTime());
        for (auto _ : state) {
            for (auto& [key, path] : paths) {
                const Bytes bytes = path->wire(batch);
                const auto start = Clock::now();
                bool logged = sendAll(path->sender(), bytes);
                for (int i = 0; logged && i < batchSize; ++i)
                    logged = isMouseLine(path->nextLine());
                const std::chrono::duration<double> elapsed = Clock::now() - start;
                if (!logged) {
                    state.SkipWithError(("no line from " + key).c_str());
                    return;
                }
                gPaths[key].latencies.push_back(elapsed.count() * 1e6);
                if (&path == &paths.front().second)
                    state.SetIterationTime(elapsed.count());
            }
        }
        for (std::size_t i = 0; i < paths.size(); ++i) {
            PathFigures& figures = gPaths[paths[i].first];
            const auto cpu = paths[i].second->cpuTime() - cpuBefore[i];
            figures.cpu += cpu;
            figures.events += double(state.iterations()) * batchSize;
            state.counters["cpu_us_per_event_" + std::to_string(i)] =
                double(cpu.count()) / 1000.0 / (double(state.iterations()) * batchSize);
        }
        state.SetLabel("counters: 0 plain, 1 secure, 2 bare reader");
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
    }
}
BENCHMARK(BM_LogSink)->ArgName("batch")->Arg(1)->Arg(32)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A phone's discovery query, as the app sends it.
Bytes phoneQuery()
{
    return Bytes{0x5B} + shortString("Device") + shortString("iPhone") + shortString("DeviceVer")
           + shortString("2.1") + shortString("AppName") + shortString("Quillon") + shortString("AppVer")
           + shortString("1.0") + Bytes{0x5D};
}

// The datagram of `size` bytes that costs a decoder the most: a dictionary
// of entries with an empty name and a null, the most nodes a byte can make.
Bytes dictionaryOfNulls(std::size_t size)
{
    Bytes datagram{0x5B};
    while (datagram.size() + 3 < size)
        datagram = datagram + Bytes{0x73, 0x00, 0x6E};
    return datagram + Bytes{0x5D};
}

// A phone's query made `size` bytes long by one more entry.
Bytes paddedQuery(std::size_t size)
{
    const Bytes query = phoneQuery();
    const std::size_t text = size - query.size() - 8;
    return Bytes(query.begin(), query.end() - 1) + shortString("Pad")
           + Bytes{0x53, uint8_t(text), uint8_t(text >> 8)} + Bytes(text, 'x') + Bytes{0x5D};
}

struct DatagramKind {
    std::string name;
    Bytes datagram;
};

std::vector<DatagramKind> datagramKinds()
{
    return {
        {"discovery: a phone's query", phoneQuery()},
        {"discovery: worst 1 KB datagram", dictionaryOfNulls(REMOTE_DISCOVERY_QUERY_CAPACITY)},
        {"discovery: worst 4 KB datagram", dictionaryOfNulls(4096)},
        {"discovery: a query padded to 4 KB", paddedQuery(4096)},
    };
}

// The discovery responder's CPU for one datagram of each kind in turn: it
// reads it, judges it, and answers a query (twice, as to a phone on this
// computer). The iteration's time is the CPU time of all of them.
void BM_DiscoveryDatagrams(benchmark::State& state)
{
    DiscoveryResponder::Limits limits;
    limits.rate.perSourceBurst = limits.rate.allBurst = limits.rate.loggedInBurst = limits.rate.familiarBurst = 1e12;
    limits.rate.perSourcePerSecond = limits.rate.allPerSecond = 1e12;
    const ReceiverIdentity identity{"bench", REMOTE_DEFAULT_PORT, "Linux", "quillon-receiver", "1"};
    DiscoveryResponder responder(identity, limits);
    std::string error;
    if (!responder.open(ipv4Address("127.0.0.1", 0), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const UniqueFd phone = boundUdpSocket("127.0.0.1", 0);
    const std::vector<DatagramKind> kinds = datagramKinds();
    const pthread_t self = pthread_self();
    for (auto _ : state) {
        std::chrono::nanoseconds all{0};
        for (const DatagramKind& kind : kinds) {
            if (!sendDatagramToLoopback(phone.get(), responder.port(), kind.datagram)) {
                state.SkipWithError("cannot send the datagram");
                return;
            }
            const auto before = threadCpuTime(self);
            responder.handleReadable();
            const auto used = threadCpuTime(self) - before;
            all += used;
            PathFigures& figures = gPaths[kind.name];
            figures.cpu += used;
            figures.events += 1;
            uint8_t reply[4096];
            while (recv(phone.get(), reply, sizeof reply, MSG_DONTWAIT) > 0) {
            }
        }
        state.SetIterationTime(std::chrono::duration<double>(all).count());
    }
}
BENCHMARK(BM_DiscoveryDatagrams)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The codec alone: the worst 4 KB datagram decoded into a tree and freed.
void BM_DecodeWorstDatagram(benchmark::State& state)
{
    const bool list = state.range(0) != 0;
    const Bytes datagram = list ? Bytes{0x7B} + Bytes(4094, 0x6E) + Bytes{0x7D} : dictionaryOfNulls(4096);
    const std::string key = list ? "decode: 4,094 nulls in a list" : "decode: 1,364 entries of a null";
    const pthread_t self = pthread_self();
    const auto before = threadCpuTime(self);
    for (auto _ : state) {
        MojoTree tree(mojo_create());
        benchmark::DoNotOptimize(mojo_decode(tree.get(), datagram.data(), int(datagram.size())));
    }
    gPaths[key].cpu += threadCpuTime(self) - before;
    gPaths[key].events += double(state.iterations());
    state.SetLabel(key);
}
BENCHMARK(BM_DecodeWorstDatagram)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// `goal`: the most the ratio may be, where there is one.
void printRatio(const std::string& what, double value, double floor, double goal = 0)
{
    if (value <= 0 || floor <= 0)
        return;
    std::printf("  %-52s %8.2f us vs %8.2f us = %5.2f x", what.c_str(), value, floor, value / floor);
    if (goal > 0)
        std::printf(" (goal <= %.1f x)", goal);
    std::printf("\n");
}

void printSummary()
{
    std::printf("\nside by side (CPU time per event or datagram, unless said otherwise):\n");
    for (const int batch : {1, 32}) {
        const PathFigures& plain = gPaths[logKey("log sink, plain", batch)];
        const PathFigures& secure = gPaths[logKey("log sink, secure", batch)];
        const PathFigures& bare = gPaths[logKey("bare reader", batch)];
        if (plain.latencies.empty())
            continue;
        const std::string of = ", batches of " + std::to_string(batch);
        printRatio("log sink vs bare reader" + of, plain.cpuPerEvent(), bare.cpuPerEvent(), batch > 1 ? 1.1 : 0);
        printRatio("  median latency of a batch", plain.median(), bare.median());
        std::printf("  %-52s %+8.2f us CPU, %+8.2f us median latency, per event (goal <= +2 us)\n",
                    ("secure over plain" + of).c_str(),
                    secure.cpuPerEvent() - plain.cpuPerEvent(), (secure.median() - plain.median()) / batch);
    }
    const double query = gPaths["discovery: a phone's query"].cpuPerEvent();
    for (const DatagramKind& kind : datagramKinds())
        if (kind.name != "discovery: a phone's query")
            printRatio(kind.name + " vs a query", gPaths[kind.name].cpuPerEvent(), query, 2.0);
    for (const char* key : {"decode: 1,364 entries of a null", "decode: 4,094 nulls in a list"})
        if (const double cpu = gPaths[key].cpuPerEvent())
            std::printf("  %-52s %8.2f us (goal < 50 us)\n", key, cpu);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    printSummary();
    benchmark::Shutdown();
    return 0;
}
