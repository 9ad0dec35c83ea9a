// SPDX-License-Identifier: GPL-3.0-or-later
// A row of a sectioned table.
#pragma once

#include <QHashFunctions>

namespace platform {

struct IndexPath {
    int section = 0;
    int row = 0;

    static IndexPath indexPathForRow(int row, int section) { return IndexPath{section, row}; }

    friend bool operator==(const IndexPath& a, const IndexPath& b) { return a.section == b.section && a.row == b.row; }
    friend bool operator!=(const IndexPath& a, const IndexPath& b) { return !(a == b); }
    friend bool operator<(const IndexPath& a, const IndexPath& b)
    {
        return a.section != b.section ? a.section < b.section : a.row < b.row;
    }
};

} // namespace platform
