#include "core/array.h"

#include "core/owner_blocks.h"

#include <cstdint>

void* arrayAllocateBlock(u32 capacity, u32 elementSize, u32 alignment) {
    u64 bytes = u64(capacity) * u64(elementSize);
    if (bytes > u64(SIZE_MAX) - alignment)
        fatalErrorf("growable array of %u x %u bytes does not fit in memory", capacity, elementSize);
    // An empty block is still a real one, so that in-use arrays always own a block.
    return allocateBlock(size_t(bytes), alignment);
}

void arrayFreeBlock(void* block) { freeBlock(block); }

u32 arrayGrownCapacity(u32 capacity) {
    // An array set up empty would otherwise never grow past 0.
    if (capacity == 0) return 2;
    if (capacity > UINT32_MAX / 2) fatalErrorf("growable array cannot double its capacity of %u", capacity);
    return capacity * 2;
}
