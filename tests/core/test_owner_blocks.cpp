#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/owner_blocks.h"
#include "tests/support/fatal_catch.h"

#include <cstdint>
#include <thread>

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

uintptr_t addressOf(const void* block) { return reinterpret_cast<uintptr_t>(block); }

// A block allocated while the owner is open on this thread.
void* blockOf(u32 owner, size_t bytes) {
    const ClOwnerBlocksScope scope(owner);
    return allocateBlock(bytes, 16);
}

struct SRecord : SOwnerBlockObject {
    alignas(256) u8 bytes[100];
};

}  // namespace

TEST_F(OwnerBlocks, BlocksOfAnOpenOwnerFollowEachOtherInItsRegion) {
    void* first;
    void* second;
    {
        const ClOwnerBlocksScope scope(1);
        first = allocateBlock(40, 16);
        second = allocateBlock(24, 16);
    }
    EXPECT_EQ(ownerOfBlock(first), 1);
    EXPECT_EQ(ownerOfBlock(second), 1);
    EXPECT_EQ(addressOf(second), addressOf(first) + 48);
    freeBlock(first);
    freeBlock(second);
}

TEST_F(OwnerBlocks, BlocksWithoutAnOwnerOrThatDoNotFitComeFromTheLibrary) {
    void* loose = allocateBlock(32, 16);
    void* large = blockOf(2, kRegionBytes + 1);
    void* outOfRange = blockOf(kOwners, 32);
    EXPECT_EQ(ownerOfBlock(loose), -1);
    EXPECT_EQ(ownerOfBlock(large), -1);
    EXPECT_EQ(ownerOfBlock(outOfRange), -1);
    EXPECT_EQ(liveBlocksOfOwner(2), 0u);
    freeBlock(loose);
    freeBlock(large);
    freeBlock(outOfRange);
}

TEST_F(OwnerBlocks, ARegionIsCarvedFromItsStartAgainOnlyOnceNoBlockOfItLives) {
    void* first = blockOf(3, 64);
    void* kept = blockOf(3, 64);
    freeBlock(first);
    EXPECT_EQ(liveBlocksOfOwner(3), 1u);
    void* afterKept = blockOf(3, 64);
    EXPECT_GT(addressOf(afterKept), addressOf(kept));
    freeBlock(kept);
    freeBlock(afterKept);
    void* fresh = blockOf(3, 64);
    EXPECT_EQ(fresh, first);
    freeBlock(fresh);
}

TEST_F(OwnerBlocks, AnInnerScopeOpensItsOwnerAndGivesTheOuterOneBack) {
    void* inner;
    void* outer;
    {
        const ClOwnerBlocksScope outerScope(4);
        {
            const ClOwnerBlocksScope innerScope(5);
            inner = allocateBlock(16, 16);
        }
        outer = allocateBlock(16, 16);
    }
    void* after = allocateBlock(16, 16);
    EXPECT_EQ(ownerOfBlock(inner), 5);
    EXPECT_EQ(ownerOfBlock(outer), 4);
    EXPECT_EQ(ownerOfBlock(after), -1);
    freeBlock(inner);
    freeBlock(outer);
    freeBlock(after);
}

TEST_F(OwnerBlocks, ObjectsTakeTheirAlignmentAndTheirOwnersRegion) {
    SRecord* record;
    {
        const ClOwnerBlocksScope scope(6);
        freeBlock(allocateBlock(8, 16));
        record = new SRecord();
    }
    EXPECT_EQ(ownerOfBlock(record), 6);
    EXPECT_EQ(addressOf(record) % 256, 0u);
    delete record;
    EXPECT_EQ(liveBlocksOfOwner(6), 0u);
}

TEST_F(OwnerBlocks, ABlockFreedOnAnotherThreadCountsItsRegionDown) {
    void* block = blockOf(7, 16);
    std::thread other([block] { freeBlock(block); });
    other.join();
    EXPECT_EQ(liveBlocksOfOwner(7), 0u);
}

TEST_F(OwnerBlocks, ABlockFreedTwiceStops) {
    void* block = blockOf(0, 16);
    freeBlock(block);
    EXPECT_THAT(fatalReasonOf([block] { freeBlock(block); }), HasSubstr("freed more often than it was allocated"));
}

TEST_F(OwnerBlocks, FreesInABatchCountTheirRegionDownWhenItCloses) {
    void* first = blockOf(1, 32);
    void* second = blockOf(1, 32);
    void* other = blockOf(2, 32);
    {
        const ClOwnerFreeBatch batch(1);
        freeBlock(first);
        freeBlock(other);
        EXPECT_EQ(liveBlocksOfOwner(1), 2u);
        EXPECT_EQ(liveBlocksOfOwner(2), 0u);
    }
    EXPECT_EQ(liveBlocksOfOwner(1), 1u);
    freeBlock(second);
}

TEST_F(OwnerBlocks, ABatchThatFreedMoreThanItsRegionHeldIsFatalAndLeavesTheCountAtZero) {
    void* block = blockOf(3, 32);
    const std::string reason = fatalReasonOf([&] {
        const ClOwnerFreeBatch batch(3);
        freeBlock(block);
        freeBlock(block);
    });
    EXPECT_THAT(reason, HasSubstr("freed more often than it was allocated"));
    EXPECT_EQ(liveBlocksOfOwner(3), 0u);
}
