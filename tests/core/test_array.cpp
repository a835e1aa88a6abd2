// The growable array: growth on the append that would fill the block, cursor and last pointers,
// removal and release.
#include "core/array.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Aligned to a line: the array keeps its elements' own alignment when it grows.
struct alignas(64) SRecord48 {
    f32 values[12];
};

TEST(Array, EighthAppendMovesToAnAlignedBlockOfSixteenKeepingCursorIndexAndOwnElements) {
    ClArray<u32> array;
    array.init(8);
    for (u32 i = 0; i < 7; ++i) EXPECT_EQ(array.push(100 + i), i + 1);
    EXPECT_EQ(array.cursor, array.data);  // the cursor set by the first append
    array.cursor = array.data + 3;

    EXPECT_EQ(array.push(107), 8u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(array.data) % ARRAY_BLOCK_ALIGNMENT, 0u);
    EXPECT_EQ(array.capacity, 16u);
    EXPECT_EQ(array.cursor, array.data + 3);
    EXPECT_EQ(array.last, array.data + 7);
    for (u32 i = 0; i < 8; ++i) EXPECT_EQ(array[i], 100 + i);
    array.release();

    ClArray<SRecord48> records;
    records.init(2);
    SRecord48 record{};
    record.values[11] = 4.5f;
    records.push(record);
    records.push(records[0]);  // this append frees the block its source lives in
    records.push(records[1]);
    ASSERT_EQ(records.count, 3u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(records.data) % 64, 0u);
    for (const SRecord48& element : records) EXPECT_EQ(element.values[11], 4.5f);
    records.release();
}

TEST(Array, RemoveAtClosesTheGapKeepingTheCursorAndArraysWithRoomForNoneOrOneGrow) {
    ClArray<u32> array;
    array.init();
    for (u32 i = 0; i < 5; ++i) array.push(i);
    array.cursor = array.data + 2;
    array.removeAt(1);
    EXPECT_EQ(std::vector(array.data, array.data + array.count), (std::vector<u32>{0, 2, 3, 4}));
    EXPECT_EQ(array.last, array.data + 3);
    EXPECT_EQ(array.cursor, array.data + 2);
    array.removeAt(3);
    EXPECT_EQ(array.count, 3u);
    EXPECT_EQ(array.last, array.data + 2);
    while (array.count) array.removeAt(0);
    EXPECT_EQ(array.last, nullptr);

    array.release();
    EXPECT_EQ(array.inUse, 0u);
    EXPECT_EQ(array.data, nullptr);
    EXPECT_EQ(array.elementSize, 0u);
    array.release();  // not in use: nothing happens

    for (u32 firstCapacity : {0u, 1u}) {
        ClArrayU16 array;
        array.init(firstCapacity);
        for (u16 i = 0; i < 5; ++i) array.push(i);
        EXPECT_EQ(array.count, 5u);
        EXPECT_EQ(array[4], u16(4));
        EXPECT_GT(array.capacity, array.count);
        array.release();
    }
}

TEST(ArrayDeathTest, MisuseStopsTheProgram) {
    EXPECT_EXIT(ClArray<u32>().push(1), ::testing::ExitedWithCode(3), "ClArray::push on an array that was not set up");
    EXPECT_EXIT(
        {
            ClArray<u32> array;
            array.init();
            array.push(1);
            array.removeAt(1);
        },
        ::testing::ExitedWithCode(3), "ClArray::removeAt index 1 of 1");
    EXPECT_EXIT(arrayGrownCapacity(0x80000000u), ::testing::ExitedWithCode(3),
                "growable array cannot double its capacity of 2147483648");
}

}  // namespace
