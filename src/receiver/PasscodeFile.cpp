#include "PasscodeFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <utility>

namespace {

// Far more than a phone can send in its login frame.
constexpr std::size_t kMaxFileSize = 4096;

} // namespace

bool readPasscodeFile(const std::string& path, std::string& passcode, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read the passcode file '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::string contents;
    contents.resize(kMaxFileSize + 1);
    file.read(contents.data(), static_cast<std::streamsize>(contents.size()));
    contents.resize(static_cast<std::size_t>(file.gcount()));
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
