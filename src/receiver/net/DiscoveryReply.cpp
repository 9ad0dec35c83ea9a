// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/DiscoveryReply.h"

#include "MojoTree.h"
#include "WireFormat.h"

#include <climits>
#include <memory>
#include <sys/utsname.h>

namespace {

// The phone reads at most this much of one reply.
constexpr int kMaxReplySize = 4096;

void insert(mojo_node* dictionary, const char* name, mojo_node* value)
{
    mojo_dic_insert(dictionary, mojo_create_pair(mojo_create_pair_value(name, value)));
}

} // namespace

bool isDiscoveryQuery(const uint8_t* datagram, std::size_t length)
{
    // What cannot be a phone's query costs no decoding: a query fits the
    // phone's query buffer, and it is a dictionary, which its first byte says.
    if (length == 0 || length > std::size_t(REMOTE_DISCOVERY_QUERY_CAPACITY) || datagram[0] != MOJO_DICTIONARY)
        return false;
    MojoTree tree(mojo_create());
    if (mojo_decode(tree.get(), datagram, static_cast<int>(length)) < 0)
        return false;
    // A lookup on anything but a dictionary finds nothing.
    return mojo_dic_get_value(tree.get(), "Device") != nullptr;
}

std::vector<uint8_t> encodeDiscoveryQuery()
{
    MojoTree query(mojo_create_with_type(MOJO_DICTIONARY));
    insert(query.get(), "Device", mojo_create_string("quillon-receiver"));
    std::vector<uint8_t> bytes(64);
    bytes.resize(static_cast<std::size_t>(mojo_encode(query.get(), bytes.data(), int(bytes.size()))));
    return bytes;
}

std::optional<ReceiverIdentity> decodeDiscoveryReply(const uint8_t* datagram, std::size_t length)
{
    if (length == 0 || length > std::size_t(INT_MAX))
        return std::nullopt;
    MojoTree tree(mojo_create());
    if (mojo_decode(tree.get(), datagram, static_cast<int>(length)) < 0 || mojo_dic_get_value(tree.get(), "Device"))
        return std::nullopt;
    const char* name = mojo_get_string(mojo_dic_get_value(tree.get(), "Name"));
    int32_t port = 0;
    if (!name || mojo_get_int(mojo_dic_get_value(tree.get(), "Port"), &port) != 0)
        return std::nullopt;
    ReceiverIdentity identity;
    identity.name = name;
    identity.sessionPort = static_cast<uint16_t>(port);
    if (const char* receiver = mojo_get_string(mojo_dic_get_value(tree.get(), "ReceiverName")))
        identity.receiverName = receiver;
    if (const char* version = mojo_get_string(mojo_dic_get_value(tree.get(), "ReceiverVer")))
        identity.receiverVersion = version;
    return identity;
}

std::optional<std::vector<uint8_t>> encodeDiscoveryReply(const ReceiverIdentity& identity)
{
    MojoTree reply(mojo_create_with_type(MOJO_DICTIONARY));
    insert(reply.get(), "Name", mojo_create_string(identity.name.c_str()));
    insert(reply.get(), "Port", mojo_create_int(identity.sessionPort));
    insert(reply.get(), "Ip", mojo_create_string("?"));
    insert(reply.get(), "Os", mojo_create_string(identity.os.c_str()));
    insert(reply.get(), "ReceiverName", mojo_create_string(identity.receiverName.c_str()));
    insert(reply.get(), "ReceiverVer", mojo_create_string(identity.receiverVersion.c_str()));
    // Added after every entry a phone already knows: it offers the secure
    // login. A hint only (it travels unprotected); phones that do not know it
    // ignore it.
    insert(reply.get(), "Secure", mojo_create_int(1));

    std::vector<uint8_t> bytes(kMaxReplySize);
    const int length = mojo_encode(reply.get(), bytes.data(), kMaxReplySize);
    if (length <= 0)
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(length));
    return bytes;
}

std::string operatingSystemName()
{
    utsname system{};
    if (uname(&system) == 0 && system.sysname[0] != '\0')
        return system.sysname;
    return "Linux";
}
