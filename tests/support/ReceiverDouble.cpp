// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ReceiverDouble.h"

#include "support/GenerousWait.h"
#include "support/LoopbackSockets.h"

#include "MojoTree.h"
#include "SecureHandshake.h"
#include "SecureRecord.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kPiecePauseMs = 30;

Bytes payloadOf(const Bytes& frame)
{
    return frame.size() > REMOTE_MESSAGE_HEADER_SIZE ? Bytes(frame.begin() + REMOTE_MESSAGE_HEADER_SIZE, frame.end())
                                                     : Bytes();
}

bool sendBytes(int fd, const Bytes& bytes)
{
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

// The text of the one entry of a handshake message's payload, or "".
std::string entryText(const Bytes& payload, const char* name)
{
    MojoTree tree(mojo_create());
    if (payload.empty() || mojo_decode(tree.get(), payload.data(), int(payload.size())) < 0)
        return {};
    const char* text = mojo_get_string(mojo_dic_get_value(tree.get(), name));
    return text != nullptr ? text : "";
}

// Opens the records in `bytes` and appends their packets; false once the
// opener refused the stream.
bool openRecords(RecordOpener& opener, const uint8_t* bytes, std::size_t count, Bytes& packets)
{
    for (std::size_t at = 0; at < count;) {
        std::size_t used = 0;
        const RecordOpener::Status status = opener.feed(bytes + at, count - at, used);
        if (status == RecordOpener::Status::Failed)
            return false;
        if (status == RecordOpener::Status::Packet)
            packets.insert(packets.end(), opener.packet(), opener.packet() + opener.packetSize());
        at += used;
    }
    return true;
}

Bytes tbMessage(const std::string& hex)
{
    return messagePacket(Bytes{0x5B} + shortString("Tb") + shortString(hex) + Bytes{0x5D});
}

} // namespace

ReceiverScript ReceiverScript::plain(std::vector<Bytes> pieces, bool closesAfterReply)
{
    ReceiverScript script;
    script.login = Login::Plain;
    script.replyPieces = std::move(pieces);
    script.closesAfterReply = closesAfterReply;
    return script;
}

ReceiverDouble::ReceiverDouble(ReceiverScript script) : script_(std::move(script)), passcode_(script_.passcode)
{
    listener_ = boundOnLoopback();
    if (script_.stopsReadingAfterReply) {
        // A small window (inherited by the accepted socket) fills up soon.
        const int small = 4096;
        setsockopt(listener_.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    if (!listener_.valid() || listen(listener_.get(), 4) != 0 || pipe2(wakePipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot start the receiver double");
    port_ = localPort(listener_.get());
    thread_ = std::thread([this] { run(); });
}

ReceiverDouble::~ReceiverDouble()
{
    const char stop = 'x';
    (void)!write(wakePipe_[1], &stop, 1);
    thread_.join();
    close(wakePipe_[0]);
    close(wakePipe_[1]);
}

template <typename Ready> bool ReceiverDouble::waitFor(Ready ready)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kGenerousWait, ready);
}

int ReceiverDouble::connections()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

void ReceiverDouble::setPasscode(const std::string& passcode)
{
    std::lock_guard<std::mutex> lock(mutex_);
    passcode_ = passcode;
}

Bytes ReceiverDouble::loginFrame()
{
    waitFor([this] { return loginDone_ || peerClosed_; });
    std::lock_guard<std::mutex> lock(mutex_);
    return login_;
}

Bytes ReceiverDouble::tagFrame()
{
    waitFor([this] { return tagDone_ || peerClosed_; });
    std::lock_guard<std::mutex> lock(mutex_);
    return tag_;
}

Bytes ReceiverDouble::received(size_t count)
{
    waitFor([&] { return received_.size() >= count || peerClosed_; });
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

Bytes ReceiverDouble::wire()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return wire_;
}

bool ReceiverDouble::waitForPeerClose()
{
    return waitFor([this] { return peerClosed_; });
}

bool ReceiverDouble::waitForOwnClose()
{
    return waitFor([this] { return ownClosed_; });
}

uint16_t ReceiverDouble::clientPort()
{
    waitFor([this] { return clientPort_ != 0; });
    std::lock_guard<std::mutex> lock(mutex_);
    return clientPort_;
}

// Sleeps, but wakes at once when the double is being torn down (false then).
bool ReceiverDouble::pause(int milliseconds)
{
    pollfd wake{wakePipe_[0], POLLIN, 0};
    return poll(&wake, 1, milliseconds) == 0;
}

void ReceiverDouble::run()
{
    for (;;) {
        pollfd waiters[2] = {{listener_.get(), POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (poll(waiters, 2, -1) <= 0 || (waiters[1].revents & POLLIN))
            return;
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd = accept4(listener_.get(), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const int noDelay = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++connections_;
            clientPort_ = ntohs(peer.sin_port);
            login_.clear();
            tag_.clear();
            received_.clear();
            wire_.clear();
            loginDone_ = tagDone_ = peerClosed_ = ownClosed_ = false;
        }
        changed_.notify_all();

        const bool closesItself = script_.login == ReceiverScript::Login::Secure ? serveSecure(fd) : servePlain(fd);
        if (script_.resets) {
            const linger abortive{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        }
        close(fd);
        if (closesItself) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ownClosed_ = true;
            }
            changed_.notify_all();
        }
    }
}

// After the login: close, stop reading, or record until the phone closes.
// True when the double closes by itself.
bool ReceiverDouble::servePlain(int fd)
{
    bool open = !script_.readsLogin || readFrame(fd, login_, loginDone_);
    for (size_t i = 0; open && i < script_.replyPieces.size(); ++i) {
        if (i > 0 && !pause(kPiecePauseMs))
            open = false;
        if (open && !sendBytes(fd, script_.replyPieces[i]))
            open = false;
    }
    if (open && script_.closesAfterReply)
        return true;
    if (open && script_.stopsReadingAfterReply)
        pause(-1); // until the double is torn down
    else if (open)
        recordUntilClosed(fd, nullptr);
    return false;
}

bool ReceiverDouble::serveSecure(int fd)
{
    if (!readFrame(fd, login_, loginDone_))
        return false;
    std::string passcode;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        passcode = passcode_;
    }
    ReceiverHandshake handshake(script_.name);
    Bytes reply;
    const Bytes hello = payloadOf(login_);
    const HandshakeResult greeted = handshake.hello(passcode, hello.data(), hello.size(), reply);
    if (greeted == HandshakeResult::NotSecureLogin) // a plain login: refused, as by default
        return sendBytes(fd, loginReply(1));
    if (!sendBytes(fd, messagePacket(reply)) || greeted != HandshakeResult::Ok)
        return true;

    if (!readFrame(fd, tag_, tagDone_))
        return false;
    if (script_.confirm == ReceiverScript::Confirm::ByResetting) {
        const linger abortive{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        return true;
    }
    const Bytes tag = payloadOf(tag_);
    handshake.takeTag(tag.data(), tag.size());
    if (handshake.verifyTag(reply) != HandshakeResult::Ok) {
        sendBytes(fd, messagePacket(reply)); // {"Rsp": 1}: a wrong passcode
        return true;
    }
    Bytes confirmation = messagePacket(reply);
    if (script_.confirm == ReceiverScript::Confirm::WithTheTaSentBack) {
        confirmation = tbMessage(entryText(tag, "Ta"));
    } else if (script_.confirm == ReceiverScript::Confirm::WithAWrongTb) {
        std::string tb = entryText(reply, "Tb");
        tb[0] = tb[0] == '0' ? '1' : '0';
        confirmation = tbMessage(tb);
    }
    if (!sendBytes(fd, confirmation))
        return false;
    if (script_.closesAfterReply)
        return true;
    if (script_.stopsReadingAfterReply) {
        pause(-1);
        return false;
    }
    RecordOpener opener(handshake.keys()->receiving);
    recordUntilClosed(fd, &opener);
    return opener.failed();
}

// Reads one value-tree message, its header and its payload, into `into`.
bool ReceiverDouble::readFrame(int fd, Bytes& into, bool& done)
{
    Bytes frame;
    const MessageRead outcome = readMessage(fd, frame, wakePipe_[0]);
    if (outcome == MessageRead::Cancelled)
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // A frame too long to read is handed over as far as it came, and
        // the test that looks at it fails at once.
        into = frame;
        wire_.insert(wire_.end(), frame.begin(), frame.end());
        done = outcome != MessageRead::PeerClosed;
        peerClosed_ = outcome == MessageRead::PeerClosed;
    }
    changed_.notify_all();
    return outcome == MessageRead::Whole;
}

// Records what arrives; with an opener, the packets of its records. A record
// that does not open ends the connection, as with the real receiver.
void ReceiverDouble::recordUntilClosed(int fd, RecordOpener* opener)
{
    uint8_t chunk[2048];
    for (;;) {
        pollfd waiters[2] = {{fd, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (poll(waiters, 2, -1) <= 0 || (waiters[1].revents & POLLIN))
            return;
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        bool refused = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (n > 0) {
                wire_.insert(wire_.end(), chunk, chunk + n);
                if (opener == nullptr)
                    received_.insert(received_.end(), chunk, chunk + n);
                else
                    refused = !openRecords(*opener, chunk, std::size_t(n), received_);
            } else {
                peerClosed_ = true;
            }
        }
        changed_.notify_all();
        if (n <= 0 || refused)
            return;
    }
}

RefusingPort::RefusingPort() : fd_(boundOnLoopback()), port_(localPort(fd_.get()))
{
    if (!fd_.valid())
        throw std::runtime_error("cannot bind a loopback socket");
}
