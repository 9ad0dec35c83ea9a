// SPDX-License-Identifier: GPL-3.0-or-later
// Human-readable notices for the operator, on standard error. Standard output
// belongs to the sink's record.
//
// Notices are limited overall: a burst of 100, then 20 a second; those over
// the limit are counted and the count is reported once notices flow again.
// Notices about connections coming and going have a smaller share of their
// own (5 a second), so that a flood of connections cannot use up the limit
// and hide the notices that matter. Writing never waits for the reader of
// standard error (see OutputChannel).
#pragma once

#include "common/OutputChannel.h"

#include <chrono>
#include <optional>
#include <string>

void notice(const std::string& text);
// A client connected, went away or was turned away.
void connectionNotice(const std::string& text);

// The channel the notices go through, for the receiver's loop to flush.
OutputChannel& noticeOutput();
// Reports the notices held back by the limit, when it lets a line through
// again; the loop calls it as time passes. When some are waiting to be
// reported, how long until it is worth calling again.
std::optional<std::chrono::milliseconds> reportSuppressedNotices();
