// SPDX-License-Identifier: GPL-3.0-or-later
// Mojo: the value tree that every structured message to or from a receiver is
// made of, and its self-delimiting byte encoding.
//
// A tree is a chain of nodes. Dictionaries and lists hold their first child
// in `value` and the children are linked through `next`; a dictionary's
// children are pair nodes whose record holds the entry's name and value node.
// A node made by mojo_create_* is a heap allocation of its own; the nodes of
// a decoded message share one block (see MojoStorage.h). Either way a node
// owns its text, record and children, mojo_delete on the root frees the whole
// tree, and trees may mix both kinds of node.
// Plain functions, integer results (0 or a byte count, -1 for failure), no
// exceptions, no global state.
#pragma once

#include <cstddef>
#include <cstdint>

// Node kinds, stored in `mojo_node::type` as the character code of the letter.
enum : int32_t {
    MOJO_BLANK = 0,
    MOJO_DICTIONARY = '[',
    MOJO_LIST = '{',
    MOJO_PAIR = 'p',
    MOJO_STRING = 's',
    MOJO_INTEGER = 'i',
    MOJO_CHARACTER = 'c',
    MOJO_NULL = 'n',
};

// Containers nested deeper than this are refused by the encoder and the
// decoder, so that a hostile datagram cannot exhaust the stack.
constexpr int MOJO_MAX_DEPTH = 64;

struct mojo_node {
    int32_t type;   // kind letter, 0 for a blank node
    intptr_t value; // integer, character byte, owned text, first child or pair record
    mojo_node* next; // next sibling in the parent's chain
};

struct mojo_pair_value {
    char* name;       // owned, NUL-terminated
    mojo_node* value; // owned
};

// Construction. Each returns a zero-filled heap node that the caller owns.
mojo_node* mojo_create();
mojo_node* mojo_create_with_type(int32_t kind);
mojo_node* mojo_create_string(const char* text);
// Integer and character items for the receiver's replies and for tests.
mojo_node* mojo_create_int(int32_t number);
mojo_node* mojo_create_char(uint8_t byte);
// Takes ownership of `value`; copies `name`.
mojo_pair_value* mojo_create_pair_value(const char* name, mojo_node* value);
// Takes ownership of `record`.
mojo_node* mojo_create_pair(mojo_pair_value* record);
// Appends `pair` (whose `next` must be null) to the dictionary's chain and
// takes ownership of it. -1, nothing changed, when `dictionary` is not a `[`.
// A dictionary made by mojo_create_* or decoded into one remembers the entry
// appended last, so that building one in order takes one step per entry. Its
// chain may grow by hand behind that entry; a dictionary whose chain was cut
// or replaced by hand must not be inserted into.
int mojo_dic_insert(mojo_node* dictionary, mojo_node* pair);

// Queries. Returned pointers are borrowed from the tree.
mojo_node* mojo_dic_get_value(const mojo_node* dictionary, const char* name);
int mojo_get_int(const mojo_node* node, int32_t* out);
const char* mojo_get_string(const mojo_node* node);

// Frees the node and everything it owns; never follows the node's own `next`.
void mojo_delete(mojo_node* node);

// Writes the item for `node` at `buffer` and returns its byte count (0 for a
// blank or unknown node). Never writes past `capacity`: a tree that does not
// fit, a text longer than 65535 bytes or nesting beyond MOJO_MAX_DEPTH gives -1.
int mojo_encode(const mojo_node* node, uint8_t* buffer, int capacity);

// Fills the blank `node` (made by mojo_create) with the one item that starts
// at `bytes` and returns the bytes it took, or -1 when the input is not a
// valid item within `length` bytes, or `node` was itself decoded. A text holding a NUL byte is not valid: it could not be held whole.
// Whatever was built before a failure stays attached to `node`; the caller
// frees `node` in either case. Takes time linear in the input.
int mojo_decode(mojo_node* node, const uint8_t* bytes, int length);
