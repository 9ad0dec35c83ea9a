// SPDX-License-Identifier: GPL-3.0-or-later
#include "DiscoveryMessages.h"

#include "MojoTree.h"

#include <QStringDecoder>

#include <cstring>

namespace {

void appendString(mojo_node* dictionary, const char* name, const char* value)
{
    mojo_dic_insert(dictionary, mojo_create_pair(mojo_create_pair_value(name, mojo_create_string(value))));
}

// A text value as a string; empty when it is not a string or not UTF-8.
std::optional<QString> textOf(const mojo_node* node)
{
    const char* bytes = mojo_get_string(node);
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(bytes, qsizetype(std::strlen(bytes))));
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

std::vector<uint8_t> discovery_query()
{
    MojoTree query(mojo_create_with_type(MOJO_DICTIONARY));
    appendString(query.get(), "Device", "iPhone");
    appendString(query.get(), "DeviceVer", "2.1");
    appendString(query.get(), "AppName", "Quillon");
    appendString(query.get(), "AppVer", "1.0");
    std::vector<uint8_t> buffer(DISCOVERY_QUERY_CAPACITY);
    const int length = mojo_encode(query.get(), buffer.data(), int(buffer.size()));
    buffer.resize(size_t(length > 0 ? length : 0));
    return buffer;
}

std::shared_ptr<Computer> discovery_computerFromReply(const uint8_t* bytes, int length, const QString& senderAddress)
{
    MojoTree reply(mojo_create());
    if (mojo_decode(reply.get(), bytes, length) < 0)
        return nullptr;
    // The phone's own query, and other phones' queries, come back on this port.
    if (mojo_dic_get_value(reply.get(), "Device"))
        return nullptr;
    const mojo_node* name = mojo_dic_get_value(reply.get(), "Name");
    const mojo_node* port = mojo_dic_get_value(reply.get(), "Port");
    const mojo_node* ip = mojo_dic_get_value(reply.get(), "Ip");
    const mojo_node* os = mojo_dic_get_value(reply.get(), "Os");
    if (!name || !port || !ip || !os || !mojo_dic_get_value(reply.get(), "ReceiverName")
        || !mojo_dic_get_value(reply.get(), "ReceiverVer"))
        return nullptr;

    const std::optional<QString> nameText = textOf(name);
    const std::optional<QString> osText = textOf(os);
    int32_t portNumber = 0;
    if (!nameText || !osText || mojo_get_int(port, &portNumber) != 0)
        return nullptr;

    QString address = senderAddress;
    if (const char* ipText = mojo_get_string(ip); ipText && std::strcmp(ipText, "?") != 0) {
        // A longer address would have to be cut, and a cut address is a wrong one.
        if (std::strlen(ipText) > size_t(DISCOVERY_ADDRESS_MAX_LENGTH))
            return nullptr;
        address = QString::fromLatin1(ipText);
    }

    auto computer = Computer::initWithInfo(*nameText, *osText);
    // A name of nothing but invisible characters would be a blank row.
    if (computer->computerName()->isEmpty())
        return nullptr;
    computer->setPort(portNumber);
    computer->setIp(address);
    computer->setDiscoverd(true);
    return computer;
}
