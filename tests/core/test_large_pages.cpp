#include "core/large_pages.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr size_t kLargePage = size_t(2) << 20;

TEST(LargePageBlock, StartsOnALargePageBoundaryZeroedAndUsableToItsLastByte) {
    const size_t bytes = 3 * kLargePage + 5;
    auto* block = static_cast<unsigned char*>(allocateLargePageBlock(bytes));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(uintptr_t(block) % kLargePage, 0u);
    EXPECT_EQ(block[0], 0u);
    EXPECT_EQ(block[bytes - 1], 0u);
    block[bytes - 1] = 7;
    EXPECT_EQ(block[bytes - 1], 7u);
    freeLargePageBlock(block, bytes);
    freeLargePageBlock(nullptr, bytes);
}

TEST(LargePageBlock, RefusesASizeTheAddressSpaceCannotHold) {
    EXPECT_EQ(allocateLargePageBlock(SIZE_MAX - 100), nullptr);
}

}  // namespace
