// The per-thread block cache: what waits, what is handed out again, and what goes straight back.
#include <gtest/gtest.h>

#include "core/block_cache.h"

#include <cstdint>
#include <thread>

namespace {

class BlockCache : public ::testing::Test {
protected:
    void SetUp() override { releaseCachedBlocks(); }
    void TearDown() override { releaseCachedBlocks(); }
};

struct SBase : SCachedBlockStorage {
    virtual ~SBase() = default;
    char head[40];
};

struct SDerived : SBase {
    char tail[300];
};

}  // namespace

TEST_F(BlockCache, BlocksAreAlignedToCacheLines) {
    for (size_t bytes : {size_t(0), size_t(1), size_t(65), size_t(2048), size_t(5000)}) {
        void* block = takeBlock(bytes);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % BLOCK_CACHE_ALIGNMENT, 0u) << bytes;
        giveBackBlock(block, bytes);
    }
}

TEST_F(BlockCache, ABlockGivenBackServesTheNextRequestOfItsRoundedSize) {
    if (!blockCacheKeepsBlocks()) GTEST_SKIP() << "the sanitizers see every block";
    void* block = takeBlock(100);
    giveBackBlock(block, 100);
    EXPECT_EQ(cachedBlockCount(), 1u);
    EXPECT_EQ(takeBlock(128), block);
    EXPECT_EQ(cachedBlockCount(), 0u);
    giveBackBlock(block, 128);
}

TEST_F(BlockCache, ARequestOfAnotherSizeGetsAnotherBlock) {
    void* small = takeBlock(64);
    giveBackBlock(small, 64);
    void* larger = takeBlock(65);
    EXPECT_NE(larger, small);
    giveBackBlock(larger, 65);
}

TEST_F(BlockCache, LargeBlocksAndReleasedListsDoNotWait) {
    giveBackBlock(takeBlock(4096), 4096);
    EXPECT_EQ(cachedBlockCount(), 0u);
    giveBackBlock(takeBlock(64), 64);
    releaseCachedBlocks();
    EXPECT_EQ(cachedBlockCount(), 0u);
}

TEST_F(BlockCache, ADeletedRecordGivesBackItsWholeSize) {
    if (!blockCacheKeepsBlocks()) GTEST_SKIP() << "the sanitizers see every block";
    SBase* record = new SDerived();
    void* storage = record;
    delete record;
    EXPECT_EQ(takeBlock(sizeof(SDerived)), storage);
    giveBackBlock(storage, sizeof(SDerived));
}

TEST_F(BlockCache, EachThreadKeepsItsOwnLists) {
    if (!blockCacheKeepsBlocks()) GTEST_SKIP() << "the sanitizers see every block";
    giveBackBlock(takeBlock(64), 64);
    size_t seenByOther = 99;
    std::thread other([&seenByOther] { seenByOther = cachedBlockCount(); });
    other.join();
    EXPECT_EQ(seenByOther, 0u);
    EXPECT_EQ(cachedBlockCount(), 1u);
}
