#include "core/global_objects.h"
#include "core/name_hash.h"
#include <gtest/gtest.h>
#include "tests/support/fatal_catch.h"

#include <cstdint>

using namespace test_support;

namespace {

using GlobalObjectsFatal = FatalThrowingTest;

bool isAligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15u) == 0; }

struct SPooledRecord {
    u32 value;
    u32 poolIndex;
};

}  // namespace

TEST(BucketTable, ThousandBucketsHaveMaskAndZeroedAlignedBlocks) {
    ClBucketTable table(32, 64);
    table.init(1024, 16);
    for (u32 i : {0u, 1023u}) {
        const SBucket& bucket = table.buckets[i];
        ASSERT_TRUE(isAligned16(bucket.records));
        ASSERT_TRUE(isAligned16(bucket.secondRecords));
        const u8* second = static_cast<const u8*>(bucket.secondRecords);
        for (u32 b = 0; b < 16 * 64; ++b) ASSERT_EQ(second[b], 0u);
    }
    table.release();
}

TEST_F(GlobalObjectsFatal, BucketTableReleaseClearsRebuildWorksAndCountsArePowersOfTwo) {
    ClBucketTable table(32, 4);
    table.release();  // not in use: nothing happens
    table.init(8, 2);
    table.buckets[3].used = 1;
    table.init(16, 4);  // a table in use is given back first
    EXPECT_EQ(table.buckets[3].used, 0u);
    table.release();
    EXPECT_EQ(table.buckets, nullptr);
    EXPECT_THROW(table.init(1000, 16), SFatal);
    EXPECT_THROW(table.init(0, 16), SFatal);
    EXPECT_EQ(table.inUse, 0u);
}

TEST(HashSlotTable, GetOrAddGivesTheSameSlotForANameTheNextForANewOneAndOptionsInOrder) {
    ClHashSlotTable table;
    s32 slots[8] = {};
    table.map.init(8);
    table.slots = slots;
    // Names ignore case.
    EXPECT_EQ(getOrAdd(table, "FULLSCREEN"), &slots[0]);
    EXPECT_EQ(getOrAdd(table, "VSYNC"), &slots[1]);
    EXPECT_EQ(getOrAdd(table, "fullscreen"), &slots[0]);

    // A second set-up of the display options empties them.
    initDisplayOptionTable();
    *getOrAdd(displayOptionTable(), "RES_X") = 1280;
    initDisplayOptionTable();
    EXPECT_EQ(*getOrAdd(displayOptionTable(), "RES_X"), 0);
    releaseDisplayOptionTable();
    EXPECT_EQ(displayOptionTable().slots, nullptr);
}

TEST_F(GlobalObjectsFatal, GetOrAddStopsWithoutSlotsWhenFullAndOnHashZero) {
    ClHashSlotTable table;
    table.map.init(2);
    EXPECT_THROW(getOrAdd(table, "A"), SFatal);  // no slot array
    s32 slots[2] = {};
    table.slots = slots;
    getOrAdd(table, "A");
    getOrAdd(table, "B");
    EXPECT_EQ(getOrAdd(table, "A"), &slots[0]);  // a full table still finds its names
    EXPECT_THROW(getOrAdd(table, "C"), SFatal);
    EXPECT_THROW(getOrAdd(table, ""), SFatal);
}

TEST(LazyFixedPool, AllocatesOnlyAtInitAndASecondInitKeepsThePool) {
    ClLazyFixedPool<SPooledRecord, 4> lazy;
    EXPECT_EQ(lazy.get(), nullptr);
    lazy.init();
    ASSERT_TRUE(lazy.isReady());
    ClFixedPool<SPooledRecord, 4>& pool = *lazy.get();
    lazy.init();
    EXPECT_EQ(lazy.get(), &pool);
    lazy.release();
    EXPECT_FALSE(lazy.isReady());
}
