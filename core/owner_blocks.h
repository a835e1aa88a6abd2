// Blocks kept together by owner. An owner (an entity record, say) has a fixed region of one
// reserved address range; while the owner is open on a thread, the blocks that thread allocates
// are carved one after another from the owner's region, so that everything the owner is built
// from sits in a few neighbouring pages and is walked without scattered cache misses. A block
// that does not fit, or that is allocated with no owner open, comes from the C library.
//
// A freed block inside a region only counts its region down; the region is carved again from
// its start the next time its owner is opened with no block of it still live. A block keeps
// its memory however many times it is freed elsewhere, so a block moved to another owner (a
// grafted subtree) stays valid for as long as it lives.
//
// Under the address sanitizer there are no regions: every block comes from the C library, where
// the sanitizer checks each one.
#pragma once

#include "core/types.h"

#include <cstddef>
#include <cstdint>
#include <new>

// Reserves `owners` regions of `bytesEach` bytes (a multiple of 64) once for the process; later
// calls change nothing. Address space only: pages are taken as blocks first touch them. False
// when the range cannot be reserved (every block then comes from the C library). A size that is
// not a multiple of a large power of two lets the owners' first blocks, which are walked most,
// fall in every set of the caches rather than in a few.
bool reserveOwnerBlocks(u32 owners, u32 bytesEach);
// True when reserveOwnerBlocks succeeded (never under the address sanitizer).
bool ownerBlocksReserved();

// A block of at least `bytes` bytes aligned to `alignment` (a power of two up to 4096); out of
// memory stops the program.
void* allocateBlock(size_t bytes, size_t alignment);
// Gives back a block from allocateBlock; null is ignored.
void freeBlock(void* block);
// The owner whose region holds the block, or -1 when the C library gave it.
s32 ownerOfBlock(const void* block);
// A cache hint for the count of live blocks that freeing the block changes; nothing for a block
// the C library gave.
void prefetchBlockOwner(const void* block);

// Opens an owner on this thread for the scope's life; scopes nest, and the enclosing owner is
// open again when an inner scope ends. An owner past the reserved count opens nothing.
class ClOwnerBlocksScope {
public:
    explicit ClOwnerBlocksScope(u32 owner);
    ~ClOwnerBlocksScope();
    ClOwnerBlocksScope(const ClOwnerBlocksScope&) = delete;
    ClOwnerBlocksScope& operator=(const ClOwnerBlocksScope&) = delete;

private:
    s32 enclosing;
};

// While a batch is open on this thread, a freed block of its owner's region adds to the batch's
// count instead of taking its own atomic step down; the count comes off the region's live blocks
// once, when the batch closes, with the same check against freeing more than was allocated. For
// releasing a whole tree of one owner's blocks. Blocks of other regions and of the C library are
// freed as ever, and batches nest. Until the batch closes, the region still counts the
// blocks it freed as live. An owner past the reserved count opens a batch that counts nothing.
class ClOwnerFreeBatch {
public:
    explicit ClOwnerFreeBatch(u32 owner);
    // Freeing more blocks than the region holds is fatal here.
    ~ClOwnerFreeBatch() noexcept(false);
    ClOwnerFreeBatch(const ClOwnerFreeBatch&) = delete;
    ClOwnerFreeBatch& operator=(const ClOwnerFreeBatch&) = delete;

    struct SState {
        uintptr_t regionStart = 0;
        size_t regionBytes = 0;  // 0: no batch open
        u32 freed = 0;
        s32 owner = -1;
    };

private:
    SState enclosing;
};

// A base that gives a class's new and delete to allocateBlock and freeBlock, so that objects
// built while an owner is open sit beside the rest of the owner's blocks. Objects of default
// alignment are made with new (std::nothrow), whose null the caller checks.
struct SOwnerBlockObject {
    static void* operator new(size_t bytes, std::align_val_t alignment) {
        return allocateBlock(bytes, size_t(alignment));
    }
    static void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
        return allocateBlock(bytes, __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    }
    static void* operator new(size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
        return allocateBlock(bytes, size_t(alignment));
    }
    static void* operator new(size_t, void* place) noexcept { return place; }
    static void operator delete(void* block) noexcept { freeBlock(block); }
    static void operator delete(void* block, std::align_val_t) noexcept { freeBlock(block); }
};
