// SPDX-License-Identifier: GPL-3.0-or-later
// What the receiver protocol costs: encoding the login request, decoding a
// discovery reply, decoding trees of 1 to 4,094 items (the time
// per item must stay flat: a 4 KB datagram of nulls is the worst a hostile
// host can send), building a dictionary of up to 1,000 entries by insert,
// and handing one keyboard event to the socket compared with
// the floor, a bare send() of the same 8 bytes on a loopback TCP connection.
#include "Mojo.h"
#include "RemoteProtocol.h"

#include "support/LoopbackPeer.h"
#include "support/LoopbackSockets.h"
#include "support/ReceiverDouble.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using bench::LoopbackPeer;

void insertEntry(mojo_node* dictionary, const char* name, mojo_node* value)
{
    mojo_dic_insert(dictionary, mojo_create_pair(mojo_create_pair_value(name, value)));
}

mojo_node* loginRequest()
{
    mojo_node* request = mojo_create_with_type(MOJO_DICTIONARY);
    insertEntry(request, "Cmd", mojo_create_string("Login"));
    insertEntry(request, "Passcode", mojo_create_string("correct horse battery staple"));
    return request;
}

std::vector<uint8_t> discoveryReply()
{
    mojo_node* reply = mojo_create_with_type(MOJO_DICTIONARY);
    insertEntry(reply, "Name", mojo_create_string("living-room-pc"));
    insertEntry(reply, "Port", mojo_create_int(25736));
    insertEntry(reply, "Ip", mojo_create_string("192.168.1.20"));
    insertEntry(reply, "Os", mojo_create_string("Linux"));
    insertEntry(reply, "ReceiverName", mojo_create_string("quillon-receiver"));
    insertEntry(reply, "ReceiverVer", mojo_create_string("0.1.0"));
    std::vector<uint8_t> bytes(1024);
    bytes.resize(static_cast<size_t>(mojo_encode(reply, bytes.data(), static_cast<int>(bytes.size()))));
    mojo_delete(reply);
    return bytes;
}

void BM_EncodeLoginRequest(benchmark::State& state)
{
    mojo_node* request = loginRequest();
    uint8_t frame[1019];
    for (auto _ : state)
        benchmark::DoNotOptimize(mojo_encode(request, frame, sizeof frame));
    mojo_delete(request);
}
BENCHMARK(BM_EncodeLoginRequest);

// As the login does it: build the tree, encode it, free it.
void BM_BuildAndEncodeLoginRequest(benchmark::State& state)
{
    uint8_t frame[1019];
    for (auto _ : state) {
        mojo_node* request = loginRequest();
        benchmark::DoNotOptimize(mojo_encode(request, frame, sizeof frame));
        mojo_delete(request);
    }
}
BENCHMARK(BM_BuildAndEncodeLoginRequest);

void BM_DecodeDiscoveryReply(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = discoveryReply();
    for (auto _ : state) {
        mojo_node* reply = mojo_create();
        benchmark::DoNotOptimize(mojo_decode(reply, bytes.data(), static_cast<int>(bytes.size())));
        mojo_delete(reply);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_DecodeDiscoveryReply);

// A list of n nulls: { n n ... }. With n = 4094 it is exactly 4096 bytes,
// the most one discovery datagram or session message carries.
std::vector<uint8_t> listOfNulls(int items)
{
    std::vector<uint8_t> bytes{'{'};
    bytes.insert(bytes.end(), static_cast<size_t>(items), 'n');
    bytes.push_back('}');
    return bytes;
}

// A dictionary of n entries, each an empty name and a null: [ s\0 n ... ].
std::vector<uint8_t> dictionaryOfNulls(int items)
{
    std::vector<uint8_t> bytes{'['};
    for (int i = 0; i < items; ++i)
        bytes.insert(bytes.end(), {'s', 0, 'n'});
    bytes.push_back(']');
    return bytes;
}

// Reports the time per item next to the time per decode.
void reportPerItem(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["per_item"] = benchmark::Counter(double(state.iterations() * state.range(0)),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void decodeEach(benchmark::State& state, const std::vector<uint8_t>& bytes)
{
    for (auto _ : state) {
        mojo_node* tree = mojo_create();
        benchmark::DoNotOptimize(mojo_decode(tree, bytes.data(), static_cast<int>(bytes.size())));
        mojo_delete(tree);
    }
    reportPerItem(state);
}

void BM_DecodeList(benchmark::State& state)
{
    decodeEach(state, listOfNulls(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_DecodeList)->Arg(1)->Arg(100)->Arg(1000)->Arg(4094);

void BM_DecodeDictionary(benchmark::State& state)
{
    decodeEach(state, dictionaryOfNulls(static_cast<int>(state.range(0))));
}
// 1,364 entries are the most a 4 KB datagram holds (4,094 bytes).
BENCHMARK(BM_DecodeDictionary)->Arg(1)->Arg(100)->Arg(1000)->Arg(1364)->Arg(4094);

// A dictionary of n entries built by insert, in order, as a caller builds
// one; the time per entry must stay flat.
void BM_BuildDictionaryInOrder(benchmark::State& state)
{
    std::vector<std::string> names;
    for (int64_t i = 0; i < state.range(0); ++i)
        names.push_back("k" + std::to_string(i));
    for (auto _ : state) {
        mojo_node* dictionary = mojo_create_with_type(MOJO_DICTIONARY);
        for (const std::string& name : names)
            insertEntry(dictionary, name.c_str(), mojo_create_with_type(MOJO_NULL));
        benchmark::DoNotOptimize(dictionary->value);
        mojo_delete(dictionary);
    }
    reportPerItem(state);
}
BENCHMARK(BM_BuildDictionaryInOrder)->Arg(10)->Arg(100)->Arg(1000);

void BM_SendKeyboardEvent(benchmark::State& state)
{
    LoopbackPeer reader(LoopbackPeer::Login::Accept, LoopbackPeer::AfterAccepting::DrainUntilClosed);
    if (remote_connectToHostPlain("127.0.0.1", reader.port(), "secret") != 0) {
        state.SkipWithError("the session did not log in");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(remote_sendKeyboardEvent(1, 0x41));

    // Connecting to a port that refuses closes the session, which ends the reader.
    const RefusingPort refusing;
    remote_connectToHost("127.0.0.1", refusing.port(), "");
}
BENCHMARK(BM_SendKeyboardEvent);

void BM_RawSendFloor(benchmark::State& state)
{
    LoopbackPeer reader(LoopbackPeer::Login::NotExpected, LoopbackPeer::AfterAccepting::DrainUntilClosed);
    const UniqueFd connection = connectToLoopback(reader.port(), /*noDelay=*/true);
    const int fd = connection.get();
    if (fd < 0) {
        state.SkipWithError("cannot connect on loopback");
        return;
    }
    const uint8_t event[8] = {0x01, 0x01, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00};
    for (auto _ : state)
        benchmark::DoNotOptimize(send(fd, event, sizeof event, MSG_NOSIGNAL));
}
BENCHMARK(BM_RawSendFloor);

} // namespace

BENCHMARK_MAIN();
