// SPDX-License-Identifier: GPL-3.0-or-later
#include "Notice.h"

#include <cstdio>

void notice(const std::string& text)
{
    std::fprintf(stderr, "quillon-receiver: %s\n", text.c_str());
    std::fflush(stderr);
}
