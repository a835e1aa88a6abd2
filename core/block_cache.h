// Heap blocks that the world makes and drops by the thousand a second (entity nodes, atoms,
// processors, their lists and parameter tables) are recycled per thread instead of going back to
// the C runtime: a dropped block of a small size waits in its size's list for the next request of
// that size. Every block is 64-byte aligned, so one size serves records aligned to cache lines and
// plain ones alike.
#pragma once

#include <cstddef>
#include <new>

constexpr size_t BLOCK_CACHE_ALIGNMENT = 64;

// A block of at least `bytes` (0 counts as 1), or null when memory runs out.
void* takeBlock(size_t bytes);
// Gives back a block from takeBlock with the same byte count. Null is ignored.
void giveBackBlock(void* block, size_t bytes);
// Frees the calling thread's waiting blocks. A thread's blocks are freed when it ends as well.
void releaseCachedBlocks();
// How many blocks wait in the calling thread's lists.
size_t cachedBlockCount();
// False under the sanitizers, which must see every block come and go: nothing waits then.
bool blockCacheKeepsBlocks();

// Records made and dropped often take their storage from the cache by deriving from this; a
// polymorphic record with a virtual destructor gives back its whole size when deleted. Running out
// of memory is fatal for the plain form and null for the nothrow form.
struct SCachedBlockStorage {
    static void* operator new(std::size_t bytes);
    static void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept;
    static void operator delete(void* block, std::size_t bytes) noexcept;
};
