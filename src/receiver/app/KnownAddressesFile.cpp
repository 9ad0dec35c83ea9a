// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/KnownAddressesFile.h"

#include "common/PrivateFiles.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <sstream>
#include <unistd.h>

namespace {

// 64 addresses of at most 15 characters and their line ends, with room to
// spare; anything larger was not written by the receiver.
constexpr std::size_t kMaxFileSize = 4096;
constexpr const char* kHeading = "# Addresses that logged in to quillon-receiver, oldest first.\n";

} // namespace

std::string knownAddressesFile()
{
    const std::string directory = receiverStateDirectory();
    return directory.empty() ? std::string() : directory + "/logged-in-addresses";
}

std::vector<uint32_t> readKnownAddresses(const std::string& path, std::size_t most, std::string& problem)
{
    problem.clear();
    if (path.empty() || (::access(path.c_str(), F_OK) != 0 && errno == ENOENT))
        return {};
    std::string contents;
    if (!isPrivateDirectory(parentDirectory(path), problem)
        || !readPrivateFile(path, "the file of addresses that logged in", kMaxFileSize, contents, problem)) {
        problem += "; it is ignored";
        return {};
    }
    std::vector<uint32_t> addresses;
    std::size_t unreadable = 0;
    std::istringstream lines(contents);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        in_addr address{};
        if (line.size() > 15 || inet_pton(AF_INET, line.c_str(), &address) != 1) {
            ++unreadable;
            continue;
        }
        // A later line is a later login.
        addresses.erase(std::remove(addresses.begin(), addresses.end(), address.s_addr), addresses.end());
        addresses.push_back(address.s_addr);
    }
    if (addresses.size() > most)
        addresses.erase(addresses.begin(), addresses.end() - std::ptrdiff_t(most));
    if (unreadable)
        problem = "the file of addresses that logged in '" + path + "' has " + std::to_string(unreadable)
                  + " lines that are no address; they are skipped";
    return addresses;
}

bool writeKnownAddresses(const std::string& path, const std::vector<uint32_t>& addresses, std::string& error)
{
    std::string text = kHeading;
    for (uint32_t address : addresses) {
        char dotted[INET_ADDRSTRLEN] = {};
        const in_addr value{address};
        text += std::string(inet_ntop(AF_INET, &value, dotted, sizeof dotted)) + "\n";
    }
    const std::string directory = parentDirectory(path);
    return makePrivateDirectories(directory, error) && isPrivateDirectory(directory, error)
           && replacePrivateFile(path, text, error);
}
