// SPDX-License-Identifier: GPL-3.0-or-later
// MojoTree: one owning handle for a value tree, so that every early return
// frees the tree it built or decoded.
#pragma once

#include "Mojo.h"

#include <memory>

struct MojoTreeDeleter {
    void operator()(mojo_node* node) const { mojo_delete(node); }
};

using MojoTree = std::unique_ptr<mojo_node, MojoTreeDeleter>;
