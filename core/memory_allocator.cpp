#include "core/memory_allocator.h"

#include "core/fatal_error.h"

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

// Written into every live block's header; a release that does not find it was handed a pointer
// this allocator never gave out, or one already released.
constexpr u32 ALLOCATOR_MAGIC = 0x58585858;
constexpr size_t ALLOCATOR_MIN_ALIGNMENT = 16;

bool g_bAllocatorReady = false;

bool isPowerOfTwo(u64 value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

struct alignas(16) ClGenericMemoryAllocator::SBlockHeader {
    SBlockHeader* prev;
    SBlockHeader* next;
    void* raw;  // what malloc returned, for free
    size_t size;
    u32 magic;
};

ClGenericMemoryAllocator::~ClGenericMemoryAllocator() { destroyBlocks(); }

void* ClGenericMemoryAllocator::allocate(size_t size) { return allocateAligned(size, ALLOCATOR_MIN_ALIGNMENT); }

void* ClGenericMemoryAllocator::allocateAligned(size_t size, size_t alignment) {
    if (!m_pBase || !isPowerOfTwo(alignment)) return nullptr;
    if (alignment < ALLOCATOR_MIN_ALIGNMENT) alignment = ALLOCATOR_MIN_ALIGNMENT;
    if (size > m_uCapacity - m_uBytesInUse) return nullptr;
    // Room for the header in front and for moving the block up to its alignment.
    const size_t overhead = sizeof(SBlockHeader) + alignment - 1;
    if (size > SIZE_MAX - overhead) return nullptr;
    void* raw = std::malloc(size + overhead);
    if (!raw) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw) + sizeof(SBlockHeader);
    const uintptr_t user = (start + alignment - 1) & ~uintptr_t(alignment - 1);
    auto* header = reinterpret_cast<SBlockHeader*>(user - sizeof(SBlockHeader));
    *header = SBlockHeader{nullptr, m_pFirstBlock, raw, size, ALLOCATOR_MAGIC};
    if (m_pFirstBlock) m_pFirstBlock->prev = header;
    m_pFirstBlock = header;
    m_uBytesInUse += size;
    ++m_uChunksInUse;
    return reinterpret_cast<void*>(user);
}

void ClGenericMemoryAllocator::release(void* block) {
    if (!block) return;
    auto* header = reinterpret_cast<SBlockHeader*>(static_cast<u8*>(block) - sizeof(SBlockHeader));
    if (header->magic != ALLOCATOR_MAGIC) fatalError("heap release of a block that is not live");
    header->magic = 0;
    if (header->prev) header->prev->next = header->next;
    else m_pFirstBlock = header->next;
    if (header->next) header->next->prev = header->prev;
    m_uBytesInUse -= header->size;
    --m_uChunksInUse;
    std::free(header->raw);
}

bool ClGenericMemoryAllocator::hasLiveBlocks() const { return m_uChunksInUse != 0; }

bool ClGenericMemoryAllocator::init(void* base, size_t capacity) {
    allocatorPageSize();
    destroyBlocks();
    if (!base || capacity == 0) return true;
    m_pBase = base;
    m_uCapacity = capacity;
    return true;
}

void ClGenericMemoryAllocator::unsupported() { fatalError("unsupported heap operation"); }

void ClGenericMemoryAllocator::destroy() { destroyBlocks(); }

void ClGenericMemoryAllocator::destroyBlocks() {
    while (m_pFirstBlock) {
        SBlockHeader* header = m_pFirstBlock;
        m_pFirstBlock = header->next;
        header->magic = 0;
        std::free(header->raw);
    }
    m_pBase = nullptr;
    m_uCapacity = 0;
    m_uBytesInUse = 0;
    m_uChunksInUse = 0;
}

SMemoryAllocatorStats ClGenericMemoryAllocator::getStats(bool) const {
    const u64 freeBytes = m_uCapacity - m_uBytesInUse;
    return SMemoryAllocatorStats{freeBytes, m_uBytesInUse, freeBytes, m_uChunksInUse, freeBytes ? 1u : 0u};
}

void* ClGenericMemoryAllocator::checkPointer(void* block) const { return block; }

void ClGenericMemoryAllocator::getStatsInto(SMemoryAllocatorStats* out) const {
    if (out) *out = getStats(false);
}

void* ClGenericMemoryAllocator::getHeap() const { return m_pBase; }

u32 allocatorPageSize() {
    static const u32 pageSize = [] {
        const long size = sysconf(_SC_PAGESIZE);
        if (size <= 0 || size > long(UINT32_MAX) || !isPowerOfTwo(u64(size)))
            fatalErrorf("page size %ld is not a power of two", size);
        return u32(size);
    }();
    return pageSize;
}

void setAllocatorReady() { g_bAllocatorReady = true; }
