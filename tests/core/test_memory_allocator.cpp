// The budgeted heap behind the allocator interface.
#include "core/memory_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

alignas(16) u8 g_heapMemory[256];

TEST(MemoryAllocator, AllocationsStayWithinTheBudgetAndAreCounted) {
    std::unique_ptr<ClMemoryAllocatorInterface> heap = std::make_unique<ClGenericMemoryAllocator>();
    EXPECT_EQ(heap->allocate(1), nullptr);  // no heap before init
    heap->init(g_heapMemory, 1000);
    void* a = heap->allocate(600);
    void* b = heap->allocateAligned(300, 256);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 256, 0u);
    std::memset(b, 0xCD, 300);
    // 100 bytes of the budget are left.
    EXPECT_EQ(heap->allocate(101), nullptr);
    EXPECT_EQ(heap->allocateAligned(16, 24), nullptr);
    EXPECT_EQ(heap->getStats(false).freeBytes, 100u);
    heap->release(a);
    EXPECT_TRUE(heap->hasLiveBlocks());
    heap->release(b);
    EXPECT_FALSE(heap->hasLiveBlocks());

    heap->allocate(10);
    heap->destroy();  // frees the live block (the sanitizer build checks for leaks)
    EXPECT_EQ(heap->allocate(1), nullptr);
}

TEST(MemoryAllocatorDeathTest, ReleasingAForeignBlockStopsTheProgram) {
    EXPECT_EXIT(
        {
            ClGenericMemoryAllocator heap;
            heap.init(g_heapMemory, 1000);
            alignas(16) u8 notFromTheHeap[128] = {};
            heap.release(notFromTheHeap + 64);
        },
        ::testing::ExitedWithCode(3), "not live");
}

}  // namespace
