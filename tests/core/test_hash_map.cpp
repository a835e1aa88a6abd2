#include "core/hash_map.h"
#include "core/name_hash.h"
#include <gtest/gtest.h>
#include "tests/support/fatal_catch.h"

#include <vector>

using namespace test_support;

namespace {

using HashMapFatal = FatalThrowingTest;

using Values = std::vector<uintptr_t>;

void collectValue(uintptr_t value, void* user) { static_cast<Values*>(user)->push_back(value); }

}  // namespace

TEST(HashMap, KeyZeroStoresNothingADuplicateFindsTheEarlierEntryAndNamesIgnoreCase) {
    ClHashMap map;
    EXPECT_FALSE(map.insert(1, 1));  // not set up
    map.init(16);
    EXPECT_EQ(map.insert(0, 99), false);
    EXPECT_EQ(map.getCount(), 0u);

    map.insertByName("FULLSCREEN", 50);
    map.insertByName("fullscreen", 51);
    EXPECT_EQ(map.find(crc32TextNoCase("FullScreen")), 50u);
    EXPECT_EQ(map.remove(crc32TextNoCase("FULLSCREEN")), 50u);
    EXPECT_EQ(map.findByName("FULLSCREEN"), 51u);
}

TEST(HashMap, ACollidingKeyStaysReachableAfterItsNeighboursRemovalAndAFullTableRefusesInserts) {
    ClHashMap map;
    map.init(16);
    map.insert(0x10, 1);
    map.insert(0x20, 2);
    EXPECT_EQ(map.remove(0x10), 1u);
    EXPECT_EQ(map.find(0x20), 2u);
    EXPECT_EQ(map.remove(0x10), 0u);

    ClHashMap full;
    full.init(8);
    for (u32 key = 1; key <= 8; ++key) ASSERT_TRUE(full.insert(key * 8, key));
    EXPECT_FALSE(full.insert(3, 3));
    // Removing from a completely full table re-places the whole run and keeps everything reachable.
    EXPECT_EQ(full.find(3), 0u);
    EXPECT_EQ(full.remove(3), 0u);
    EXPECT_EQ(full.remove(4 * 8), 4u);
    for (u32 key = 1; key <= 8; ++key) EXPECT_EQ(full.find(key * 8), key == 4 ? 0u : key);
    EXPECT_TRUE(full.insert(3, 3));
    EXPECT_EQ(full.find(3), 3u);
}

// Where insert after a missed find would put it: on the probe path past the colliding key.
TEST(HashMap, FindOrInsertKeepsAPresentValueAndStoresAnAbsentOneWhereInsertWould) {
    ClHashMap map;
    EXPECT_EQ(map.findOrInsert(1, 1), 0u);  // not set up
    map.init(8);
    map.insert(0x10, 1);
    EXPECT_EQ(map.findOrInsert(0x10, 7), 1u);
    EXPECT_EQ(map.findOrInsert(0x18, 2), 2u);
    EXPECT_EQ(map.find(0x18), 2u);
    EXPECT_EQ(map.getCount(), 2u);
    EXPECT_EQ(map.findOrInsert(0, 3), 0u);

    ClHashMap full;
    full.init(2);
    full.insert(1, 1);
    full.insert(2, 2);
    EXPECT_EQ(full.findOrInsert(3, 3), 0u);
    EXPECT_EQ(full.getCount(), 2u);
}

TEST(HashMap, ForEachValueSkipsZeroValuesInSlotOrder) {
    ClHashMap map;
    map.init(16);
    map.insert(3, 30);
    map.insert(1, 10);
    map.insert(2, 0);
    Values seen;
    map.forEachValue(collectValue, &seen);
    EXPECT_EQ(seen, (Values{10, 30}));
}

TEST_F(HashMapFatal, CapacityMustBeAPowerOfTwoInRange) {
    ClHashMap map;
    EXPECT_THROW(map.init(12), SFatal);
    EXPECT_THROW(map.init(HASH_MAP_MAX_CAPACITY * 2), SFatal);
}
