// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/PrivateFiles.h"

#include "UniqueFd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string quoted(const std::string& path)
{
    return "'" + path + "'";
}

bool writeWhole(int fd, const std::string& contents)
{
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t written = ::write(fd, contents.data() + done, contents.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += std::size_t(written);
    }
    return true;
}

} // namespace

std::string receiverStateDirectory()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    // XDG base directories must be absolute; a relative one is ignored.
    if (state && state[0] == '/')
        return std::string(state) + "/quillon";
    if (home && home[0] == '/')
        return std::string(home) + "/.local/state/quillon";
    return {};
}

std::string parentDirectory(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool makePrivateDirectories(const std::string& directory, std::string& error)
{
    struct stat status {};
    if (::stat(directory.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return true;
        error = quoted(directory) + " is not a folder";
        return false;
    }
    const std::string parent = parentDirectory(directory);
    if (parent != directory && !makePrivateDirectories(parent, error))
        return false;
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot make the folder " + quoted(directory) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool isPrivateDirectory(const std::string& directory, std::string& error)
{
    struct stat status {};
    if (::stat(directory.c_str(), &status) != 0) {
        error = "cannot use the folder " + quoted(directory) + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        error = quoted(directory) + " is not a folder";
        return false;
    }
    // Whoever may write in the folder may swap the file in it for another.
    if (status.st_uid != ::geteuid()) {
        error = "the folder " + quoted(directory) + " belongs to another user";
        return false;
    }
    if (status.st_mode & (S_IWGRP | S_IWOTH)) {
        error = "the folder " + quoted(directory) + " may be changed by other users; make it private with: chmod 700 "
                + quoted(directory);
        return false;
    }
    return true;
}

bool readPrivateFile(const std::string& path, const std::string& what, std::size_t maxSize, std::string& contents,
                     std::string& error)
{
    // Not through a link, which another user may have pointed at a file of
    // ours; and without waiting, which a FIFO would do for ever.
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
    if (!file.valid() && errno == ELOOP) {
        error = what + " " + quoted(path) + " is a symbolic link; give the file itself";
        return false;
    }
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0) {
        error = "cannot read " + what + " " + quoted(path) + ": " + std::strerror(errno);
        return false;
    }
    // Checked on the opened file itself, so that it cannot be swapped between
    // the check and the read.
    if (!S_ISREG(status.st_mode)) {
        error = what + " " + quoted(path) + " is not a regular file";
        return false;
    }
    if (status.st_uid != ::geteuid()) {
        error = what + " " + quoted(path) + " belongs to another user; it must be this user's own";
        return false;
    }
    if (status.st_mode & (S_IRWXG | S_IRWXO)) {
        error = what + " " + quoted(path) + " may be read or changed by other users; make it private with: chmod 600 "
                + quoted(path);
        return false;
    }

    std::string text(maxSize + 1, '\0');
    std::size_t filled = 0;
    while (filled < text.size()) {
        const ssize_t got = ::read(file.get(), text.data() + filled, text.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = "cannot read " + what + " " + quoted(path) + ": " + std::strerror(errno);
            return false;
        }
        if (got == 0)
            break;
        filled += std::size_t(got);
    }
    if (filled > maxSize) {
        error = what + " " + quoted(path) + " is too large";
        return false;
    }
    text.resize(filled);
    contents = std::move(text);
    return true;
}

bool replacePrivateFile(const std::string& path, const std::string& contents, std::string& error)
{
    std::string temporary = path + ".XXXXXX";
    UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.valid()) {
        error = "cannot write in " + quoted(parentDirectory(path)) + ": " + std::strerror(errno);
        return false;
    }
    const bool written = ::fchmod(file.get(), 0600) == 0 && writeWhole(file.get(), contents) && ::fsync(file.get()) == 0;
    const int writeErrno = errno;
    file.reset();
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + quoted(path) + ": " + std::strerror(written ? errno : writeErrno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool createPrivateFile(const std::string& path, const std::string& contents, std::string& error)
{
    UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600));
    if (!file.valid()) {
        error = "cannot make " + quoted(path) + ": " + std::strerror(errno);
        return false;
    }
    // The mode asked for is cut by the umask; the file is made exactly private.
    if (::fchmod(file.get(), 0600) != 0 || !writeWhole(file.get(), contents) || ::fsync(file.get()) != 0) {
        error = "cannot write " + quoted(path) + ": " + std::strerror(errno);
        file.reset();
        ::unlink(path.c_str());
        return false;
    }
    return true;
}
