#include "core/block_cache.h"

#include "core/fatal_error.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Sizes are rounded up to whole cache lines; sizes above the largest class go straight to the
// C runtime. Each class keeps a bounded number of blocks, so a burst of drops does not hold on
// to memory for ever.
constexpr size_t CLASS_BYTES = BLOCK_CACHE_ALIGNMENT;
constexpr size_t CLASS_COUNT = 32;  // up to 2 KB
constexpr size_t MAX_BLOCKS_PER_CLASS = 4096;

// The sanitizers must see every block come and go, so under them nothing is kept.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool CACHE_ENABLED = false;
#else
constexpr bool CACHE_ENABLED = true;
#endif

struct SWaitingBlock {
    SWaitingBlock* next;
};

// Plain data, so that reaching it costs no first-use check; the owner below frees what waits
// when the thread ends.
struct SThreadLists {
    SWaitingBlock* heads[CLASS_COUNT];
    size_t counts[CLASS_COUNT];
    bool ownerArmed;
};

thread_local SThreadLists g_lists = {};

void freeWaiting(SThreadLists& lists) {
    for (size_t i = 0; i < CLASS_COUNT; ++i) {
        while (SWaitingBlock* block = lists.heads[i]) {
            lists.heads[i] = block->next;
            std::free(block);
        }
        lists.counts[i] = 0;
    }
}

struct SThreadListsOwner {
    bool armed = false;
    ~SThreadListsOwner() { freeWaiting(g_lists); }
};

thread_local SThreadListsOwner g_listsOwner;

size_t roundedBytes(size_t bytes) {
    if (bytes == 0) bytes = 1;
    return (bytes + CLASS_BYTES - 1) / CLASS_BYTES * CLASS_BYTES;
}

// The class of a rounded size, or CLASS_COUNT for a size the lists do not keep.
size_t classOf(size_t rounded) {
    const size_t index = rounded / CLASS_BYTES - 1;
    return index < CLASS_COUNT ? index : CLASS_COUNT;
}

}  // namespace

void* takeBlock(size_t bytes) {
    if (bytes > SIZE_MAX - CLASS_BYTES) return nullptr;
    const size_t rounded = roundedBytes(bytes);
    const size_t index = classOf(rounded);
    if (CACHE_ENABLED && index < CLASS_COUNT) {
        SThreadLists& lists = g_lists;
        if (SWaitingBlock* block = lists.heads[index]) {
            lists.heads[index] = block->next;
            --lists.counts[index];
            return block;
        }
    }
    return std::aligned_alloc(BLOCK_CACHE_ALIGNMENT, rounded);
}

void giveBackBlock(void* block, size_t bytes) {
    if (!block) return;
    const size_t index = classOf(roundedBytes(bytes));
    if (CACHE_ENABLED && index < CLASS_COUNT) {
        SThreadLists& lists = g_lists;
        if (lists.counts[index] < MAX_BLOCKS_PER_CLASS) {
            if (!lists.ownerArmed) {
                // The owner's first use registers its end-of-thread release.
                g_listsOwner.armed = true;
                lists.ownerArmed = true;
            }
            SWaitingBlock* waiting = static_cast<SWaitingBlock*>(block);
            waiting->next = lists.heads[index];
            lists.heads[index] = waiting;
            ++lists.counts[index];
            return;
        }
    }
    std::free(block);
}

void releaseCachedBlocks() { freeWaiting(g_lists); }

bool blockCacheKeepsBlocks() { return CACHE_ENABLED; }

size_t cachedBlockCount() {
    size_t total = 0;
    for (size_t count : g_lists.counts) total += count;
    return total;
}

void* SCachedBlockStorage::operator new(std::size_t bytes) {
    void* block = takeBlock(bytes);
    if (!block) fatalErrorf("out of memory for a record of %zu bytes", bytes);
    return block;
}

void* SCachedBlockStorage::operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return takeBlock(bytes); }

void SCachedBlockStorage::operator delete(void* block, std::size_t bytes) noexcept { giveBackBlock(block, bytes); }
