#include "core/float_array.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct SStridedSample {
    f32 value;
    u32 other;
};

template <typename T>
std::vector<T> contents(const ClArray<T>& array) {
    return std::vector<T>(array.begin(), array.end());
}

}  // namespace

TEST(FloatArray, AssignSortedReadsTheStrideAndSortsEitherWay) {
    const SStridedSample samples[5] = {{3.0f, 0}, {-1.0f, 0}, {7.5f, 0}, {0.0f, 0}, {2.0f, 0}};
    ClFloatArray a;
    a.assignSorted(samples, 5, sizeof(SStridedSample), false);
    EXPECT_EQ(contents(a), (std::vector<f32>{-1.0f, 0.0f, 2.0f, 3.0f, 7.5f}));
    a.assignSorted(samples, 5, sizeof(SStridedSample), true);
    EXPECT_EQ(contents(a), (std::vector<f32>{7.5f, 3.0f, 2.0f, 0.0f, -1.0f}));
    a.release();
}

TEST(FloatArray, PercentileTruncatesItsIndex) {
    const f32 five[5] = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
    ClFloatArray a;
    const auto percentile = [&](u32 count, f32 percent) {
        a.assignSorted(five, count, sizeof(f32), false);
        return a.percentile(percent);
    };
    EXPECT_EQ(percentile(5, 50.0f), 3.0f) << "the median";
    EXPECT_EQ(percentile(5, 150.0f), 5.0f) << "above 100 percent";
    EXPECT_EQ(percentile(4, 50.0f), 2.0f) << "an even count";
    EXPECT_EQ(percentile(0, 50.0f), 0.0f) << "no values";
    a.release();
}

TEST(FloatArray, WindowedSumsAndPeaksAreHeldToTheArray) {
    const s32 ints[5] = {1, 2, 3, 4, 5};
    const s32 widths[5] = {1, 1, 0, 1, 10};
    ClFloatArray sums;
    sums.init();
    windowedIntSums(ints, widths, 5, &sums);
    EXPECT_EQ(contents(sums), (std::vector<f32>{3.0f, 6.0f, 3.0f, 12.0f, 15.0f}));
    sums.release();

    // Equal values: the first maximum of the window wins, so index 2 is not a peak.
    const f32 values[6] = {1.0f, 4.0f, 4.0f, 2.0f, 9.0f, 0.5f};
    const s32 peakWidths[6] = {1, 1, 1, 1, 1, 0};
    ClIntArray peaks;
    peaks.init();
    findWindowMaxima(values, peakWidths, 6, 1.0f, &peaks);
    EXPECT_EQ(contents(peaks), (std::vector<s32>{1, 4}));
    peaks.release();
}

TEST(FloatArray, EmaWorkedValuesShiftedDecayAndShortInputs) {
    const f32 ramp[5] = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
    f32 shifted[5] = {};
    // Period 1 copies, shifted by the offset and decaying to zero.
    emaStrided(1, -2, 5, ramp, shifted, sizeof(f32), sizeof(f32));
    EXPECT_EQ(std::vector<f32>(shifted, shifted + 5), (std::vector<f32>{3.0f, 4.0f, 5.0f, 0.0f, 0.0f}));

    // Period 3: alpha = 0.5.
    const f32 source[4] = {4.0f, 0.0f, 8.0f, 2.0f};
    f32 destination[4] = {};
    emaStrided(3, 0, 4, source, destination, sizeof(f32), sizeof(f32));
    EXPECT_EQ(std::vector<f32>(destination, destination + 4), (std::vector<f32>{4.0f, 2.0f, 5.0f, 3.5f}));

    // An offset longer than the input never writes outside it.
    f32 guarded[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    emaStrided(1, -5, 3, source, guarded, sizeof(f32), sizeof(f32));
    EXPECT_EQ(guarded[0], 0.0f);
    EXPECT_EQ(guarded[3], -1.0f);
}
