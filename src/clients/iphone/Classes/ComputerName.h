// SPDX-License-Identifier: GPL-3.0-or-later
// A computer's name as the app shows and keys it. Names arrive from
// discovery replies that anyone on the network can forge, and from a
// settings file that may have been edited by hand: control characters,
// direction overrides and invisible characters there would let one name
// pose as another in the list, or reorder the text around it. The cleaned
// name is what every screen shows and what saved passcodes and the secure
// session's pins are keyed by.
#pragma once

#include <QString>

// The longest name kept, in characters (code points); the rest is cut.
constexpr int kComputerNameMaxLength = 64;

// `name` without control characters (C0, DEL, C1), format characters (the
// direction marks, embeddings, overrides and isolates U+200E-U+200F,
// U+202A-U+202E, U+2066-U+2069, the zero-width characters U+200B-U+200D,
// U+2060 and U+FEFF among them), line and paragraph separators and lone
// surrogates, cut to kComputerNameMaxLength characters without splitting
// one. A name that is plain text comes back unchanged.
QString cleanComputerName(const QString& name);
