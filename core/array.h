// The growable array that carries most of the game's variable-length lists.
#pragma once

#include "core/fatal_error.h"
#include "core/types.h"

#include <cstring>
#include <type_traits>

constexpr u32 ARRAY_INITIAL_CAPACITY = 8;
constexpr u32 ARRAY_BLOCK_ALIGNMENT = 16;
// The most an element type may ask for: a cache line.
constexpr u32 ARRAY_MAX_ELEMENT_ALIGNMENT = 64;

// A block of capacity x elementSize bytes, 16-byte aligned or, when asked, on the larger power of
// two; failure (or a size that does not fit the address space) stops the program.
void* arrayAllocateBlock(u32 capacity, u32 elementSize, u32 alignment = ARRAY_BLOCK_ALIGNMENT);
void arrayFreeBlock(void* block);
// The doubled capacity; a capacity that cannot double any more stops the program.
u32 arrayGrownCapacity(u32 capacity);

// Contiguous elements copied bytewise: the array never runs constructors or destructors of its
// elements, and the array itself is a plain record that owners set up with init and give back
// with release (it may sit inside other elements).
//
// An append that finds count + 1 equal to the capacity doubles the block first, so one slot
// always stays free: the eighth append to a new array of capacity 8 already moves it to 16.
// Moving the block invalidates every element pointer a caller holds, except `cursor` and `last`,
// which the array re-bases itself; keep indices, not pointers, across appends.
template <typename T>
class ClArray {
    static_assert(std::is_trivially_copyable_v<T>, "ClArray elements are copied bytewise");
    static_assert(alignof(T) <= ARRAY_MAX_ELEMENT_ALIGNMENT, "ClArray elements align to at most a cache line");
    // 16 bytes, or the element's own alignment when it asks for more.
    static constexpr u32 kBlockAlignment = alignof(T) > ARRAY_BLOCK_ALIGNMENT ? u32(alignof(T)) : ARRAY_BLOCK_ALIGNMENT;

public:
    // What a walk over the elements reads, first, so that it shares one cache line with the
    // fields of the record before the array.
    T* data = nullptr;
    u32 count = 0;
    u32 capacity = 0;
    u32 inUse = 0;
    u32 initialCapacity = 0;
    T* last = nullptr;
    // An element the owner keeps across appends: the first element appended while it is null,
    // and moved to the same index when the block moves.
    T* cursor = nullptr;
    u32 elementSize = 0;

    // An array that was in use gives its old block back first.
    void init(u32 firstCapacity = ARRAY_INITIAL_CAPACITY) {
        release();
        data = static_cast<T*>(arrayAllocateBlock(firstCapacity, sizeof(T), kBlockAlignment));
        capacity = firstCapacity;
        initialCapacity = firstCapacity;
        elementSize = sizeof(T);
        inUse = 1;
    }

    // Appends a copy of the element and returns the new count. The element may live in this
    // array's own block.
    u32 push(const T& element) {
        if (!inUse) fatalError("ClArray::push on an array that was not set up");
        T* target;
        if (count + 1 >= capacity) {
            const u32 grownCapacity = arrayGrownCapacity(capacity);
            T* grown = static_cast<T*>(arrayAllocateBlock(grownCapacity, sizeof(T), kBlockAlignment));
            if (count != 0) std::memcpy(static_cast<void*>(grown), data, size_t(count) * sizeof(T));
            cursor = cursor ? grown + (cursor - data) : grown;
            // Copied before the old block goes, in case the element lived there.
            target = grown + count;
            std::memcpy(static_cast<void*>(target), &element, sizeof(T));
            arrayFreeBlock(data);
            data = grown;
            capacity = grownCapacity;
        } else {
            target = data + count;
            std::memmove(static_cast<void*>(target), &element, sizeof(T));
        }
        if (!cursor) cursor = target;
        last = target;
        return ++count;
    }

    // Closes the gap, keeping the order; `cursor` keeps its index.
    void removeAt(u32 index) {
        if (index >= count) fatalErrorf("ClArray::removeAt index %u of %u", index, count);
        std::memmove(static_cast<void*>(data + index), data + index + 1, size_t(count - index - 1) * sizeof(T));
        --count;
        last = count ? data + count - 1 : nullptr;
    }

    // Frees the block; every field becomes 0. Nothing happens when the array is not in use.
    void release() {
        if (!inUse) return;
        arrayFreeBlock(data);
        *this = ClArray();
    }

    // No bounds check: callers keep i below count.
    T& operator[](u32 i) { return data[i]; }
    const T& operator[](u32 i) const { return data[i]; }
    T* begin() { return data; }
    T* end() { return data + count; }
    const T* begin() const { return data; }
    const T* end() const { return data + count; }
};

// 16-bit elements: typed characters and mesh edges.
using ClArrayU16 = ClArray<u16>;
