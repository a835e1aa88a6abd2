#include "core/global_objects.h"
#include <gtest/gtest.h>
#include "tests/support/fatal_catch.h"

using namespace test_support;

namespace {

using GlobalObjectsFatal = FatalThrowingTest;

}  // namespace

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
