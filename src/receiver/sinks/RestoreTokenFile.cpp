// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/RestoreTokenFile.h"

#include "UniqueFd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Tokens are short strings (a UUID in practice).
constexpr std::size_t kMaxTokenSize = 1024;

std::string parentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

// mkdir -p, new directories private to the user as the XDG directories are.
bool makeDirectories(const std::string& directory)
{
    struct stat status {};
    if (::stat(directory.c_str(), &status) == 0)
        return S_ISDIR(status.st_mode);
    if (directory != "/" && !makeDirectories(parentOf(directory)))
        return false;
    return ::mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
}

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
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    // XDG base directories must be absolute; a relative one is ignored.
    if (state && state[0] == '/')
        return RestoreTokenFile(std::string(state) + "/quillon/portal-restore-token");
    if (home && home[0] == '/')
        return RestoreTokenFile(std::string(home) + "/.local/state/quillon/portal-restore-token");
    return RestoreTokenFile("");
}

std::string RestoreTokenFile::read() const
{
    if (path_.empty())
        return {};
    UniqueFd file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY));
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)
        || status.st_uid != ::geteuid() || (status.st_mode & (S_IRWXG | S_IRWXO)))
        return {};
    char text[kMaxTokenSize + 1];
    ssize_t got = 0;
    do
        got = ::read(file.get(), text, sizeof text);
    while (got < 0 && errno == EINTR);
    if (got <= 0 || std::size_t(got) > kMaxTokenSize)
        return {};
    std::string token(text, std::size_t(got));
    while (!token.empty() && token.back() == '\n')
        token.pop_back();
    return isPrintable(token) ? token : std::string();
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
    const std::string directory = parentOf(path_);
    if (!makeDirectories(directory)) {
        error = "cannot make the directory '" + directory + "': " + std::strerror(errno);
        return false;
    }
    // A new private file renamed over the old one: a reader sees the old
    // token or the new one, never half of one.
    std::string temporary = path_ + ".XXXXXX";
    UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.valid()) {
        error = "cannot write in '" + directory + "': " + std::strerror(errno);
        return false;
    }
    const std::string line = token + "\n";
    bool written = ::fchmod(file.get(), 0600) == 0
                   && ::write(file.get(), line.data(), line.size()) == ssize_t(line.size()) && ::fsync(file.get()) == 0;
    const int writeErrno = errno;
    file.reset();
    if (!written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
        error = "cannot write '" + path_ + "': " + std::strerror(written ? errno : writeErrno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
