// SPDX-License-Identifier: GPL-3.0-or-later
#include "Mojo.h"

#include "MojoStorage.h"

#include <cstring>

namespace {

// Wire markers that are not node kinds.
constexpr uint8_t MARK_LONG_STRING = 'S';
constexpr uint8_t MARK_DICTIONARY_END = ']';
constexpr uint8_t MARK_LIST_END = '}';

constexpr size_t SHORT_STRING_MAX = 255;
constexpr size_t LONG_STRING_MAX = 65535;

using mojo_storage::BlockCutter;

mojo_node* first_child(const mojo_node* node)
{
    return reinterpret_cast<mojo_node*>(node->value);
}

// Appends `child` behind `tail`, the container's last child so far (null
// while it is empty), and returns the new tail. Decoding keeps the tail as it
// goes, so a container of n items costs n steps instead of a walk of the
// whole chain for each one: a 4 KB datagram of nulls would otherwise take
// milliseconds.
mojo_node* append_after(mojo_node* container, mojo_node* tail, mojo_node* child)
{
    if (tail)
        tail->next = child;
    else
        container->value = reinterpret_cast<intptr_t>(child);
    return child;
}

uint32_t read_le(const uint8_t* bytes, int count)
{
    uint32_t number = 0;
    for (int i = count - 1; i >= 0; --i)
        number = (number << 8) | bytes[i];
    return number;
}

// Writes into the caller's buffer and remembers whether anything did not fit,
// so that the encoders stay straight-line and the bound is checked in one place.
class Writer {
public:
    Writer(uint8_t* buffer, int capacity) : buffer_(buffer), capacity_(capacity) {}

    void byte(uint8_t value) { bytes(&value, 1); }

    void le(uint32_t value, int count)
    {
        uint8_t encoded[4];
        for (int i = 0; i < count; ++i)
            encoded[i] = static_cast<uint8_t>(value >> (8 * i));
        bytes(encoded, count);
    }

    void bytes(const void* data, size_t count)
    {
        if (count == 0)
            return;
        if (failed_ || count > static_cast<size_t>(capacity_ - written_)) {
            failed_ = true;
            return;
        }
        std::memcpy(buffer_ + written_, data, count);
        written_ += static_cast<int>(count);
    }

    void fail() { failed_ = true; }
    int result() const { return failed_ ? -1 : written_; }

private:
    uint8_t* buffer_;
    int capacity_;
    int written_ = 0;
    bool failed_ = false;
};

void encode_text(Writer& out, const char* text)
{
    const size_t length = std::strlen(text);
    if (length <= SHORT_STRING_MAX) {
        out.byte(MOJO_STRING);
        out.le(static_cast<uint32_t>(length), 1);
    } else if (length <= LONG_STRING_MAX) {
        out.byte(MARK_LONG_STRING);
        out.le(static_cast<uint32_t>(length), 2);
    } else {
        out.fail();
        return;
    }
    out.bytes(text, length);
}

void encode_node(Writer& out, const mojo_node* node, int depth);

void encode_children(Writer& out, const mojo_node* container, uint8_t open, uint8_t close, int depth)
{
    if (depth >= MOJO_MAX_DEPTH) {
        out.fail();
        return;
    }
    out.byte(open);
    for (const mojo_node* child = first_child(container); child; child = child->next)
        encode_node(out, child, depth + 1);
    out.byte(close);
}

void encode_node(Writer& out, const mojo_node* node, int depth)
{
    switch (node->type) {
    case MOJO_STRING:
        encode_text(out, reinterpret_cast<const char*>(node->value));
        break;
    case MOJO_INTEGER:
        out.byte(MOJO_INTEGER);
        out.le(static_cast<uint32_t>(node->value), 4);
        break;
    case MOJO_CHARACTER:
        out.byte(MOJO_CHARACTER);
        out.byte(static_cast<uint8_t>(node->value));
        break;
    case MOJO_NULL:
        out.byte(MOJO_NULL);
        break;
    case MOJO_DICTIONARY:
        encode_children(out, node, MOJO_DICTIONARY, MARK_DICTIONARY_END, depth);
        break;
    case MOJO_LIST:
        encode_children(out, node, MOJO_LIST, MARK_LIST_END, depth);
        break;
    case MOJO_PAIR: {
        const auto* record = reinterpret_cast<const mojo_pair_value*>(node->value);
        encode_text(out, record->name);
        encode_node(out, record->value, depth);
        break;
    }
    default:
        break; // blank and unknown kinds write nothing
    }
}

int decode_item(BlockCutter& cut, mojo_node* node, const uint8_t* bytes, int length, int depth);
int decode_container(BlockCutter& cut, mojo_node* node, const uint8_t* bytes, int length, int depth);

// Decodes the items of a list or dictionary up to its closing marker;
// `bytes` points just past the opening marker.
int decode_list_items(BlockCutter& cut, mojo_node* list, const uint8_t* bytes, int length, int depth)
{
    int position = 0;
    mojo_node* tail = nullptr;
    while (position < length && bytes[position] != MARK_LIST_END) {
        mojo_node* child = cut.node();
        const int used = decode_item(cut, child, bytes + position, length - position, depth);
        if (used < 0) {
            mojo_delete(child);
            return -1;
        }
        tail = append_after(list, tail, child);
        position += used;
    }
    return position < length ? position + 1 : -1;
}

// Finds the text of the string item at `bytes` (marker `s` or `S`); the
// bytes the item takes, or -1.
int read_text(const uint8_t* bytes, int length, const uint8_t** text, size_t* textLength)
{
    if (length < 1)
        return -1;
    const int lengthBytes = bytes[0] == MOJO_STRING ? 1 : bytes[0] == MARK_LONG_STRING ? 2 : 0;
    if (lengthBytes == 0 || length < 1 + lengthBytes)
        return -1;
    const uint32_t count = read_le(bytes + 1, lengthBytes);
    const int header = 1 + lengthBytes;
    if (count > static_cast<uint32_t>(length - header))
        return -1;
    // A text is held NUL-terminated: one with a NUL inside would be cut
    // short, and a passcode "123456\0more" would read as "123456".
    if (count != 0 && std::memchr(bytes + header, '\0', count))
        return -1;
    *text = bytes + header;
    *textLength = count;
    return header + static_cast<int>(count);
}

int decode_dictionary_entries(BlockCutter& cut, mojo_node* dictionary, const uint8_t* bytes, int length, int depth)
{
    int position = 0;
    mojo_node* tail = nullptr;
    bool failed = false;
    while (position < length && bytes[position] != MARK_DICTIONARY_END) {
        // An entry without a text name cannot be kept.
        const uint8_t* name = nullptr;
        size_t nameLength = 0;
        const int keyUsed = read_text(bytes + position, length - position, &name, &nameLength);
        if (keyUsed < 0) {
            failed = true;
            break;
        }
        position += keyUsed;
        mojo_node* value = cut.node();
        const int valueUsed = decode_item(cut, value, bytes + position, length - position, depth);
        if (valueUsed < 0) {
            mojo_delete(value);
            failed = true;
            break;
        }
        position += valueUsed;
        mojo_pair_value* record = nullptr;
        mojo_node* pair = cut.pair(&record);
        record->name = cut.text(name, nameLength);
        record->value = value;
        tail = append_after(dictionary, tail, pair);
    }
    // A decoded dictionary that the caller goes on filling appends behind
    // its last entry at once.
    if (mojo_node** lastEntry = mojo_storage::lastEntryOf(dictionary))
        *lastEntry = tail;
    return !failed && position < length ? position + 1 : -1;
}

[[gnu::noinline]] int decode_string(BlockCutter& cut, mojo_node* node, const uint8_t* bytes, int length)
{
    const uint8_t* text = nullptr;
    size_t textLength = 0;
    const int used = read_text(bytes, length, &text, &textLength);
    if (used < 0)
        return -1;
    node->type = MOJO_STRING;
    // The text goes where its node lives: the caller's root is a node of its own.
    node->value = reinterpret_cast<intptr_t>(
        mojo_storage::blockOf(node) ? cut.text(text, textLength)
                                    : mojo_storage::newText(reinterpret_cast<const char*>(text), textLength));
    return used;
}

// Strings, lists and dictionaries are kept out of decode_item, so that the
// items most often decoded, nulls and numbers, cost a small function.
[[gnu::noinline]] int decode_container(BlockCutter& cut, mojo_node* node, const uint8_t* bytes, int length, int depth)
{
    if (depth >= MOJO_MAX_DEPTH)
        return -1;
    node->type = bytes[0];
    const int used = node->type == MOJO_LIST ? decode_list_items(cut, node, bytes + 1, length - 1, depth + 1)
                                             : decode_dictionary_entries(cut, node, bytes + 1, length - 1, depth + 1);
    return used < 0 ? -1 : 1 + used;
}

int decode_item(BlockCutter& cut, mojo_node* node, const uint8_t* bytes, int length, int depth)
{
    if (length < 1)
        return -1;
    switch (bytes[0]) {
    case MOJO_STRING:
    case MARK_LONG_STRING:
        return decode_string(cut, node, bytes, length);
    case MOJO_INTEGER:
        if (length < 5)
            return -1;
        node->type = MOJO_INTEGER;
        node->value = static_cast<int32_t>(read_le(bytes + 1, 4));
        return 5;
    case MOJO_CHARACTER:
        if (length < 2)
            return -1;
        node->type = MOJO_CHARACTER;
        node->value = bytes[1];
        return 2;
    case MOJO_NULL:
        node->type = MOJO_NULL;
        return 1;
    case MOJO_LIST:
    case MOJO_DICTIONARY:
        return decode_container(cut, node, bytes, length, depth);
    default:
        return -1;
    }
}

} // namespace

mojo_node* mojo_create()
{
    return mojo_storage::newNode();
}

mojo_node* mojo_create_with_type(int32_t kind)
{
    mojo_node* node = mojo_storage::newNode();
    node->type = kind;
    return node;
}

mojo_node* mojo_create_string(const char* text)
{
    mojo_node* node = mojo_create_with_type(MOJO_STRING);
    node->value = reinterpret_cast<intptr_t>(mojo_storage::newText(text, std::strlen(text)));
    return node;
}

mojo_node* mojo_create_int(int32_t number)
{
    mojo_node* node = mojo_create_with_type(MOJO_INTEGER);
    node->value = number;
    return node;
}

mojo_node* mojo_create_char(uint8_t byte)
{
    mojo_node* node = mojo_create_with_type(MOJO_CHARACTER);
    node->value = byte;
    return node;
}

mojo_pair_value* mojo_create_pair_value(const char* name, mojo_node* value)
{
    mojo_pair_value* record = mojo_storage::newRecord();
    record->name = mojo_storage::newText(name, std::strlen(name));
    record->value = value;
    return record;
}

mojo_node* mojo_create_pair(mojo_pair_value* record)
{
    mojo_node* node = mojo_create_with_type(MOJO_PAIR);
    node->value = reinterpret_cast<intptr_t>(record);
    return node;
}

int mojo_dic_insert(mojo_node* dictionary, mojo_node* pair)
{
    if (!dictionary || dictionary->type != MOJO_DICTIONARY)
        return -1;
    // The walk starts at the entry appended last, where there is one: a
    // dictionary built in order costs one step per entry, not a walk of all
    // of them. Whatever was linked in by hand behind it is still walked.
    mojo_node** lastEntry = mojo_storage::lastEntryOf(dictionary);
    if (!dictionary->value) {
        dictionary->value = reinterpret_cast<intptr_t>(pair);
    } else {
        mojo_node* last = lastEntry && *lastEntry ? *lastEntry : first_child(dictionary);
        while (last->next)
            last = last->next;
        last->next = pair;
    }
    if (lastEntry)
        *lastEntry = pair;
    return 0;
}

mojo_node* mojo_dic_get_value(const mojo_node* dictionary, const char* name)
{
    if (!dictionary || dictionary->type != MOJO_DICTIONARY)
        return nullptr;
    for (const mojo_node* child = first_child(dictionary); child && child->type == MOJO_PAIR; child = child->next) {
        const auto* record = reinterpret_cast<const mojo_pair_value*>(child->value);
        if (std::strcmp(record->name, name) == 0)
            return record->value;
    }
    return nullptr;
}

int mojo_get_int(const mojo_node* node, int32_t* out)
{
    if (!node || node->type != MOJO_INTEGER)
        return -1;
    *out = static_cast<int32_t>(node->value);
    return 0;
}

const char* mojo_get_string(const mojo_node* node)
{
    if (!node || node->type != MOJO_STRING)
        return nullptr;
    return reinterpret_cast<const char*>(node->value);
}

namespace {

// Frees a decoded node that owns nothing (no children, no text, no record of
// its own) without the whole of mojo_delete: most nodes of a decoded message
// are such leaves, or entries whose value is one, and a 4 KB message holds
// thousands of them. False for any other node.
bool is_decoded_leaf(const mojo_node* node)
{
    return node && node->type != MOJO_DICTIONARY && node->type != MOJO_LIST && node->type != MOJO_PAIR
           && mojo_storage::blockOf(node);
}

bool release_decoded_leaf(mojo_node* node)
{
    if (node->type == MOJO_PAIR) {
        auto* record = reinterpret_cast<mojo_pair_value*>(node->value);
        if (!mojo_storage::blockOf(node) || !record || !is_decoded_leaf(record->value))
            return false;
        mojo_storage::releaseNode(record->value);
    } else if (!is_decoded_leaf(node)) {
        return false;
    }
    mojo_storage::releaseNode(node);
    return true;
}

} // namespace

void mojo_delete(mojo_node* node)
{
    if (!node)
        return;
    // The text, name and record of a decoded node are part of its block;
    // those of a node of its own are freed with it.
    const bool ownParts = mojo_storage::blockOf(node) == nullptr;
    switch (node->type) {
    case MOJO_DICTIONARY:
    case MOJO_LIST: {
        mojo_node* child = first_child(node);
        while (child) {
            mojo_node* next = child->next;
            if (!release_decoded_leaf(child))
                mojo_delete(child);
            child = next;
        }
        break;
    }
    case MOJO_PAIR: {
        auto* record = reinterpret_cast<mojo_pair_value*>(node->value);
        if (record) {
            mojo_delete(record->value);
            if (ownParts) {
                mojo_storage::freeText(record->name);
                mojo_storage::freeRecord(record);
            }
        }
        break;
    }
    case MOJO_STRING:
        if (ownParts)
            mojo_storage::freeText(reinterpret_cast<char*>(node->value));
        break;
    default:
        break;
    }
    mojo_storage::releaseNode(node);
}

int mojo_encode(const mojo_node* node, uint8_t* buffer, int capacity)
{
    if (!node || capacity < 0)
        return -1;
    Writer out(buffer, capacity);
    encode_node(out, node, 0);
    return out.result();
}

int mojo_decode(mojo_node* node, const uint8_t* bytes, int length)
{
    // Only a node of its own is filled: a decoded node's parts belong to its
    // own block, not to the block of this message.
    if (!node || !bytes || length < 0 || mojo_storage::blockOf(node))
        return -1;
    BlockCutter cut(static_cast<size_t>(length));
    return decode_item(cut, node, bytes, length, 0);
}
