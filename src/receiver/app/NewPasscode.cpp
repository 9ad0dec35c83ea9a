// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/NewPasscode.h"

#include "common/PrivateFiles.h"

#include <cerrno>
#include <sodium.h>
#include <sys/stat.h>

std::string makeNewPasscode()
{
    if (sodium_init() < 0)
        return {};
    std::string passcode;
    for (std::size_t i = 0; i < kNewPasscodeDigits; ++i)
        passcode += char('0' + randombytes_uniform(10));
    return passcode;
}

bool writeNewPasscodeFile(const std::string& path, const std::string& passcode, bool replace, std::string& error)
{
    struct stat status {};
    if (!replace && ::lstat(path.c_str(), &status) == 0) {
        error = "the passcode file '" + path
                + "' exists already and is kept; --force replaces it with a new passcode (the phone then needs the "
                  "new one)";
        return false;
    }
    const std::string folder = parentDirectory(path);
    if (!makePrivateDirectories(folder, error) || !isPrivateDirectory(folder, error))
        return false;
    return replace ? replacePrivateFile(path, passcode + "\n", error)
                   : createPrivateFile(path, passcode + "\n", error);
}
