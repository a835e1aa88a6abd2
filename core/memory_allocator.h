// An allocator interface for heaps with their own budget. The game itself allocates with the C
// runtime; nothing goes through these heaps yet.
#pragma once

#include "core/types.h"

#include <cstddef>

struct SMemoryAllocatorStats {
    u64 freeBytes;
    u64 bytesInUse;
    u64 largestFreeChunk;
    u64 chunksInUse;
    u64 freeChunks;
};

class ClMemoryAllocatorInterface {
public:
    virtual ~ClMemoryAllocatorInterface() = default;
    virtual void* allocate(size_t size) = 0;
    virtual void* allocateAligned(size_t size, size_t alignment) = 0;
    virtual void release(void* block) = 0;
    virtual bool hasLiveBlocks() const = 0;
    virtual bool init(void* base, size_t capacity) = 0;
    [[noreturn]] virtual void unsupported() = 0;
    virtual void destroy() = 0;
    // The print flag is accepted for callers that ask for a report; no report is written.
    virtual SMemoryAllocatorStats getStats(bool print) const = 0;
    virtual void* checkPointer(void* block) const = 0;
    virtual void getStatsInto(SMemoryAllocatorStats* out) const = 0;
    virtual void* getHeap() const = 0;
};

// A heap of `capacity` bytes whose blocks come from the system allocator rather than from the
// caller's memory: allocations beyond the budget fail with null, as a heap carved from that
// memory would, and the statistics count against the budget as if it were one free region.
// Blocks are at least 16-byte aligned. destroy (and the destructor) frees every block still live.
// No locking: one thread owns a heap.
class ClGenericMemoryAllocator : public ClMemoryAllocatorInterface {
public:
    ClGenericMemoryAllocator() = default;
    ClGenericMemoryAllocator(const ClGenericMemoryAllocator&) = delete;
    ClGenericMemoryAllocator& operator=(const ClGenericMemoryAllocator&) = delete;
    ~ClGenericMemoryAllocator() override;

    // Null when there is no heap, the budget is spent, or the alignment is not a power of two.
    void* allocate(size_t size) override;
    void* allocateAligned(size_t size, size_t alignment) override;
    // Null is ignored; a block this allocator did not hand out stops the program.
    void release(void* block) override;
    bool hasLiveBlocks() const override;
    // Replaces any earlier heap. A null base or a zero capacity leaves no heap. Returns true.
    bool init(void* base, size_t capacity) override;
    [[noreturn]] void unsupported() override;
    void destroy() override;
    SMemoryAllocatorStats getStats(bool print) const override;
    void* checkPointer(void* block) const override;
    void getStatsInto(SMemoryAllocatorStats* out) const override;
    void* getHeap() const override;

private:
    struct SBlockHeader;
    void destroyBlocks();

    void* m_pBase = nullptr;
    size_t m_uCapacity = 0;
    size_t m_uBytesInUse = 0;
    u64 m_uChunksInUse = 0;
    SBlockHeader* m_pFirstBlock = nullptr;
};

// The system's page size, read once; a value that is not a power of two stops the program.
u32 allocatorPageSize();

// Marks the allocator layer ready, once, early in start-up. Nothing depends on the mark yet.
void setAllocatorReady();
