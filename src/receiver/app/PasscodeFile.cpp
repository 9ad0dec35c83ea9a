// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PasscodeFile.h"

#include "common/PrivateFiles.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <utility>

namespace {

// Far more than a phone can send in its login frame.
constexpr std::size_t kMaxFileSize = 4096;

} // namespace

std::string defaultPasscodeFile()
{
    const char* home = std::getenv("HOME");
    return home && home[0] == '/' ? std::string(home) + "/.config/quillon/passcode" : std::string();
}

bool readPasscodeFile(const std::string& path, std::string& passcode, std::string& error)
{
    std::string contents;
    if (!readPrivateFile(path, "the passcode file", kMaxFileSize, contents, error)) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 && errno == ENOENT)
            error += "; make one with: quillon-receiver --new-passcode"
                     + (path == defaultPasscodeFile() ? std::string() : " --passcode-file '" + path + "'");
        return false;
    }
    std::string text = contents.substr(0, contents.find('\n'));
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
