#include "audio/analysis/run_group_array.h"

#include "tests/support/fatal_catch.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

// A group at `time` scoring 2 x time, whose run i lasts i and holds onsets i and -1.
SBeatRunGroup groupWithRuns(f32 time, u32 runCount) {
    SBeatRunGroup group{};
    group.time = time;
    group.score = time * 2.0f;
    group.runs.init(8);
    for (u32 i = 0; i < runCount; ++i) {
        SBeatRun run{};
        run.duration = f32(i);
        run.onsets.init(8);
        run.onsets.push(s32(i));
        run.onsets.push(-1);
        group.runs.push(run);
    }
    return group;
}

using RunGroupArray = FatalThrowingTest;

}  // namespace

TEST_F(RunGroupArray, PushCopiesRecordsDoublesWhenCountPlusOneReachesCapacityAndNeedsSetUp) {
    ClRunGroupArray array;
    initRunGroupArray(&array, 4);
    EXPECT_EQ(array.count, 0u);
    for (u32 i = 0; i < 4; ++i) EXPECT_EQ(array.data[i].runs.data, nullptr);  // zeroed records
    for (u32 i = 0; i < 3; ++i) pushRunGroup(&array, groupWithRuns(f32(i), i));
    EXPECT_EQ(array.capacity, 4u);
    pushRunGroup(&array, groupWithRuns(3.0f, 2));  // the fourth append moves to 8
    ASSERT_EQ(array.capacity, 8u);
    ASSERT_EQ(array.count, 4u);
    for (u32 i = 0; i < 4; ++i) EXPECT_EQ(array[i].score, f32(i) * 2.0f);
    ASSERT_EQ(array[2].runs.count, 2u);
    EXPECT_EQ(array[2].runs[1].onsets[0], 1);
    EXPECT_EQ(array[2].runs[1].onsets[1], -1);
    EXPECT_EQ(releaseRunGroupArray(&array), 1u);  // frees the runs with it (checked by the sanitizer)

    // Release reports whether the array was set up, and a push needs set-up.
    EXPECT_EQ(releaseRunGroupArray(&array), 0u);
    EXPECT_THROW(pushRunGroup(&array, SBeatRunGroup{}), SFatal);
    initRunGroupArray(&array, 2);
    pushRunGroup(&array, groupWithRuns(1.0f, 1));
    initRunGroupArray(&array, 2);  // set up again: the old groups are given back first
    EXPECT_EQ(array.count, 0u);
    EXPECT_EQ(releaseRunGroupArray(&array), 1u);
    EXPECT_EQ(array.data, nullptr);
    EXPECT_EQ(releaseRunGroupArray(&array), 0u);
}
