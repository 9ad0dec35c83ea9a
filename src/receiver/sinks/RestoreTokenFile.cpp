// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/RestoreTokenFile.h"

#include "common/PrivateFiles.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// Tokens are short strings (a UUID in practice).
constexpr std::size_t kMaxTokenSize = 1024;
constexpr const char* kWhat = "the restore token file";

bool isPrintable(const std::string& text)
{
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

} // namespace

RestoreTokenFile::RestoreTokenFile(std::string path)
    : path_(std::move(path))
{
}

RestoreTokenFile RestoreTokenFile::forThisUser()
{
    const std::string directory = receiverStateDirectory();
    return RestoreTokenFile(directory.empty() ? std::string() : directory + "/portal-restore-token");
}

std::string RestoreTokenFile::read(std::string* problem) const
{
    if (path_.empty() || (::access(path_.c_str(), F_OK) != 0 && errno == ENOENT))
        return {};
    std::string why;
    std::string token;
    if (!isPrivateDirectory(parentDirectory(path_), why)
        || !readPrivateFile(path_, kWhat, kMaxTokenSize + 1, token, why)) {
        if (problem)
            *problem = why;
        return {};
    }
    while (!token.empty() && token.back() == '\n')
        token.pop_back();
    if (token.empty() || token.size() > kMaxTokenSize || !isPrintable(token)) {
        if (problem)
            *problem = std::string(kWhat) + " '" + path_ + "' holds no token";
        return {};
    }
    return token;
}

bool RestoreTokenFile::write(const std::string& token, std::string& error) const
{
    if (path_.empty())
        return true;
    if (token.empty()) {
        if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
            error = "cannot remove '" + path_ + "': " + std::strerror(errno);
            return false;
        }
        return true;
    }
    if (token.size() > kMaxTokenSize || !isPrintable(token)) {
        error = "the desktop gave a restore token that cannot be kept";
        return false;
    }
    const std::string directory = parentDirectory(path_);
    return makePrivateDirectories(directory, error) && isPrivateDirectory(directory, error)
           && replacePrivateFile(path_, token + "\n", error);
}
