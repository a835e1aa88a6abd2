#include "core/owner_blocks.h"

#include "core/fatal_error.h"
#include "core/prefetch.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define OWNER_BLOCKS_IN_REGIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OWNER_BLOCKS_IN_REGIONS 0
#endif
#endif
#ifndef OWNER_BLOCKS_IN_REGIONS
#define OWNER_BLOCKS_IN_REGIONS 1
#endif

namespace {

constexpr size_t kPageBytes = 4096;

// Only the thread with the owner open writes `carved`; `live` is counted down wherever a block
// is freed.
struct SOwnerRegion {
    u32 carved = 0;
    std::atomic<u32> live{0};
};

std::atomic<u8*> g_rangeStart{nullptr};
u8* g_rangeEnd = nullptr;
u32 g_ownerCount = 0;
u32 g_bytesEach = 0;
SOwnerRegion* g_regions = nullptr;
thread_local s32 g_openOwner = -1;
thread_local ClOwnerFreeBatch::SState g_freeBatch;

void* allocateFromLibrary(size_t bytes, size_t alignment) {
    // aligned_alloc wants a whole number of alignment units; an empty block is still a real one.
    size_t rounded = (bytes + alignment - 1) & ~(alignment - 1);
    if (rounded < bytes) fatalErrorf("a block of %zu bytes does not fit in memory", bytes);
    if (rounded == 0) rounded = alignment;
    void* block = std::aligned_alloc(alignment, rounded);
    if (!block) fatalErrorf("out of memory for a block of %zu bytes", bytes);
    return block;
}

}  // namespace

bool reserveOwnerBlocks(u32 owners, u32 bytesEach) {
    if (!OWNER_BLOCKS_IN_REGIONS) return false;
    if (g_rangeStart.load(std::memory_order_acquire)) return true;
    if (owners == 0 || bytesEach == 0 || bytesEach % 64 != 0) return false;
    const size_t rangeBytes = size_t(owners) * bytesEach;
    void* range = mmap(nullptr, rangeBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                       -1, 0);
    if (range == MAP_FAILED) return false;
    // Neighbouring owners share large pages where the system gives them, which keeps the walks
    // over many small owners from missing the address cache.
    madvise(range, rangeBytes, MADV_HUGEPAGE);
    g_regions = new SOwnerRegion[owners];
    g_ownerCount = owners;
    g_bytesEach = bytesEach;
    g_rangeEnd = static_cast<u8*>(range) + rangeBytes;
    g_rangeStart.store(static_cast<u8*>(range), std::memory_order_release);
    return true;
}

bool ownerBlocksReserved() { return g_rangeStart.load(std::memory_order_acquire) != nullptr; }

void* allocateBlock(size_t bytes, size_t alignment) {
    if (alignment == 0 || (alignment & (alignment - 1)) != 0 || alignment > kPageBytes)
        fatalErrorf("a block cannot be aligned to %zu bytes", alignment);
    const s32 owner = g_openOwner;
    if (owner >= 0) {
        SOwnerRegion& region = g_regions[owner];
        const uintptr_t regionStart = uintptr_t(g_rangeStart.load(std::memory_order_relaxed)) + size_t(owner) * g_bytesEach;
        const uintptr_t at = (regionStart + region.carved + alignment - 1) & ~uintptr_t(alignment - 1);
        const size_t start = size_t(at - regionStart);
        if (bytes <= g_bytesEach && start <= g_bytesEach - bytes) {
            region.carved = u32(start + bytes);
            region.live.fetch_add(1, std::memory_order_relaxed);
            return reinterpret_cast<void*>(at);
        }
    }
    return allocateFromLibrary(bytes, alignment);
}

s32 ownerOfBlock(const void* block) {
    const u8* start = g_rangeStart.load(std::memory_order_acquire);
    const u8* at = static_cast<const u8*>(block);
    if (!start || at < start || at >= g_rangeEnd) return -1;
    return s32(size_t(at - start) / g_bytesEach);
}

void prefetchBlockOwner(const void* block) {
    const s32 owner = ownerOfBlock(block);
    if (owner >= 0) prefetchLine(&g_regions[owner]);
}

void freeBlock(void* block) {
    if (!block) return;
    // With no batch open the span is empty and no block falls in it.
    ClOwnerFreeBatch::SState& batch = g_freeBatch;
    if (uintptr_t(block) - batch.regionStart < batch.regionBytes) {
        ++batch.freed;
        return;
    }
    const s32 owner = ownerOfBlock(block);
    if (owner < 0) {
        std::free(block);
        return;
    }
    std::atomic<u32>& live = g_regions[owner].live;
    if (live.fetch_sub(1, std::memory_order_acq_rel) == 0) {
        live.fetch_add(1, std::memory_order_relaxed);
        fatalErrorf("a block of owner %d was freed more often than it was allocated", owner);
    }
}

ClOwnerBlocksScope::ClOwnerBlocksScope(u32 owner) : enclosing(g_openOwner) {
    if (!ownerBlocksReserved() || owner >= g_ownerCount) {
        g_openOwner = -1;
        return;
    }
    // Carved again from the start only once nothing carved earlier is still in use.
    SOwnerRegion& region = g_regions[owner];
    if (region.live.load(std::memory_order_acquire) == 0) region.carved = 0;
    g_openOwner = s32(owner);
}

ClOwnerBlocksScope::~ClOwnerBlocksScope() { g_openOwner = enclosing; }

ClOwnerFreeBatch::ClOwnerFreeBatch(u32 owner) : enclosing(g_freeBatch) {
    g_freeBatch = SState{};
    if (!ownerBlocksReserved() || owner >= g_ownerCount) return;
    g_freeBatch.regionStart = uintptr_t(g_rangeStart.load(std::memory_order_acquire)) + size_t(owner) * g_bytesEach;
    g_freeBatch.regionBytes = g_bytesEach;
    g_freeBatch.owner = s32(owner);
}

// Block by block the count would have stopped at 0 on the first block too many: it is left at 0.
ClOwnerFreeBatch::~ClOwnerFreeBatch() noexcept(false) {
    const SState closing = g_freeBatch;
    g_freeBatch = enclosing;
    if (closing.freed == 0) return;
    std::atomic<u32>& live = g_regions[closing.owner].live;
    const u32 before = live.fetch_sub(closing.freed, std::memory_order_acq_rel);
    if (before < closing.freed) {
        live.fetch_add(closing.freed - before, std::memory_order_relaxed);
        fatalErrorf("a block of owner %d was freed more often than it was allocated", closing.owner);
    }
}
