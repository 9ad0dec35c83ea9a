// SPDX-License-Identifier: GPL-3.0-or-later
// RemoteProtocol: the receiver session over one blocking TCP socket.
#include "RemoteProtocol.h"

#include "Mojo.h"
#include "SecureHandshake.h"
#include "SecureRecord.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The session descriptor; 0 means no session.
int sockd = 0;

// The mouse event is assembled here, field by field, so that sending one
// touches no allocator.
uint8_t packet[REMOTE_MOUSE_PACKET_SIZE];
int pos = 0;

// A secure session seals each event with its key, into a buffer of the size
// of the largest event's record, so that sending one touches no allocator
// either; the plain session has no sealer.
std::optional<RecordSealer> sealer;
uint8_t record[recordSize(std::max(REMOTE_KEYBOARD_PACKET_SIZE, REMOTE_MOUSE_PACKET_SIZE))];
std::string receiverName;
int loginFailure = REMOTE_LOGIN_NOT_REFUSED;

// The app's event loop, watching the open session for the receiver's close
// (none in programs without one: their sends look for it themselves).
RemoteSessionWatcher watcher = nullptr;
bool watched = false;    // the watcher was told of the open session
bool peerClosed = false; // the watcher saw the receiver close it

int responseTimeoutMs = REMOTE_DEFAULT_RESPONSE_TIMEOUT_MS;
int connectTimeoutMs = REMOTE_DEFAULT_CONNECT_TIMEOUT_MS;
int sendTimeoutMs = REMOTE_DEFAULT_SEND_TIMEOUT_MS;

using Clock = std::chrono::steady_clock;

constexpr int LOGIN_FRAME_SIZE = 1024;

// Waits until `fd` is ready for `events` (or has an error or end of stream
// to report) or the deadline passes; false when it passed. The session
// socket stays blocking: its waits are bounded here instead, since a socket
// time-out would come back as the would-block error.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const int waitMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        pollfd waiter{fd, events, 0};
        const int ready = poll(&waiter, 1, waitMs);
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

// The watcher lets go of the descriptor before it closes, so that its loop
// never waits on a closed or reused number.
void stopWatching()
{
    if (watched && watcher != nullptr)
        watcher(-1);
    watched = false;
    peerClosed = false;
}

void startWatching()
{
    if (sockd == 0 || watched || watcher == nullptr)
        return;
    watched = true;
    watcher(sockd);
}

void closeSession()
{
    stopWatching();
    shutdown(sockd, SHUT_RDWR);
    close(sockd);
    sockd = 0;
    sealer.reset(); // its key wipes itself
    receiverName.clear();
}

// Errors after which the connection can never carry data again. Linux reports
// a receiver that went away as one of these rather than as a zero count, so
// they end the session just as the zero count does.
bool connectionIsGone(int error)
{
    return error == EPIPE || error == ECONNRESET || error == ENOTCONN || error == ETIMEDOUT;
}

// A receiver sends nothing after its login reply, so an end of stream waiting
// on the socket means it has closed the connection. Looking before the send
// lets the very next event report the loss instead of vanishing into a
// half-closed connection.
bool peerHasClosed()
{
    uint8_t probe;
    for (;;) {
        const ssize_t n = recv(sockd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n == 0)
            return true;
        if (n > 0)
            return false;
        if (errno == EINTR)
            continue;
        return connectionIsGone(errno);
    }
}

// Hands the whole packet to the socket. MSG_NOSIGNAL turns a send on a dead
// connection into an error instead of a process-ending SIGPIPE. The socket
// takes a packet whole while it has room; when it has none (the receiver
// stopped reading, or its host vanished without a word), the send waits for
// room at most the send time-out and then gives the session up as lost, so
// the screen is never held longer. A packet cut short would leave the
// receiver reading the stream out of step, so its rest is sent too.
// `handedOver`, when given, tells whether any of the bytes reached the socket.
int sendPacket(const uint8_t* bytes, int size, bool* handedOver = nullptr)
{
    if (handedOver != nullptr)
        *handedOver = false;
    if (watched ? peerClosed : peerHasClosed()) {
        closeSession();
        return -1;
    }
    // The bound runs from the first time the socket has no room: a packet
    // that goes at once reads no clock.
    std::optional<Clock::time_point> deadline;
    int sent = 0;
    while (sent < size) {
        const ssize_t n = send(sockd, bytes + sent, static_cast<size_t>(size - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<int>(n);
            if (handedOver != nullptr)
                *handedOver = true;
            continue;
        }
        if (n == 0) {
            closeSession();
            return -1;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!deadline)
                deadline = Clock::now() + std::chrono::milliseconds(sendTimeoutMs);
            if (waitFor(sockd, POLLOUT, *deadline))
                continue;
            closeSession();
            return -1;
        }
        if (connectionIsGone(errno))
            closeSession();
        return -1;
    }
    return 0;
}

void putByte(uint8_t byte)
{
    packet[pos++] = byte;
}

void putInt16(int16_t value)
{
    const auto bits = static_cast<uint16_t>(value);
    putByte(static_cast<uint8_t>(bits & 0xFF));
    putByte(static_cast<uint8_t>(bits >> 8));
}

void writeUint32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t readUint32(const uint8_t* at)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(at[i]) << (8 * i);
    return value;
}

// Descriptor 0 is the module's "no session" mark, so a socket that happens to
// get it (standard input closed) is moved to a higher number.
int socketAboveZero(int fd)
{
    if (fd != 0)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
    close(fd);
    return moved;
}

// Connects within the connect time-out. The socket is non-blocking only for
// the connect, so that its wait has a bound (a host that is off, or a
// firewall that drops SYNs, would otherwise hold the screen for the system's
// two minutes); it blocks again afterwards, as the session expects.
bool connectTo(int fd, const sockaddr_in& address)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        return false;
    bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!connected && (errno == EINPROGRESS || errno == EINTR)) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(connectTimeoutMs);
        int error = 0;
        socklen_t length = sizeof error;
        connected = waitFor(fd, POLLOUT, deadline) && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0
                    && error == 0;
    }
    return fcntl(fd, F_SETFL, flags) == 0 && connected;
}


// Reads until `have` reaches `want` bytes at `buffer`, or at least
// `atLeast` bytes when that is smaller. 0 on success, -1 on a failure, a
// time-out or the end of the stream (which closes the session).
int receiveInto(uint8_t* buffer, int& have, int atLeast, int want, Clock::time_point deadline)
{
    while (have < atLeast) {
        if (!waitFor(sockd, POLLIN, deadline))
            return -1;
        const ssize_t n = recv(sockd, buffer + have, static_cast<size_t>(want - have), 0);
        if (n > 0) {
            have += static_cast<int>(n);
            continue;
        }
        if (n == 0) {
            closeSession();
            return -1;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            continue;
        return -1;
    }
    return 0;
}

mojo_node* loginRequest(const char* passcode)
{
    mojo_node* request = mojo_create_with_type(MOJO_DICTIONARY);
    const char* const names[] = {"Cmd", "Passcode"};
    const char* const texts[] = {"Login", passcode};
    for (int i = 0; i < 2; ++i) {
        mojo_pair_value* entry = mojo_create_pair_value(names[i], mojo_create_string(texts[i]));
        mojo_dic_insert(request, mojo_create_pair(entry));
    }
    return request;
}

// The request tree's copy of the passcode is wiped before the tree is freed.
void wipePasscode(mojo_node* request)
{
    const mojo_node* passcode = mojo_dic_get_value(request, "Passcode");
    if (char* text = passcode != nullptr ? reinterpret_cast<char*>(passcode->value) : nullptr)
        sodium_memzero(text, std::strlen(text));
}

// Reads one value-tree message into the receive buffer: the payload's length
// (at `payload`), or -1. The header may come in pieces; one byte is enough to
// see whether it is a message at all, and nothing more is read when it is not.
int receiveMessage(const uint8_t*& payload)
{
    static uint8_t packet[REMOTE_RECEIVE_CAPACITY];

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(responseTimeoutMs);
    int have = 0;
    if (receiveInto(packet, have, 1, REMOTE_MESSAGE_HEADER_SIZE, deadline) != 0)
        return -1;
    if (packet[0] != REMOTE_PACKET_MESSAGE)
        return -1;
    if (receiveInto(packet, have, REMOTE_MESSAGE_HEADER_SIZE, REMOTE_MESSAGE_HEADER_SIZE, deadline) != 0)
        return -1;

    // An empty payload cannot hold a tree, and a longer one than the buffer
    // is refused before a byte of it is read.
    const uint32_t length = readUint32(packet + 1);
    if (length == 0 || length > static_cast<uint32_t>(REMOTE_RECEIVE_CAPACITY))
        return -1;

    // The payload goes over the header, asking only for the bytes still
    // missing so that nothing of a following message is taken.
    const int size = static_cast<int>(length);
    have = 0;
    if (receiveInto(packet, have, size, size, deadline) != 0)
        return -1;
    payload = packet;
    return size;
}

// Sends one handshake payload as a value-tree message.
int sendMessage(const Bytes& payload, bool* handedOver = nullptr)
{
    uint8_t frame[REMOTE_MESSAGE_HEADER_SIZE + REMOTE_RECEIVE_CAPACITY];
    if (payload.empty() || payload.size() > static_cast<std::size_t>(REMOTE_RECEIVE_CAPACITY))
        return -1;
    frame[0] = REMOTE_PACKET_MESSAGE;
    writeUint32(frame + 1, static_cast<uint32_t>(payload.size()));
    std::memcpy(frame + REMOTE_MESSAGE_HEADER_SIZE, payload.data(), payload.size());
    return sendPacket(frame, REMOTE_MESSAGE_HEADER_SIZE + static_cast<int>(payload.size()), handedOver);
}

// Closes any open session and opens the connection of a new one (no login
// yet); 0, or -1 when none was made.
int openConnection(const char* address, unsigned int port)
{
    if (sockd != 0)
        closeSession();
    loginFailure = REMOTE_LOGIN_NOT_REFUSED;

    sockaddr_in target;
    std::memset(&target, 0, sizeof target);
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port & 0xFFFF));
    // inet_aton reads the same forms as inet_addr but can tell a bad text
    // from the address 255.255.255.255.
    if (address == nullptr || inet_aton(address, &target.sin_addr) == 0)
        return -1;

    const int fd = socketAboveZero(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd < 0)
        return -1;

    const int noDelay = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);

    if (!connectTo(fd, target)) {
        shutdown(fd, SHUT_RDWR);
        close(fd);
        return -1;
    }
    sockd = fd;
    return 0;
}

// A secure login that did not end in a session: the connection goes (it must
// never carry a plain login or an event), and -2 says why.
int secureLoginFailed(int result, int failure = REMOTE_LOGIN_PASSCODE_REFUSED)
{
    if (sockd != 0)
        closeSession();
    if (result == -2)
        loginFailure = failure;
    return result;
}

// The four messages of the handshake on the open connection. Until the
// phone's tag Ta has left, nothing sent lets anyone test the passcode, so a
// failure there is no connection (-1); after it, a receiver that does not
// know the passcode may have had its guess, and any failure is a refused
// passcode (-2). No input is sent before the receiver's tag has verified.
int secureLogin(const char* passcode)
{
    PhoneHandshake handshake;
    Bytes message;
    if (handshake.start(passcode, message) != HandshakeResult::Ok || sendMessage(message) != 0)
        return secureLoginFailed(-1);

    const uint8_t* answer = nullptr;
    int length = receiveMessage(answer);
    if (length < 0)
        return secureLoginFailed(-1);
    switch (handshake.answer(answer, static_cast<std::size_t>(length), message)) {
    case HandshakeResult::Ok:
        break;
    case HandshakeResult::PlainOnly:
        return secureLoginFailed(-2, REMOTE_LOGIN_PLAIN_ONLY);
    default:
        return secureLoginFailed(-1);
    }

    bool tagLeft = false;
    if (sendMessage(message, &tagLeft) != 0)
        return secureLoginFailed(tagLeft ? -2 : -1);
    length = receiveMessage(answer);
    if (length < 0 || handshake.confirm(answer, static_cast<std::size_t>(length)) != HandshakeResult::Ok)
        return secureLoginFailed(-2);

    sealer.emplace(handshake.keys()->sending);
    receiverName = handshake.receiverName();
    return 0; // the handshake wipes its keys as it goes
}

// Sends one input packet: as it is on a plain session, sealed as one record
// on a secure one.
int sendEvent(const uint8_t* packet, int size)
{
    if (!sealer)
        return sendPacket(packet, size);
    const int sealed = sealer->seal(packet, static_cast<std::size_t>(size), record, sizeof record);
    if (sealed < 0) {
        // The counter is spent: no record can follow, so the session ends.
        closeSession();
        return -1;
    }
    return sendPacket(record, sealed);
}

} // namespace

int remote_initialize()
{
    stopWatching();
    sockd = 0;
    sealer.reset();
    receiverName.clear();
    loginFailure = REMOTE_LOGIN_NOT_REFUSED;
    return 0;
}

int remote_is_connected()
{
    return sockd != 0 ? 1 : 0;
}

int remote_is_secure()
{
    return sockd != 0 && sealer ? 1 : 0;
}

const char* remote_receiverName()
{
    return receiverName.c_str();
}

int remote_loginFailure()
{
    return loginFailure;
}

int remote_disconnect()
{
    if (sockd != 0)
        closeSession();
    return 0;
}

void remote_setSessionWatcher(RemoteSessionWatcher newWatcher)
{
    stopWatching();
    watcher = newWatcher;
    startWatching();
}

int remote_sessionReadable()
{
    if (sockd == 0 || peerClosed)
        return 1;
    // Enough for any stray bytes a confused receiver may send now and then;
    // a receiver that keeps sending is read a bounded amount per turn of the
    // loop, so it cannot hold the screen.
    constexpr int kReadsPerCall = 16;
    uint8_t scrap[256];
    for (int reads = 0; reads < kReadsPerCall; ++reads) {
        const ssize_t n = recv(sockd, scrap, sizeof scrap, MSG_DONTWAIT);
        if (n > 0)
            continue;
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || connectionIsGone(errno)) {
            peerClosed = true;
            return 1;
        }
        return 0; // nothing more waits (or an error that a send will meet)
    }
    return 0;
}

void remote_setResponseTimeout(int milliseconds)
{
    responseTimeoutMs = milliseconds;
}

void remote_setConnectTimeout(int milliseconds)
{
    connectTimeoutMs = milliseconds;
}

void remote_setSendTimeout(int milliseconds)
{
    sendTimeoutMs = milliseconds;
}

int remote_connectToHost(const char* address, unsigned int port, const char* passcode)
{
    if (passcode == nullptr) {
        remote_disconnect();
        loginFailure = REMOTE_LOGIN_NOT_REFUSED;
        return -1;
    }
    if (openConnection(address, port) != 0)
        return -1;
    const int result = secureLogin(passcode);
    startWatching();
    return result;
}

int remote_connectToHostPlain(const char* address, unsigned int port, const char* passcode)
{
    if (openConnection(address, port) != 0)
        return -1;
    // A refused plain login leaves its connection open until the next connect.
    const int result = remote_login(passcode) == 0 ? 0 : -2;
    if (result != 0)
        loginFailure = REMOTE_LOGIN_PASSCODE_REFUSED;
    startWatching();
    return result;
}

int remote_login(const char* passcode)
{
    if (sockd == 0 || passcode == nullptr || sealer)
        return -1;

    uint8_t frame[LOGIN_FRAME_SIZE];
    mojo_node* request = loginRequest(passcode);
    const int length = mojo_encode(request, frame + REMOTE_MESSAGE_HEADER_SIZE,
                                   LOGIN_FRAME_SIZE - REMOTE_MESSAGE_HEADER_SIZE);
    wipePasscode(request);
    mojo_delete(request);
    // A passcode too long for the frame is refused before anything is sent.
    if (length <= 0) {
        sodium_memzero(frame, sizeof frame);
        return -1;
    }

    frame[0] = REMOTE_PACKET_MESSAGE;
    writeUint32(frame + 1, static_cast<uint32_t>(length));
    const int sent = sendPacket(frame, REMOTE_MESSAGE_HEADER_SIZE + length);
    sodium_memzero(frame, sizeof frame);
    if (sent != 0)
        return -1;

    mojo_node* reply = mojo_create();
    if (remote_get_response(reply) == -1) {
        mojo_delete(reply);
        return -1;
    }
    int32_t rsp = -1;
    const bool accepted = mojo_get_int(mojo_dic_get_value(reply, "Rsp"), &rsp) == 0 && rsp == 0;
    mojo_delete(reply);
    return accepted ? 0 : -1;
}

int remote_get_response(mojo_node* node)
{
    if (sockd == 0 || node == nullptr || sealer)
        return -1;
    const uint8_t* payload = nullptr;
    const int length = receiveMessage(payload);
    if (length < 0)
        return -1;
    return mojo_decode(node, payload, length);
}

int remote_sendKeyboardEvent(int state, uint32_t keyCode)
{
    if (sockd == 0)
        return -1;
    uint8_t event[REMOTE_KEYBOARD_PACKET_SIZE] = {REMOTE_PACKET_KEYBOARD, static_cast<uint8_t>(state & 0xFF), 0, 0};
    writeUint32(event + 4, keyCode);
    return sendEvent(event, REMOTE_KEYBOARD_PACKET_SIZE);
}

int remote_sendMouseEvent(int buttons, int16_t dx, int16_t dy)
{
    if (sockd == 0)
        return -1;
    pos = 0;
    putByte(REMOTE_PACKET_MOUSE);
    putByte(static_cast<uint8_t>(buttons & 0xFF));
    putInt16(dx);
    putInt16(dy);
    return sendEvent(packet, pos);
}
