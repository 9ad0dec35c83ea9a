// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's own paths next to what the machine allows, measured side by
// side in one run:
//
// - the log sink: mouse packets written into a session of the real
//   quillon-receiver --sink log, in batches of 1 and 32 packets (one send()
//   each), until all their lines are read from its standard output; next to
//   a bare reader, a thread that reads the same packets from a socket and
//   writes the same lines to a pipe. Counters: the CPU time per event of the
//   receiver (or of the bare reader's thread), and the batch's latency.
//   Plain and secure sessions: the secure one's extra is opening a record.
// - discovery: the receiver's CPU for one datagram (its discovery responder
//   in this process, driven datagram by datagram, with a rate limit too
//   generous to refuse anything): a phone's query, the worst 1 KB datagram
//   that must be decoded, and 4 KB datagrams.
// - the codec: the worst 4 KB datagram decoded and freed.
//
//     build/release/bench/bench_receiver_paths --benchmark_min_time=0.5
//         --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//
// Everything stays on 127.0.0.1.
#include "MojoTree.h"
#include "SecureHandshake.h"
#include "SecureRecord.h"
#include "WireFormat.h"
#include "net/DiscoveryResponder.h"

#include "support/LatencySamples.h"
#include "support/LoopbackSockets.h"
#include "support/ReceiverProcess.h"
#include "support/SessionBytes.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::Clock;
using bench::percentile;
using bench::recordSample;
using bench::reportPercentiles;

const std::string kPasscode = "bench";

// What the summary prints, over all repetitions of a benchmark: its
// per-iteration latencies in microseconds, and its CPU time and events (or
// datagrams), by path. Run with --benchmark_repetitions and
// --benchmark_enable_random_interleaving, the paths are measured in turns,
// so that a change in the machine's load weighs on all of them alike.
struct CpuTotal {
    std::chrono::nanoseconds cpu{0};
    double events = 0;
};
std::map<std::string, std::vector<double>> gLatencies;
std::map<std::string, CpuTotal> gCpu;

std::chrono::nanoseconds threadCpuTime(pthread_t thread)
{
    clockid_t clock{};
    timespec now{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &now) != 0)
        return {};
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

void reportCpu(benchmark::State& state, const std::string& key, std::chrono::nanoseconds cpu, double events)
{
    state.counters["cpu_us_per_event"] = events > 0 ? double(cpu.count()) / 1000.0 / events : 0;
    gCpu[key].cpu += cpu;
    gCpu[key].events += events;
}

// The batch of `count` mouse packets of one iteration, as one buffer.
Bytes mouseBatch(int count)
{
    Bytes batch;
    for (int i = 0; i < count; ++i)
        batch = batch + mousePacket(0, int16_t(i % 2 ? -1 : 1), 0);
    return batch;
}

// The receiver's log line for each packet of mouseBatch().
bool isMouseLine(const std::optional<std::string>& line)
{
    return line && line->rfind(R"({"type":"mouse")", 0) == 0;
}

bool waitForLogin(ReceiverProcess& receiver)
{
    while (const auto line = receiver.nextOutputLine())
        if (line->find(R"("type":"login")") != std::string::npos)
            return line->find("true") != std::string::npos;
    return false;
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

// A phone's side of a session: plain, or secure with every packet sealed as
// a record.
class PhoneSession {
public:
    bool logIn(int fd, bool secure)
    {
        if (!secure)
            return sendAll(fd, loginPacket(kPasscode)) && receiveExactly(fd, acceptingLoginReply().size());
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

    // What goes on the wire for the packets of `batch` (whole mouse
    // packets): themselves, or one record each on a secure session.
    Bytes wire(const Bytes& batch)
    {
        if (!sealer_)
            return batch;
        Bytes records;
        for (std::size_t at = 0; at < batch.size(); at += REMOTE_MOUSE_PACKET_SIZE) {
            uint8_t record[64];
            const int size = sealer_->seal(batch.data() + at, REMOTE_MOUSE_PACKET_SIZE, record, sizeof record);
            if (size < 0)
                return {};
            records.insert(records.end(), record, record + size);
        }
        return records;
    }

private:
    std::optional<RecordSealer> sealer_;
};

void BM_LogSink(benchmark::State& state)
{
    const bool secure = state.range(0) != 0;
    const int batchSize = int(state.range(1));
    const std::string key = std::string("log sink, ") + (secure ? "secure" : "plain") + ", batches of "
                            + std::to_string(batchSize);
    try {
        const auto receiver = ReceiverProcess::startOnLoopback(
            kPasscode, secure ? std::vector<std::string>{} : std::vector<std::string>{"--allow-plain"});
        const UniqueFd session = connectToLoopback(receiver->sessionPort(), /*noDelay=*/true);
        PhoneSession phone;
        if (!session.valid() || !phone.logIn(session.get(), secure) || !waitForLogin(*receiver)) {
            state.SkipWithError("no session to quillon-receiver");
            return;
        }
        const Bytes batch = mouseBatch(batchSize);
        std::vector<double> samples;
        const auto cpuBefore = receiver->cpuTime();
        for (auto _ : state) {
            const Bytes bytes = phone.wire(batch); // sealed before the clock starts: the phone's work
            const auto start = Clock::now();
            bool logged = sendAll(session.get(), bytes);
            for (int i = 0; logged && i < batchSize; ++i)
                logged = isMouseLine(receiver->nextOutputLine());
            if (!logged) {
                state.SkipWithError("the receiver logged no mouse event");
                break;
            }
            recordSample(state, samples, Clock::now() - start);
        }
        reportCpu(state, key, receiver->cpuTime() - cpuBefore, double(state.iterations()) * batchSize);
        reportPercentiles(state, samples);
        gLatencies[key].insert(gLatencies[key].end(), samples.begin(), samples.end());
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
    }
}
BENCHMARK(BM_LogSink)
    ->ArgNames({"secure", "batch"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 32})
    ->Args({1, 32})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The floor of the log sink: a thread that reads mouse packets from a socket
// and writes the same line for each to a pipe, all the lines of one read in
// one write(), blocking on both.
class BareReader {
public:
    BareReader()
    {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) == 0) {
            lines_.reset(ends[0]);
            out_.reset(ends[1]);
        }
        const UniqueFd listener = listeningOnLoopback(1);
        sender_ = connectToLoopback(localPort(listener.get()), /*noDelay=*/true);
        in_.reset(accept(listener.get(), nullptr, nullptr));
        thread_ = std::thread([this] { run(); });
    }
    ~BareReader()
    {
        sender_.reset(); // ends the thread's read
        thread_.join();
    }

    int sender() const { return sender_.get(); }
    std::chrono::nanoseconds cpuTime() { return threadCpuTime(thread_.native_handle()); }

    // The next line written, without its line feed.
    std::optional<std::string> nextLine()
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
    void run()
    {
        uint8_t packets[4096];
        std::size_t held = 0;
        char text[4096 / REMOTE_MOUSE_PACKET_SIZE * 64];
        for (;;) {
            const ssize_t got = recv(in_.get(), packets + held, sizeof packets - held, 0);
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
            if (length > 0 && write(out_.get(), text, std::size_t(length)) != length)
                return;
        }
    }

    UniqueFd lines_;
    UniqueFd out_;
    UniqueFd sender_;
    UniqueFd in_;
    std::string buffered_;
    std::thread thread_;
};

void BM_BareReader(benchmark::State& state)
{
    const int batchSize = int(state.range(0));
    const std::string key = "bare reader, batches of " + std::to_string(batchSize);
    BareReader reader;
    const Bytes batch = mouseBatch(batchSize);
    std::vector<double> samples;
    const auto cpuBefore = reader.cpuTime();
    for (auto _ : state) {
        const auto start = Clock::now();
        bool logged = sendAll(reader.sender(), batch);
        for (int i = 0; logged && i < batchSize; ++i)
            logged = isMouseLine(reader.nextLine());
        if (!logged) {
            state.SkipWithError("the bare reader wrote no line");
            break;
        }
        recordSample(state, samples, Clock::now() - start);
    }
    reportCpu(state, key, reader.cpuTime() - cpuBefore, double(state.iterations()) * batchSize);
    reportPercentiles(state, samples);
    gLatencies[key].insert(gLatencies[key].end(), samples.begin(), samples.end());
}
BENCHMARK(BM_BareReader)->ArgName("batch")->Arg(1)->Arg(32)->UseManualTime()->Unit(benchmark::kMicrosecond);

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
    const char* name;
    Bytes datagram;
};

const std::vector<DatagramKind>& datagramKinds()
{
    static const std::vector<DatagramKind> kinds = {
        {"a phone's query", phoneQuery()},
        {"worst 1 KB datagram (decoded)", dictionaryOfNulls(REMOTE_DISCOVERY_QUERY_CAPACITY)},
        {"worst 4 KB datagram", dictionaryOfNulls(4096)},
        {"4 KB query", paddedQuery(4096)},
    };
    return kinds;
}

// The discovery responder's CPU for one datagram: it reads it, judges it,
// and answers a query (twice, as to a phone on this computer).
void BM_DiscoveryDatagram(benchmark::State& state)
{
    const DatagramKind& kind = datagramKinds().at(std::size_t(state.range(0)));
    DiscoveryResponder::Limits limits;
    limits.rate.perSourceBurst = limits.rate.allBurst = limits.rate.loggedInBurst = limits.rate.familiarBurst = 1e12;
    limits.rate.perSourcePerSecond = limits.rate.allPerSecond = 1e12;
    ReceiverIdentity identity{"bench", 25736, "Linux", "quillon-receiver", "1"};
    DiscoveryResponder responder(identity, limits);
    std::string error;
    if (!responder.open(ipv4Address("127.0.0.1", 0), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const UniqueFd phone = boundUdpSocket("127.0.0.1", 0);
    std::chrono::nanoseconds cpu{0};
    const pthread_t self = pthread_self();
    for (auto _ : state) {
        if (!sendDatagramToLoopback(phone.get(), responder.port(), kind.datagram)) {
            state.SkipWithError("cannot send the datagram");
            break;
        }
        const auto before = threadCpuTime(self);
        responder.handleReadable();
        const auto used = threadCpuTime(self) - before;
        cpu += used;
        state.SetIterationTime(std::chrono::duration<double>(used).count());
        uint8_t reply[4096];
        while (recv(phone.get(), reply, sizeof reply, MSG_DONTWAIT) > 0) {
        }
    }
    reportCpu(state, std::string("discovery: ") + kind.name, cpu, double(state.iterations()));
    state.SetLabel(kind.name);
}
BENCHMARK(BM_DiscoveryDatagram)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The codec alone: the worst 4 KB datagram decoded into a tree and freed,
// in CPU time.
void BM_DecodeWorstDatagram(benchmark::State& state)
{
    const bool list = state.range(0) != 0;
    Bytes datagram = dictionaryOfNulls(4096);
    if (list) {
        datagram = Bytes{0x7B} + Bytes(4094, 0x6E) + Bytes{0x7D};
    }
    const pthread_t self = pthread_self();
    const auto before = threadCpuTime(self);
    for (auto _ : state) {
        MojoTree tree(mojo_create());
        benchmark::DoNotOptimize(mojo_decode(tree.get(), datagram.data(), int(datagram.size())));
    }
    reportCpu(state, list ? "decode: 4,094 nulls in a list" : "decode: 1,364 empty names and nulls in a dictionary",
              threadCpuTime(self) - before, double(state.iterations()));
    state.SetLabel(list ? "list of 4,094 nulls" : "dictionary of 1,364 nulls");
}
BENCHMARK(BM_DecodeWorstDatagram)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

double cpuOf(const std::string& key)
{
    const auto found = gCpu.find(key);
    if (found == gCpu.end() || found->second.events <= 0)
        return 0;
    return double(found->second.cpu.count()) / 1000.0 / found->second.events;
}

double medianOf(const std::string& key)
{
    const auto found = gLatencies.find(key);
    return found == gLatencies.end() ? 0 : percentile(found->second, 0.5);
}

void printRatio(const char* what, double value, double floor, const char* unit)
{
    if (value > 0 && floor > 0)
        std::printf("  %-58s %8.2f %s  vs %8.2f %s  = %5.2f x\n", what, value, unit, floor, unit, value / floor);
}

void printSummary()
{
    std::printf("\nside by side (CPU per event or datagram, in microseconds):\n");
    for (const int batch : {1, 32}) {
        const std::string of = "batches of " + std::to_string(batch);
        printRatio(("log sink (plain) vs bare reader, " + of).c_str(), cpuOf("log sink, plain, " + of),
                   cpuOf("bare reader, " + of), "us");
    }
    for (const int batch : {1, 32}) {
        const std::string of = "batches of " + std::to_string(batch);
        const double plain = cpuOf("log sink, plain, " + of);
        const double secure = cpuOf("log sink, secure, " + of);
        if (plain > 0 && secure > 0)
            std::printf("  %-58s %+8.2f us CPU, %+8.2f us median latency, per event\n",
                        ("secure over plain, " + of).c_str(), secure - plain,
                        (medianOf("log sink, secure, " + of) - medianOf("log sink, plain, " + of)) / batch);
    }
    const double query = cpuOf("discovery: a phone's query");
    for (const char* kind : {"worst 1 KB datagram (decoded)", "worst 4 KB datagram", "4 KB query"})
        printRatio((std::string("discovery: ") + kind + " vs a phone's query").c_str(),
                   cpuOf(std::string("discovery: ") + kind), query, "us");
    for (const char* kind : {"decode: 1,364 empty names and nulls in a dictionary", "decode: 4,094 nulls in a list"})
        if (const double cpu = cpuOf(kind))
            std::printf("  %-58s %8.2f us (goal < 50 us)\n", kind, cpu);
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
