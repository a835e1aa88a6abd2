#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/owner_blocks.h"
#include "tests/support/fatal_catch.h"

using test_support::fatalReasonOf;
using ::testing::HasSubstr;

namespace {

constexpr u32 kOwners = 8;
constexpr u32 kRegionBytes = 8192 + 64;  // regions start on lines, not on pages

class OwnerBlocks : public test_support::FatalThrowingTest {
protected:
    void SetUp() override {
        test_support::FatalThrowingTest::SetUp();
        if (!reserveOwnerBlocks(kOwners, kRegionBytes)) GTEST_SKIP() << "every block comes from the C library in this build";
    }
};

// A block allocated while the owner is open on this thread.
void* blockOf(u32 owner, size_t bytes) {
    const ClOwnerBlocksScope scope(owner);
    return allocateBlock(bytes, 16);
}

}  // namespace

TEST_F(OwnerBlocks, BlocksWithoutAnOwnerOrThatDoNotFitComeFromTheLibrary) {
    void* loose = allocateBlock(32, 16);
    void* large = blockOf(2, kRegionBytes + 1);
    void* outOfRange = blockOf(kOwners, 32);
    EXPECT_EQ(ownerOfBlock(loose), -1);
    EXPECT_EQ(ownerOfBlock(large), -1);
    EXPECT_EQ(ownerOfBlock(outOfRange), -1);
    freeBlock(loose);
    freeBlock(large);
    freeBlock(outOfRange);
}

TEST_F(OwnerBlocks, ABlockFreedTwiceStops) {
    void* block = blockOf(0, 16);
    freeBlock(block);
    EXPECT_THAT(fatalReasonOf([block] { freeBlock(block); }), HasSubstr("freed more often than it was allocated"));
}

TEST_F(OwnerBlocks, ABatchThatFreedMoreThanItsRegionHeldIsFatalAndLeavesTheCountAtZero) {
    void* block = blockOf(3, 32);
    const std::string reason = fatalReasonOf([&] {
        const ClOwnerFreeBatch batch(3);
        freeBlock(block);
        freeBlock(block);
    });
    EXPECT_THAT(reason, HasSubstr("freed more often than it was allocated"));
    // Nothing is live: the region is carved from its start again.
    void* again = blockOf(3, 32);
    EXPECT_EQ(again, block);
    freeBlock(again);
}
