// SPDX-License-Identifier: GPL-3.0-or-later
// Where the nodes of a value tree live; the codec's own business, not part of
// its interface.
//
// A node made by mojo_create_* is a heap allocation of its own, as are its
// text and pair record. A decoded tree's nodes, names, texts and records are
// cut from one block per decoded message instead: a 4 KB datagram holds up to
// 4,094 items, and a heap allocation and release for each of them was most of
// the time a decode took. Each block node counts against its block, which
// goes back to the heap when the last of them is deleted, so the ownership
// rules stay those of separate nodes: a tree may mix both kinds in any way
// (an entry made by hand inserted into a decoded dictionary, a decoded value
// moved into a tree built by hand), and mojo_delete on any node frees exactly
// what that node owns.
//
// Hidden in front of every node is a word that names its block (null for a
// node of its own); a node of its own also keeps, in front of that, the last
// entry appended to it while it is a dictionary.
#pragma once

#include "Mojo.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// Under AddressSanitizer the unused room of a block, and each block node once
// deleted, are marked unreadable, so that a stray read or a use after
// mojo_delete is caught as it would be with nodes of their own.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MOJO_STORAGE_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define MOJO_STORAGE_ASAN 1
#endif
#ifdef MOJO_STORAGE_ASAN
#include <sanitizer/asan_interface.h>
#define MOJO_POISON(address, size) ASAN_POISON_MEMORY_REGION(reinterpret_cast<void*>(address), size)
#define MOJO_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(reinterpret_cast<void*>(address), size)
#else
#define MOJO_POISON(address, size) ((void)(address), (void)(size))
#define MOJO_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace mojo_storage {

struct Chunk;

// A decoded message's block: the header of its first chunk.
struct Block {
    std::size_t holds; // live nodes cut from it, and one while its cutter cuts
    Chunk* chunks;     // newest first; the oldest holds this header
};

// Hidden in front of every node.
struct Tag {
    Block* block; // null for a node of its own
};

// Nodes of their own, zero-filled; their texts and records.
mojo_node* newNode();
char* newText(const char* text, std::size_t length); // NUL-terminated copy
mojo_pair_value* newRecord();
void freeText(char* text);
void freeRecord(mojo_pair_value* record);

// The block a node was cut from, or null for a node of its own.
inline Block* blockOf(const mojo_node* node)
{
    return reinterpret_cast<const Tag*>(reinterpret_cast<uintptr_t>(node) - sizeof(Tag))->block;
}

// The last entry appended to a dictionary of its own (a hint that may be
// null; the chain may have grown by hand behind it); null for a block node.
mojo_node** lastEntryOf(mojo_node* node);

void freeOwnNode(mojo_node* node);
void freeBlock(Block* block);

// Frees a node's own storage once what it owns is freed: a node of its own
// goes back to the heap, a block node counts off its block, which goes back
// to the heap with the last of them.
inline void releaseNode(mojo_node* node)
{
    Block* block = blockOf(node);
    if (!block) {
        freeOwnNode(node);
        return;
    }
    MOJO_POISON(reinterpret_cast<uintptr_t>(node) - sizeof(Tag), sizeof(Tag) + sizeof(mojo_node));
    if (--block->holds == 0)
        freeBlock(block);
}

// Cuts the nodes, texts and records of one decoded message from a block,
// made at the first node asked for. The block lives while any of its nodes
// does, and while this cutter does.
class BlockCutter {
public:
    // `inputLength`: the size of the message, to size the block's first chunk.
    explicit BlockCutter(std::size_t inputLength)
        : inputLength_(inputLength)
    {
    }
    ~BlockCutter()
    {
        if (block_ && --block_->holds == 0)
            freeBlock(block_);
    }
    BlockCutter(const BlockCutter&) = delete;
    BlockCutter& operator=(const BlockCutter&) = delete;

    mojo_node* node()
    {
        auto* tag = static_cast<Tag*>(take(sizeof(Tag) + sizeof(mojo_node), alignof(mojo_node)));
        tag->block = block_;
        ++block_->holds;
        auto* node = reinterpret_cast<mojo_node*>(tag + 1);
        *node = mojo_node{};
        return node;
    }

    // A pair node and its record, cut together.
    mojo_node* pair(mojo_pair_value** record)
    {
        auto* tag = static_cast<Tag*>(
            take(sizeof(Tag) + sizeof(mojo_node) + sizeof(mojo_pair_value), alignof(mojo_node)));
        tag->block = block_;
        ++block_->holds;
        auto* node = reinterpret_cast<mojo_node*>(tag + 1);
        *record = reinterpret_cast<mojo_pair_value*>(node + 1);
        **record = mojo_pair_value{};
        *node = mojo_node{MOJO_PAIR, reinterpret_cast<intptr_t>(*record), nullptr};
        return node;
    }

    char* text(const uint8_t* bytes, std::size_t length)
    {
        char* copy = static_cast<char*>(take(length + 1, 1));
        if (length != 0)
            std::memcpy(copy, bytes, length);
        copy[length] = '\0';
        return copy;
    }

private:
    // `alignment` is a power of two.
    void* take(std::size_t size, std::size_t alignment)
    {
        const uintptr_t taken = (room_ + alignment - 1) & ~uintptr_t(alignment - 1);
        if (taken < room_ || taken > end_ || end_ - taken < size)
            return takeFromNewChunk(size, alignment);
        room_ = taken + size;
        MOJO_UNPOISON(taken, size);
        return reinterpret_cast<void*>(taken);
    }
    void* takeFromNewChunk(std::size_t size, std::size_t alignment);

    std::size_t inputLength_;
    Block* block_ = nullptr;
    // The free bytes of the newest chunk: [room_, end_).
    uintptr_t room_ = 0;
    uintptr_t end_ = 0;
    std::size_t nextChunkSize_ = 0;
};

} // namespace mojo_storage
