#include "core/crit_section_pool.h"

#include "core/fatal_error.h"
#include "platform/os/os.h"

#include <atomic>
#include <cstdio>
#include <new>

// The section is built and destroyed in place on create and destroy, so a record holds raw
// storage; it comes first so that the record's address is the section's address.
struct SCritSection {
    alignas(ClCriticalSection) u8 sectionStorage[sizeof(ClCriticalSection)];
    u32 slotIndex;

    ClCriticalSection* section() { return std::launder(reinterpret_cast<ClCriticalSection*>(sectionStorage)); }
};

namespace {

// inUse[0 .. usedCount-1] are the records handed out; for every record r, inUse[r.slotIndex] == r.
// Everything here is plain storage, zero before any constructor runs, so locks may be created
// during static initialisation.
struct CritSectionPool {
    SCritSection records[CRIT_SECTION_POOL_CAPACITY];
    SCritSection* inUse[CRIT_SECTION_POOL_CAPACITY];
    u32 usedCount;
    u32 capacity;
    alignas(ClCriticalSection) u8 guardStorage[sizeof(ClCriticalSection)];

    // Guards only the pointer array and the counts; sections are built and deleted outside it.
    ClCriticalSection* guard() { return std::launder(reinterpret_cast<ClCriticalSection*>(guardStorage)); }
};

CritSectionPool g_CritSectionPool;
std::atomic<bool> g_bCritSectionPoolReady{false};

bool isLockInUse(const SCritSection* lock) {
    const CritSectionPool& pool = g_CritSectionPool;
    return lock->slotIndex < pool.usedCount && pool.inUse[lock->slotIndex] == lock;
}

// Moves the last record in use into the freed record's position, so that the records in use
// stay packed at the front.
void returnSlot(SCritSection* lock) {
    CritSectionPool& pool = g_CritSectionPool;
    --pool.usedCount;
    const u32 freedSlot = lock->slotIndex;
    const u32 lastSlot = pool.usedCount;
    if (freedSlot == lastSlot) return;
    SCritSection* last = pool.inUse[lastSlot];
    pool.inUse[freedSlot] = last;
    last->slotIndex = freedSlot;
    pool.inUse[lastSlot] = lock;
    lock->slotIndex = lastSlot;
}

}  // namespace

s32 critSectionPoolInit() {
    if (g_bCritSectionPoolReady.load(std::memory_order_acquire)) return 1;
    CritSectionPool& pool = g_CritSectionPool;
    for (u32 i = 0; i < CRIT_SECTION_POOL_CAPACITY; ++i) {
        pool.inUse[i] = &pool.records[i];
        pool.records[i].slotIndex = i;
    }
    pool.usedCount = 0;
    pool.capacity = CRIT_SECTION_POOL_CAPACITY;
    new (pool.guardStorage) ClCriticalSection();
    g_bCritSectionPoolReady.store(true, std::memory_order_release);
    return 1;
}

s32 critSectionCreate(SCritSection** outLock) {
    if (!g_bCritSectionPoolReady.load(std::memory_order_acquire)) critSectionPoolInit();
    CritSectionPool& pool = g_CritSectionPool;

    pool.guard()->enter();
    if (pool.usedCount >= pool.capacity) {
        pool.guard()->leave();
        std::fprintf(stderr, "velodrix: all %u pooled locks are in use; a lock could not be created\n",
                     CRIT_SECTION_POOL_CAPACITY);
        return 0;
    }
    SCritSection* lock = pool.inUse[pool.usedCount++];
    pool.guard()->leave();

    new (lock->sectionStorage) ClCriticalSection();
    *outLock = lock;
    return 1;
}

SCritSection* critSectionCreateOrDie(const char* ownerName) {
    SCritSection* lock = nullptr;
    if (!critSectionCreate(&lock)) fatalErrorf("no pooled lock left for %s", ownerName ? ownerName : "(unnamed)");
    return lock;
}

void critSectionDestroy(SCritSection* lock) {
    if (!lock) return;
    // After the pool's shutdown every section is already deleted; owners destroyed later
    // (during exit) find nothing to do.
    if (!g_bCritSectionPoolReady.load(std::memory_order_acquire)) return;
    CritSectionPool& pool = g_CritSectionPool;

    pool.guard()->enter();
    const bool inUse = isLockInUse(lock);
    pool.guard()->leave();
    if (!inUse) fatalError("critSectionDestroy of a lock that is not in use");

    lock->section()->~ClCriticalSection();

    pool.guard()->enter();
    returnSlot(lock);
    pool.guard()->leave();
}

void critSectionEnter(SCritSection* lock) {
    if (lock) lock->section()->enter();
}

void critSectionLeave(SCritSection* lock) {
    if (lock) lock->section()->leave();
}

s32 critSectionTryEnter(SCritSection* lock) {
    if (!lock) return 0;
    return lock->section()->tryEnter() ? 1 : 0;
}

s32 critSectionPoolShutdown() {
    if (!g_bCritSectionPoolReady.load(std::memory_order_acquire)) return 0;
    CritSectionPool& pool = g_CritSectionPool;

    pool.guard()->enter();
    for (u32 i = 0; i < pool.usedCount; ++i) pool.inUse[i]->section()->~ClCriticalSection();
    pool.usedCount = 0;
    g_bCritSectionPoolReady.store(false, std::memory_order_release);
    pool.guard()->leave();
    pool.guard()->~ClCriticalSection();
    return 0;
}

u32 critSectionPoolUseCount() {
    if (!g_bCritSectionPoolReady.load(std::memory_order_acquire)) return 0;
    CritSectionPool& pool = g_CritSectionPool;
    pool.guard()->enter();
    const u32 used = pool.usedCount;
    pool.guard()->leave();
    return used;
}
