// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SessionRecorder.h"

#include "RemoteProtocol.h"
#include "support/SessionBytes.h"

#include <gtest/gtest.h>

#include <iomanip>

namespace {

// A keyboard packet no screen sends: state 0xA5 is neither down nor up.
constexpr int kSentinelState = 0xA5;
constexpr uint32_t kSentinelCode = 0x5E47114E;

uint32_t readUint32(const Bytes& bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | bytes[at + static_cast<size_t>(i)];
    return value;
}

int readInt16(const Bytes& bytes, size_t at)
{
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)));
}

// The size of the packet that starts at `at`, or 0 for an unknown type byte.
size_t packetSize(uint8_t type)
{
    switch (type) {
    case REMOTE_PACKET_MOUSE:
        return REMOTE_MOUSE_PACKET_SIZE;
    case REMOTE_PACKET_KEYBOARD:
        return REMOTE_KEYBOARD_PACKET_SIZE;
    default:
        return 0;
    }
}

} // namespace

SentPacket SentPacket::key(int state, uint32_t keyCode)
{
    SentPacket packet;
    packet.kind = Kind::Keyboard;
    packet.state = state;
    packet.keyCode = keyCode;
    return packet;
}

SentPacket SentPacket::mouse(int buttons, int dx, int dy)
{
    SentPacket packet;
    packet.kind = Kind::Mouse;
    packet.buttons = buttons;
    packet.dx = dx;
    packet.dy = dy;
    return packet;
}

bool SentPacket::operator==(const SentPacket& other) const
{
    if (kind != other.kind)
        return false;
    if (kind == Kind::Keyboard)
        return state == other.state && keyCode == other.keyCode;
    return buttons == other.buttons && dx == other.dx && dy == other.dy;
}

std::ostream& operator<<(std::ostream& out, const SentPacket& packet)
{
    if (packet.kind == SentPacket::Kind::Keyboard) {
        out << "key(" << (packet.state == 1 ? "down" : packet.state == 0 ? "up" : "state ?") << " 0x" << std::hex
            << packet.keyCode << std::dec << ")";
    } else {
        out << "mouse(buttons " << packet.buttons << ", dx " << packet.dx << ", dy " << packet.dy << ")";
    }
    return out;
}

SessionRecorder::SessionRecorder()
{
    receiver_ = std::make_unique<ReceiverDouble>();
    connected_ = remote_connectToHost("127.0.0.1", receiver_->port(), kReceiverDoublePasscode.c_str()) == 0;
}

SessionRecorder::~SessionRecorder()
{
    closeAppSession();
}

SentPackets SessionRecorder::takePackets()
{
    SentPackets packets;
    if (remote_sendKeyboardEvent(kSentinelState, kSentinelCode) != 0) {
        ADD_FAILURE() << "the session is gone: the sentinel could not be sent";
        return packets;
    }
    size_t at = consumed_;
    size_t wanted = at + REMOTE_KEYBOARD_PACKET_SIZE;
    for (;;) {
        const Bytes bytes = receiver_->received(wanted);
        // Walk the whole packets that have arrived.
        while (at < bytes.size()) {
            const size_t size = packetSize(bytes[at]);
            if (size == 0) {
                ADD_FAILURE() << "unknown packet type " << int(bytes[at]) << " at byte " << at;
                consumed_ = bytes.size();
                return packets;
            }
            if (at + size > bytes.size())
                break;
            if (bytes[at] == REMOTE_PACKET_KEYBOARD) {
                const SentPacket packet = SentPacket::key(bytes[at + 1], readUint32(bytes, at + 4));
                at += size;
                if (packet.state == kSentinelState && packet.keyCode == kSentinelCode) {
                    consumed_ = at;
                    return packets;
                }
                packets.push_back(packet);
            } else {
                packets.push_back(SentPacket::mouse(bytes[at + 1], readInt16(bytes, at + 2), readInt16(bytes, at + 4)));
                at += size;
            }
        }
        if (bytes.size() < wanted) {
            ADD_FAILURE() << "the sentinel never arrived (" << bytes.size() << " bytes recorded)";
            consumed_ = bytes.size();
            return packets;
        }
        wanted = at + REMOTE_KEYBOARD_PACKET_SIZE;
    }
}

void SessionRecorder::receiverGoesAway()
{
    receiver_.reset();
}

void closeAppSession()
{
    remote_disconnect();
}
