// What the receiver protocol costs: encoding the login request, decoding a
// discovery reply, and handing one keyboard event to the socket compared with
// the floor, a bare send() of the same 8 bytes on a loopback TCP connection.
#include "Mojo.h"
#include "RemoteProtocol.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

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

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

int boundLoopbackSocket(uint16_t& port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot bind a loopback socket");
    port = ntohs(address.sin_port);
    return fd;
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

// Accepts one connection on 127.0.0.1, optionally answers its login with
// Rsp 0, then reads and drops everything until the sender closes.
class DrainingReader {
public:
    explicit DrainingReader(bool answersLogin)
    {
        listener_ = boundLoopbackSocket(port_);
        if (listen(listener_, 1) != 0)
            throw std::runtime_error("cannot listen on loopback");
        thread_ = std::thread([this, answersLogin] { drain(answersLogin); });
    }
    ~DrainingReader()
    {
        thread_.join();
        close(listener_);
    }
    uint16_t port() const { return port_; }

private:
    void drain(bool answersLogin)
    {
        const int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0)
            return;
        if (answersLogin && !answerLogin(fd)) {
            close(fd);
            return;
        }
        std::vector<uint8_t> sink(64 * 1024);
        while (recv(fd, sink.data(), sink.size(), 0) > 0) {
        }
        close(fd);
    }
    static bool answerLogin(int fd)
    {
        uint8_t frame[1024];
        if (!readExactly(fd, frame, 5))
            return false;
        const uint32_t length = frame[1] | frame[2] << 8 | frame[3] << 16 | uint32_t(frame[4]) << 24;
        if (length > sizeof frame || !readExactly(fd, frame, length))
            return false;
        static const uint8_t accept[] = {0x80, 0x0C, 0x00, 0x00, 0x00, 0x5B, 0x73, 0x03, 0x52,
                                         0x73, 0x70, 0x69, 0x00, 0x00, 0x00, 0x00, 0x5D};
        return send(fd, accept, sizeof accept, MSG_NOSIGNAL) == sizeof accept;
    }

    int listener_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
};

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

void BM_SendKeyboardEvent(benchmark::State& state)
{
    DrainingReader reader(true);
    if (remote_connectToHost("127.0.0.1", reader.port(), "secret") != 0) {
        state.SkipWithError("the session did not log in");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(remote_sendKeyboardEvent(1, 0x41));

    // Connecting to a port that refuses closes the session, which ends the reader.
    uint16_t refusingPort = 0;
    const int refusing = boundLoopbackSocket(refusingPort);
    remote_connectToHost("127.0.0.1", refusingPort, "");
    close(refusing);
}
BENCHMARK(BM_SendKeyboardEvent);

void BM_RawSendFloor(benchmark::State& state)
{
    DrainingReader reader(false);
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int noDelay = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    const sockaddr_in address = loopback(reader.port());
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        state.SkipWithError("cannot connect on loopback");
        close(fd);
        return;
    }
    const uint8_t event[8] = {0x01, 0x01, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00};
    for (auto _ : state)
        benchmark::DoNotOptimize(send(fd, event, sizeof event, MSG_NOSIGNAL));
    close(fd);
}
BENCHMARK(BM_RawSendFloor);

} // namespace

BENCHMARK_MAIN();
