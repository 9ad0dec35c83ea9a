// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PasscodeFile.h"

#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Far more than a phone can send in its login frame.
constexpr std::size_t kMaxFileSize = 4096;

} // namespace

bool readPasscodeFile(const std::string& path, std::string& passcode, std::string& error)
{
    // Without blocking: opening a FIFO would otherwise wait for a writer for ever.
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0) {
        error = "cannot read the passcode file '" + path + "': " + std::strerror(errno);
        return false;
    }
    // Checked on the opened file itself, so that it cannot be swapped between
    // the check and the read.
    if (!S_ISREG(status.st_mode)) {
        error = "the passcode file '" + path + "' is not a regular file";
        return false;
    }
    // A passcode that another user wrote, or that others can read or change,
    // is not a secret of this user's.
    if (status.st_uid != ::geteuid()) {
        error = "the passcode file '" + path + "' belongs to another user; it must be this user's own";
        return false;
    }
    if (status.st_mode & (S_IRWXG | S_IRWXO)) {
        error = "the passcode file '" + path
                + "' may be read or changed by other users; make it private with: chmod 600 '" + path + "'";
        return false;
    }

    std::string contents(kMaxFileSize + 1, '\0');
    std::size_t filled = 0;
    while (filled < contents.size()) {
        const ssize_t got = ::read(file.get(), contents.data() + filled, contents.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = "cannot read the passcode file '" + path + "': " + std::strerror(errno);
            return false;
        }
        if (got == 0)
            break;
        filled += std::size_t(got);
    }
    contents.resize(filled);
    if (contents.size() > kMaxFileSize) {
        error = "the passcode file '" + path + "' is too large";
        return false;
    }

    const std::string line = contents.substr(0, contents.find('\n'));
    std::string text = line;
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    if (text.find('\0') != std::string::npos) {
        error = "the passcode file '" + path + "' holds a NUL byte";
        return false;
    }
    if (text.empty()) {
        error = "the passcode file '" + path + "' holds no passcode";
        return false;
    }
    passcode = std::move(text);
    return true;
}
