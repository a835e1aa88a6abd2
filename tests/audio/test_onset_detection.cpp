// Onset functions and peak picking over generated three-band energies.
#include "audio/analysis/onset_detection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr f32 FRAME_126 = 1.0f / 126.0f;
constexpr f32 FRAME_120 = 1.0f / 120.0f;

struct SOnsetLists {
    SBeatArray beats;
    SBeatArray lists[ONSET_LIST_COUNT];
    SOnsetLists() {
        beats.init();
        for (SBeatArray& list : lists) list.init();
    }
    ~SOnsetLists() {
        beats.release();
        for (SBeatArray& list : lists) list.release();
    }
};

// Picks over the three functions given directly.
void pick(const std::vector<f32>& summed, const std::vector<f32>& low, const std::vector<f32>& high, f32 frameDuration,
          SOnsetLists* out) {
    pickOnsets(summed.data(), low.data(), high.data(), u32(summed.size()), frameDuration, &out->beats, out->lists);
}

}  // namespace

TEST(OnsetWindows, RiseAndPeakWindowsInSinglePrecision) {
    EXPECT_EQ(onsetRiseWindow(FRAME_126) * 100 + onsetPeakWindow(FRAME_126), 525u);
    EXPECT_EQ(onsetRiseWindow(FRAME_120) * 100 + onsetPeakWindow(FRAME_120), 424u);
    EXPECT_EQ(onsetPeakWindow(0.0f), 0u);
}

TEST(OnsetStrength, RiseOverTheWindowAheadLessTheWindowBehindNeverUsingFrameZero) {
    std::vector<SThreeBandEnergy> energies(40, SThreeBandEnergy{0.0f, 0.0f, 0.0f});
    energies[0].low = 100.0f;  // frame 0 never counts
    for (u32 i = 20; i < 40; ++i) energies[i].low = 1.0f;
    energies[25].middle = -3.0f;  // negative energies count as 0
    energies[26].high = NAN;      // so do values that are not numbers
    const u32 n = u32(energies.size());

    EXPECT_EQ(onsetStrength(energies.data(), n, 0, 0, 5), 0.0f);
    EXPECT_EQ(onsetStrength(energies.data(), n, 0, 16, 5), 1.0f);  // ahead [16, 21): frame 20
    EXPECT_EQ(onsetStrength(energies.data(), n, 0, 20, 5), 5.0f);  // ahead [20, 25), behind empty
    EXPECT_EQ(onsetStrength(energies.data(), n, 0, 23, 5), 2.0f);  // 5 ahead less 3 behind
    EXPECT_EQ(onsetStrength(energies.data(), n, 0, 38, 5), 0.0f);  // cut ahead, clamped at 0
    EXPECT_EQ(onsetStrength(energies.data(), n, 1, 25, 5), 0.0f);
    EXPECT_EQ(onsetStrength(energies.data(), n, 2, 26, 5), 0.0f);
}

TEST(OnsetFunctions, SteadyToneRisesOnlyWhereItStarts) {
    const u32 n = 600;
    const u32 start = 200;
    std::vector<SThreeBandEnergy> energies(n, SThreeBandEnergy{0.0f, 0.0f, 0.0f});
    for (u32 i = start; i < n; ++i) energies[i] = SThreeBandEnergy{0.4f, 0.3f, 0.2f};
    std::vector<f32> summed(n), low(n), high(n);
    const u32 window = onsetRiseWindow(FRAME_126);
    computeOnsetFunctions(energies.data(), n, window, summed.data(), low.data(), high.data());

    for (u32 i = 0; i < n; ++i) {
        if (i + window <= start || i >= start + window) {
            EXPECT_NEAR(summed[i], 0.0f, 1e-5f) << "frame " << i;
        }
    }
    EXPECT_NEAR(summed[start], 0.9f * f32(window), 1e-5f);
    EXPECT_NEAR(low[start], 0.4f * f32(window), 1e-5f);
    EXPECT_NEAR(high[start], 0.2f * f32(window), 1e-5f);
}

TEST(OnsetPeak, NeighboursMustBeStrictlySmallerWithinWindowsCutAtTheEnds) {
    const std::vector<f32> values = {0.0f, 1.0f, 3.0f, 1.0f, 3.0f, 0.0f, 0.0f, 2.0f, 0.0f};
    const u32 n = u32(values.size());
    EXPECT_FALSE(isOnsetPeak(values.data(), n, 2, 3, 1.0f));  // frame 4 holds the same value
    EXPECT_TRUE(isOnsetPeak(values.data(), n, 2, 2, 1.0f));   // [0, 4) leaves frame 4 out
    EXPECT_FALSE(isOnsetPeak(values.data(), n, 7, 2, 2.5f));  // below the threshold
    // At frame 0 the window is [0, w): a larger value at frame w does not count.
    const std::vector<f32> head = {5.0f, 1.0f, 1.0f, 9.0f};
    EXPECT_TRUE(isOnsetPeak(head.data(), 4, 0, 3, 1.0f));
    EXPECT_FALSE(isOnsetPeak(head.data(), 4, 0, 4, 1.0f));
    EXPECT_TRUE(isOnsetPeak(head.data(), 4, 3, 25, 1.0f));
    const std::vector<f32> single = {7.0f};
    EXPECT_FALSE(isOnsetPeak(single.data(), 1, 0, 25, 1.0f));
}

TEST(OnsetPicks, ExactThresholdsArePickedAndAnythingSmallerIsNot) {
    const u32 n = 200;
    std::vector<f32> summed(n, 0.0f), low(n, 0.0f), high(n, 0.0f);
    summed[50] = 1.5f;
    summed[120] = std::nextafter(1.5f, 0.0f);
    low[50] = 1.0f;
    low[120] = std::nextafter(1.0f, 0.0f);
    high[50] = 1.0f;
    high[120] = std::nextafter(1.0f, 0.0f);
    SOnsetLists out;
    pick(summed, low, high, FRAME_126, &out);

    for (const SBeatArray* list : {&out.beats, &out.lists[0], &out.lists[1], &out.lists[2]}) {
        ASSERT_EQ(list->count, 1u);
        EXPECT_EQ((*list)[0].time, 50.0f * FRAME_126);
    }
    EXPECT_EQ(out.lists[E_ONSET_LIST_SUMMED][0].strength, 1.5f);
    EXPECT_EQ(out.lists[E_ONSET_LIST_LOW][0].strength, 1.0f);
}

TEST(OnsetPicks, ListsKeepTheirOwnPicksInTimeOrderWithZeroedWords) {
    const u32 n = 400;
    std::vector<f32> summed(n, 0.0f), low(n, 0.0f), high(n, 0.0f);
    summed[30] = 2.0f;
    summed[300] = 4.0f;
    low[100] = 1.25f;
    high[200] = 3.0f;
    SOnsetLists out;
    pick(summed, low, high, FRAME_120, &out);

    ASSERT_EQ(out.beats.count, 2u);
    ASSERT_EQ(out.lists[E_ONSET_LIST_SUMMED].count, 2u);
    EXPECT_EQ(out.lists[E_ONSET_LIST_SUMMED][1].time, 300.0f * FRAME_120);
    ASSERT_EQ(out.lists[E_ONSET_LIST_LOW].count, 1u);
    EXPECT_EQ(out.lists[E_ONSET_LIST_LOW][0].time, 100.0f * FRAME_120);
    ASSERT_EQ(out.lists[E_ONSET_LIST_HIGH].count, 1u);
    EXPECT_EQ(out.lists[E_ONSET_LIST_HIGH][0].strength, 3.0f);
    const SBeat& beat = out.beats[0];
    EXPECT_EQ(beat.flags, 0u);
    EXPECT_EQ(beat.reserved, 0u);
    for (u32 word : beat.candidateMember) EXPECT_EQ(word, 0u);
}
