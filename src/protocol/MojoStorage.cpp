// SPDX-License-Identifier: GPL-3.0-or-later
#include "MojoStorage.h"

#include <algorithm>
#include <new>

namespace mojo_storage {

// One heap allocation of a block; the first also holds the block's header.
struct Chunk {
    Chunk* next; // the chunk made before this one
};

namespace {

// A block takes about this many bytes for each byte of its message: a null
// item is one byte and one node.
constexpr std::size_t kBytesPerInputByte = 16;
constexpr std::size_t kSmallestChunk = 512;
// Larger chunks would be mapped and unmapped by the C library on every
// decode; a message that needs more gets more chunks.
constexpr std::size_t kLargestChunk = 64 * 1024;

struct OwnNode {
    mojo_node* lastEntry;
    Tag tag;
    mojo_node node;
};

static_assert(offsetof(OwnNode, node) == offsetof(OwnNode, tag) + sizeof(Tag), "the tag sits right before the node");
static_assert(alignof(mojo_node) >= alignof(Tag) && sizeof(Tag) % alignof(mojo_node) == 0,
              "a block node's tag keeps the node aligned");

OwnNode* ownNodeOf(mojo_node* node)
{
    return reinterpret_cast<OwnNode*>(reinterpret_cast<uintptr_t>(node) - offsetof(OwnNode, node));
}

// Allocation failure is not handled in the codec: null comes back, as from
// calloc before.
void* allocate(std::size_t size)
{
    return ::operator new(size, std::nothrow);
}

void deallocate(void* memory)
{
    ::operator delete(memory);
}

} // namespace

mojo_node* newNode()
{
    auto* own = static_cast<OwnNode*>(allocate(sizeof(OwnNode)));
    std::memset(own, 0, sizeof *own);
    return &own->node;
}

char* newText(const char* text, std::size_t length)
{
    char* copy = static_cast<char*>(allocate(length + 1));
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

mojo_pair_value* newRecord()
{
    auto* record = static_cast<mojo_pair_value*>(allocate(sizeof(mojo_pair_value)));
    std::memset(record, 0, sizeof *record);
    return record;
}

void freeText(char* text)
{
    deallocate(text);
}

void freeRecord(mojo_pair_value* record)
{
    deallocate(record);
}

mojo_node** lastEntryOf(mojo_node* node)
{
    return blockOf(node) ? nullptr : &ownNodeOf(node)->lastEntry;
}

void freeOwnNode(mojo_node* node)
{
    deallocate(ownNodeOf(node));
}

void freeBlock(Block* block)
{
    Chunk* chunk = block->chunks;
    while (chunk) {
        Chunk* older = chunk->next;
        deallocate(chunk); // the oldest, freed last, holds `block`
        chunk = older;
    }
}

void* BlockCutter::takeFromNewChunk(std::size_t size, std::size_t alignment)
{
    std::size_t chunkSize = std::max(nextChunkSize_, sizeof(Chunk) + size + alignment);
    if (!block_) {
        const std::size_t header = sizeof(Chunk) + sizeof(Block);
        const std::size_t wanted = std::min(inputLength_, kLargestChunk) * kBytesPerInputByte + header;
        chunkSize = std::max({std::min(wanted, kLargestChunk), kSmallestChunk, header + size + alignment});
        nextChunkSize_ = chunkSize;
    }
    nextChunkSize_ = std::min(nextChunkSize_ * 2, kLargestChunk);
    auto* chunk = static_cast<Chunk*>(allocate(chunkSize));
    room_ = reinterpret_cast<uintptr_t>(chunk + 1);
    if (!block_) {
        block_ = reinterpret_cast<Block*>(chunk + 1);
        block_->holds = 1;
        block_->chunks = nullptr;
        room_ = reinterpret_cast<uintptr_t>(block_ + 1);
    }
    chunk->next = block_->chunks;
    block_->chunks = chunk;
    end_ = reinterpret_cast<uintptr_t>(chunk) + chunkSize;
    MOJO_POISON(room_, end_ - room_);
    return take(size, alignment);
}

} // namespace mojo_storage
