#include "core/float_array.h"

#include <gtest/gtest.h>

namespace {

struct SStridedSample {
    f32 value;
    u32 other;
};

}  // namespace

TEST(FloatArray, AssignSortedReadsTheStrideAndSortsEitherWay) {
    const SStridedSample samples[5] = {{3.0f, 0}, {-1.0f, 0}, {7.5f, 0}, {0.0f, 0}, {2.0f, 0}};
    ClFloatArray a;
    a.assignSorted(samples, 5, sizeof(SStridedSample), false);
    ASSERT_EQ(a.count, 5u);
    EXPECT_EQ(a[0], -1.0f);
    EXPECT_EQ(a[4], 7.5f);
    a.assignSorted(samples, 5, sizeof(SStridedSample), true);
    EXPECT_EQ(a[0], 7.5f);
    EXPECT_EQ(a[4], -1.0f);
    a.release();
}

TEST(FloatArray, PercentileTruncatesItsIndex) {
    const f32 five[5] = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
    ClFloatArray a;
    a.assignSorted(five, 5, sizeof(f32), false);
    EXPECT_EQ(a.percentile(50.0f), 3.0f);
    EXPECT_EQ(a.percentile(0.0f), 1.0f);
    EXPECT_EQ(a.percentile(100.0f), 5.0f);
    EXPECT_EQ(a.percentile(150.0f), 5.0f);
    a.assignSorted(five, 4, sizeof(f32), false);
    EXPECT_EQ(a.percentile(50.0f), 2.0f);
    a.assignSorted(five, 0, sizeof(f32), false);
    EXPECT_EQ(a.percentile(50.0f), 0.0f);
    a.release();
}

TEST(FloatArray, WindowedSumsAndPeaksAreHeldToTheArray) {
    const s32 ints[5] = {1, 2, 3, 4, 5};
    const s32 widths[5] = {1, 1, 0, 1, 10};
    ClFloatArray sums;
    sums.init();
    windowedIntSums(ints, widths, 5, &sums);
    ASSERT_EQ(sums.count, 5u);
    EXPECT_EQ(sums[0], 3.0f);
    EXPECT_EQ(sums[1], 6.0f);
    EXPECT_EQ(sums[2], 3.0f);
    EXPECT_EQ(sums[3], 12.0f);
    EXPECT_EQ(sums[4], 15.0f);
    sums.release();

    // Equal values: the first maximum of the window wins, so index 2 is not a peak.
    const f32 values[6] = {1.0f, 4.0f, 4.0f, 2.0f, 9.0f, 0.5f};
    const s32 peakWidths[6] = {1, 1, 1, 1, 1, 0};
    ClIntArray peaks;
    peaks.init();
    findWindowMaxima(values, peakWidths, 6, 1.0f, &peaks);
    ASSERT_EQ(peaks.count, 2u);
    EXPECT_EQ(peaks[0], 1);
    EXPECT_EQ(peaks[1], 4);
    peaks.release();
    peaks.init();
    findWindowMaxima(values, peakWidths, 6, 5.0f, &peaks);
    ASSERT_EQ(peaks.count, 1u);
    EXPECT_EQ(peaks[0], 4);
    peaks.release();
}

TEST(FloatArray, EmaWithPeriodOneCopiesShiftedAndDecaysToZero) {
    const f32 source[5] = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
    f32 destination[5] = {};
    emaStrided(1, -2, 5, source, destination, sizeof(f32), sizeof(f32));
    const f32 expected[5] = {3.0f, 4.0f, 5.0f, 0.0f, 0.0f};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(destination[i], expected[i]) << i;
}

TEST(FloatArray, EmaWorkedValuesAndShortInputs) {
    // Period 3: alpha = 0.5.
    const f32 source[4] = {4.0f, 0.0f, 8.0f, 2.0f};
    f32 destination[4] = {};
    emaStrided(3, 0, 4, source, destination, sizeof(f32), sizeof(f32));
    EXPECT_EQ(destination[0], 4.0f);
    EXPECT_EQ(destination[1], 2.0f);
    EXPECT_EQ(destination[2], 5.0f);
    EXPECT_EQ(destination[3], 3.5f);

    // An offset longer than the input never writes outside it.
    f32 guarded[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    emaStrided(1, -5, 3, source, guarded, sizeof(f32), sizeof(f32));
    EXPECT_EQ(guarded[0], 0.0f);
    EXPECT_EQ(guarded[3], -1.0f);
    emaStrided(1, 0, 0, source, guarded, sizeof(f32), sizeof(f32));
    EXPECT_EQ(guarded[3], -1.0f);
}
