#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/fatal_error.h"
#include "core/hash_map.h"
#include "core/name_hash.h"

namespace {

struct FatalThrown : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void throwOnFatal(const char* reason) { throw FatalThrown(reason); }

class HashMapFatal : public ::testing::Test {
protected:
    void SetUp() override { setFatalErrorHook(throwOnFatal); }
    void TearDown() override { setFatalErrorHook(nullptr); }
};

void collectValue(uintptr_t value, void* user) { static_cast<std::vector<uintptr_t>*>(user)->push_back(value); }

}  // namespace

TEST(HashMap, KeyZeroAndTablesWithoutBlockStoreNothing) {
    ClHashMap map;
    EXPECT_FALSE(map.insert(1, 1));
    EXPECT_EQ(map.find(1), 0u);
    map.init(16);
    EXPECT_FALSE(map.insert(0, 99));
    EXPECT_EQ(map.find(0), 0u);
    EXPECT_EQ(map.getCount(), 0u);
    map.insert(1, 1);
    map.release();
    EXPECT_EQ(map.find(1), 0u);
}

TEST(HashMap, DuplicateKeyFindsTheEarlierEntryAndNamesIgnoreCase) {
    ClHashMap map;
    map.init(8);
    map.insertByName("FULLSCREEN", 50);
    map.insertByName("fullscreen", 51);
    EXPECT_EQ(map.find(crc32TextNoCase("FullScreen")), 50u);
    EXPECT_EQ(map.remove(crc32TextNoCase("FULLSCREEN")), 50u);
    EXPECT_EQ(map.findByName("FULLSCREEN"), 51u);
}

TEST(HashMap, SecondKeyWrapsToTopSlotAndMovesHomeWhenFirstIsRemoved) {
    ClHashMap map;
    map.init(16);
    map.insert(0x10, 1);
    map.insert(0x20, 2);
    EXPECT_EQ(map.keyAt(0), 0x10u);
    EXPECT_EQ(map.keyAt(15), 0x20u);
    EXPECT_EQ(map.find(0x10), 1u);
    EXPECT_EQ(map.find(0x20), 2u);
    EXPECT_EQ(map.remove(0x10), 1u);
    EXPECT_EQ(map.keyAt(0), 0x20u);
    EXPECT_EQ(map.valueAt(0), 2u);
    EXPECT_EQ(map.keyAt(15), 0u);
    EXPECT_EQ(map.getCount(), 1u);
    EXPECT_EQ(map.find(0x20), 2u);
    EXPECT_EQ(map.remove(0x10), 0u);
    EXPECT_EQ(map.getCount(), 1u);
}

TEST(HashMap, FullTableRefusesInsertAndSearchesEnd) {
    ClHashMap map;
    map.init(8);
    for (u32 key = 1; key <= 8; ++key) ASSERT_TRUE(map.insert(key * 8, key));
    EXPECT_FALSE(map.insert(3, 3));
    EXPECT_EQ(map.getCount(), 8u);
    EXPECT_EQ(map.find(3), 0u);
    EXPECT_EQ(map.remove(3), 0u);
    for (u32 key = 1; key <= 8; ++key) EXPECT_EQ(map.find(key * 8), key);
    // Removing from a completely full table re-places the whole run and keeps everything reachable.
    EXPECT_EQ(map.remove(4 * 8), 4u);
    EXPECT_EQ(map.getCount(), 7u);
    for (u32 key = 1; key <= 8; ++key) EXPECT_EQ(map.find(key * 8), key == 4 ? 0u : key);
    EXPECT_TRUE(map.insert(3, 3));
    EXPECT_EQ(map.find(3), 3u);
}

TEST(HashMap, ClearEmptiesKeysAndValues) {
    ClHashMap map;
    map.init(16);
    map.insert(1, 11);
    map.insert(2, 22);
    map.clear();
    EXPECT_EQ(map.getCount(), 0u);
    EXPECT_EQ(map.find(1), 0u);
    std::vector<uintptr_t> seen;
    map.forEachValue(collectValue, &seen);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(map.getCapacity(), 16u);
}

TEST(HashMap, ForEachValueSkipsZeroValuesInSlotOrder) {
    ClHashMap map;
    map.init(16);
    map.insert(3, 30);
    map.insert(1, 10);
    map.insert(2, 0);
    std::vector<uintptr_t> seen;
    map.forEachValue(collectValue, &seen);
    EXPECT_EQ(seen, (std::vector<uintptr_t>{10, 30}));
    map.forEachValue(nullptr, &seen);
}

TEST(HashMap, MatchesAReferenceUnderRandomInsertsAndRemoves) {
    std::mt19937 engine(7u);
    std::uniform_int_distribution<u32> keyOf(1, 200);
    ClHashMap map;
    map.init(128);
    std::unordered_map<u32, uintptr_t> reference;
    for (int step = 0; step < 20000; ++step) {
        const u32 key = keyOf(engine) * 64;  // few home slots: long runs that wrap
        if (reference.count(key)) {
            ASSERT_EQ(map.remove(key), reference[key]) << step;
            reference.erase(key);
        } else if (reference.size() < 128) {
            ASSERT_TRUE(map.insert(key, step + 1));
            reference[key] = uintptr_t(step + 1);
        }
        ASSERT_EQ(map.getCount(), reference.size());
    }
    for (u32 k = 1; k <= 200; ++k) {
        const auto it = reference.find(k * 64);
        EXPECT_EQ(map.find(k * 64), it == reference.end() ? 0u : it->second);
    }
}

TEST_F(HashMapFatal, CapacityMustBeAPowerOfTwoInRange) {
    ClHashMap map;
    EXPECT_THROW(map.init(0), FatalThrown);
    EXPECT_THROW(map.init(12), FatalThrown);
    EXPECT_THROW(map.init(HASH_MAP_MAX_CAPACITY * 2), FatalThrown);
    ClGrowingHashMap growing;
    EXPECT_THROW(growing.init(3), FatalThrown);
}

TEST(GrowingHashMap, DoublesOnTheFifthInsertAndFindsAll) {
    ClGrowingHashMap map;
    map.init(4);
    for (u32 key = 1; key <= 4; ++key) map.insert(key * 4, key);
    EXPECT_EQ(map.getCapacity(), 4u);
    map.insert(5 * 4, 5);
    EXPECT_EQ(map.getCapacity(), 8u);
    EXPECT_EQ(map.getCount(), 5u);
    for (u32 key = 1; key <= 5; ++key) EXPECT_EQ(map.find(key * 4), key);
}

TEST(GrowingHashMap, ClearKeepsCapacityAndForgetsEverything) {
    ClGrowingHashMap map;
    map.init(2);
    for (u32 key = 1; key <= 9; ++key) map.insertByName(std::to_string(key).c_str(), key);
    EXPECT_EQ(map.getCapacity(), 16u);
    EXPECT_EQ(map.findByName("7"), 7u);
    map.clear();
    EXPECT_EQ(map.getCapacity(), 16u);
    EXPECT_EQ(map.getCount(), 0u);
    EXPECT_EQ(map.findByName("7"), 0u);
    EXPECT_FALSE(map.insert(0, 1));
    map.release();
    EXPECT_FALSE(map.insert(1, 1));
}

TEST_F(HashMapFatal, SlotTableGetOrDieStopsOnMissingKeyOrRecords) {
    ClHashSlotTable table;
    table.map.init(16);
    table.map.insert(7, 70);
    EXPECT_THROW(table.getOrDie(7), FatalThrown);  // no record array yet
    int records[4] = {};
    table.slots = records;
    EXPECT_EQ(table.getOrDie(7), 70u);
    EXPECT_THROW(table.getOrDie(8), FatalThrown);
}
