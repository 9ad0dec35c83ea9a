// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TemporaryDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TemporaryDirectory::TemporaryDirectory()
{
    std::string pattern = "/tmp/quillon-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}
