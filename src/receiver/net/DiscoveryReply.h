// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's side of discovery, free of sockets: which datagrams are
// queries and what the answer to one holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the receiver announces about itself.
struct ReceiverIdentity {
    std::string name;         // the computer's name shown on the phone
    uint16_t sessionPort = 0; // the TCP port of the session
    std::string os;           // e.g. "Linux"
    std::string receiverName; // "quillon-receiver"
    std::string receiverVersion;
};

// True when the datagram is an encoded dictionary holding "Device". A
// datagram longer than a phone's query buffer, or one that does not start a
// dictionary, is refused before anything is decoded.
bool isDiscoveryQuery(const uint8_t* datagram, std::size_t length);

// A query as a phone sends it, for asking whether a receiver is already there.
std::vector<uint8_t> encodeDiscoveryQuery();
// The name and session port a receiver's reply announces, and the receiver
// program's name and version when it gives them; nothing when the datagram
// is not a reply (a query, or no "Name" string and "Port" integer).
std::optional<ReceiverIdentity> decodeDiscoveryReply(const uint8_t* datagram, std::size_t length);

// The encoded reply: a dictionary with "Name", "Port", "Ip" = "?" (the phone
// then takes the datagram's source address), "Os", "ReceiverName",
// "ReceiverVer" and "Secure" = 1 (the secure login is offered). Nothing when
// it would not fit one datagram.
std::optional<std::vector<uint8_t>> encodeDiscoveryReply(const ReceiverIdentity& identity);

// The operating system's name for the reply ("Linux" here).
std::string operatingSystemName();
