// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ConnectionTestSupport.h"

#include "ComputerListViewController.h"
#include "Mojo.h"

#include "platform/UserDefaults.h"

#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

TemporarySettings::TemporarySettings()
{
    hadSaved_ = qEnvironmentVariableIsSet("QUILLON_SETTINGS");
    saved_ = qgetenv("QUILLON_SETTINGS");
    qputenv("QUILLON_SETTINGS", filePath().toLocal8Bit());
    platform::UserDefaults::resetStandardUserDefaults();
}

TemporarySettings::~TemporarySettings()
{
    if (hadSaved_)
        qputenv("QUILLON_SETTINGS", saved_);
    else
        qunsetenv("QUILLON_SETTINGS");
    platform::UserDefaults::resetStandardUserDefaults();
}

QString TemporarySettings::filePath() const
{
    return dir_.filePath(QStringLiteral("settings.json"));
}

QByteArray TemporarySettings::fileContents() const
{
    QFile file(filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

UdpPeer::UdpPeer(const char* bindAddress, uint16_t port) : fd_(boundUdpSocket(bindAddress, port, true))
{
    if (!fd_.valid())
        throw std::runtime_error("cannot bind the UDP peer");
    port_ = localPort(fd_.get());
}

void UdpPeer::sendTo(uint16_t port, const Datagram& bytes) const
{
    const sockaddr_in destination = ipv4Address("127.0.0.1", port);
    ::sendto(fd_.get(), bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
}

std::optional<UdpPeer::Received> UdpPeer::receive()
{
    if (!waitUntilReadable(fd_.get()))
        return std::nullopt;
    return receiveWaiting();
}

std::optional<UdpPeer::Received> UdpPeer::receiveWaiting()
{
    uint8_t buffer[65536];
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    const ssize_t count =
        ::recvfrom(fd_.get(), buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sender), &length);
    if (count < 0)
        return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text);
    return Received{Datagram(buffer, buffer + count), text, ntohs(sender.sin_port)};
}

long udpReceiveQueue(uint16_t port)
{
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    table.readLine(); // the column titles
    const QByteArray wanted = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    while (!table.atEnd()) {
        // "sl local_address rem_address st tx_queue:rx_queue ...", addresses as HEXADDR:PORT
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        if (fields.size() > 4 && fields[1].endsWith(":" + wanted))
            return fields[4].split(':').value(1).toLong(nullptr, 16);
    }
    return -1;
}

bool waitForUdpReceiveQueue(uint16_t port, long bytes)
{
    for (int waited = 0; waited < 5000; waited += 5) {
        if (udpReceiveQueue(port) >= bytes)
            return true;
        ::usleep(5000);
    }
    return false;
}

uint16_t freeUdpPort()
{
    UdpPeer probe("127.0.0.1", 0);
    return probe.port();
}

uint16_t freeTcpPort()
{
    return localPort(boundOnLoopback().get());
}

Datagram encodeDictionary(const std::vector<std::pair<std::string, ReplyValue>>& entries)
{
    mojo_node* dictionary = mojo_create_with_type(MOJO_DICTIONARY);
    for (const auto& [name, value] : entries) {
        mojo_node* item = std::holds_alternative<std::string>(value)
                            ? mojo_create_string(std::get<std::string>(value).c_str())
                            : mojo_create_int(std::get<int32_t>(value));
        mojo_dic_insert(dictionary, mojo_create_pair(mojo_create_pair_value(name.c_str(), item)));
    }
    Datagram bytes(8192);
    const int length = mojo_encode(dictionary, bytes.data(), int(bytes.size()));
    mojo_delete(dictionary);
    bytes.resize(size_t(length > 0 ? length : 0));
    return bytes;
}

Datagram receiverReply(const std::string& name, const std::string& ip, int32_t port, const std::string& os)
{
    return encodeDictionary({{"Name", name},
                             {"Ip", ip},
                             {"Port", port},
                             {"Os", os},
                             {"ReceiverName", "quillon-receiver"},
                             {"ReceiverVer", "1.0"}});
}
