// SPDX-License-Identifier: GPL-3.0-or-later
// Human-readable notices for the operator, on standard error. Standard output
// belongs to the sink's record.
#pragma once

#include <string>

void notice(const std::string& text);
