#include "core/array.h"

#include <cstdint>
#include <cstdlib>

void* arrayAllocateBlock(u32 capacity, u32 elementSize) {
    u64 bytes = u64(capacity) * u64(elementSize);
    if (bytes > u64(SIZE_MAX) - ARRAY_BLOCK_ALIGNMENT)
        fatalErrorf("growable array of %u x %u bytes does not fit in memory", capacity, elementSize);
    // aligned_alloc wants a whole number of alignment units, and an empty block must still be
    // a real one so that in-use arrays always own a block.
    bytes = (bytes + ARRAY_BLOCK_ALIGNMENT - 1) / ARRAY_BLOCK_ALIGNMENT * ARRAY_BLOCK_ALIGNMENT;
    if (bytes == 0) bytes = ARRAY_BLOCK_ALIGNMENT;
    void* block = std::aligned_alloc(ARRAY_BLOCK_ALIGNMENT, size_t(bytes));
    if (!block) fatalErrorf("out of memory growing an array to %u x %u bytes", capacity, elementSize);
    return block;
}

void arrayFreeBlock(void* block) { std::free(block); }

u32 arrayGrownCapacity(u32 capacity) {
    // An array set up empty would otherwise never grow past 0.
    if (capacity == 0) return 2;
    if (capacity > UINT32_MAX / 2) fatalErrorf("growable array cannot double its capacity of %u", capacity);
    return capacity * 2;
}
