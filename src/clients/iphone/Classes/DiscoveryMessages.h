// SPDX-License-Identifier: GPL-3.0-or-later
// The two discovery datagrams: the query the phone broadcasts and the reply
// a receiver answers with, each one bare value-tree encoding.
#pragma once

#include "Computer.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// Room for the encoded query; the whole query must fit.
constexpr int DISCOVERY_QUERY_CAPACITY = 1024;
// The most a reply may carry; a longer datagram is cut and will not decode.
constexpr int DISCOVERY_REPLY_CAPACITY = 4096;
// The longest address text a reply may carry.
constexpr int DISCOVERY_ADDRESS_MAX_LENGTH = 63;

// The query {"Device": "iPhone", "DeviceVer": "2.1", "AppName": "Quillon",
// "AppVer": "1.0"}, encoded (65 bytes).
std::vector<uint8_t> discovery_query();

// The computer a receiver's reply describes, marked discovered; null when
// the datagram is dropped: it does not decode, is a query (has "Device"),
// lacks one of "Name", "Port", "Ip", "Os", "ReceiverName", "ReceiverVer",
// carries a value of the wrong kind, or a name with nothing left to show
// once it is cleaned (ComputerName.h). An "Ip" of "?" or one that is not a
// string stands for `senderAddress`, where the datagram came from.
std::shared_ptr<Computer> discovery_computerFromReply(const uint8_t* bytes, int length, const QString& senderAddress);
