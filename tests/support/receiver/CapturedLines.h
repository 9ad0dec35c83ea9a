// SPDX-License-Identifier: GPL-3.0-or-later
// The lines a sink or a channel writes, kept in memory for a test to read.
#pragma once

#include "common/OutputChannel.h"

#include <string>
#include <vector>

class CapturedLines : public LineOutput {
public:
    void writeLine(const std::string& line) override { lines_.push_back(line); }
    const std::vector<std::string>& lines() const { return lines_; }
    // Every line followed by a line feed, as they would stand in a file.
    std::string text() const
    {
        std::string all;
        for (const std::string& line : lines_)
            all += line + "\n";
        return all;
    }

private:
    std::vector<std::string> lines_;
};
