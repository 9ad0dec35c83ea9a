// SPDX-License-Identifier: GPL-3.0-or-later
// The addresses that logged in, kept between runs so that a restarted
// receiver still knows its owner's phone (its places and its share of
// discovery's replies): a private file in the receiver's state folder, one
// dotted IPv4 address a line, oldest login first. Whatever the file holds
// is read with suspicion: a file that is not this user's alone, too large,
// or with lines that are no address is ignored, entirely or line by line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// $XDG_STATE_HOME/quillon/logged-in-addresses (by default under
// ~/.local/state); empty when neither variable is set.
std::string knownAddressesFile();

// The addresses in `path` (network byte order), oldest first, at most the
// `most` newest of them, each once. Nothing when there is no file; when the
// file is refused or holds lines that are not addresses, `problem` says so.
std::vector<uint32_t> readKnownAddresses(const std::string& path, std::size_t most, std::string& problem);

// Replaces `path` with `addresses` (oldest first), making its folder (0700)
// when missing; the file is 0600 and written whole or not at all.
bool writeKnownAddresses(const std::string& path, const std::vector<uint32_t>& addresses, std::string& error);
