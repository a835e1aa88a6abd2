// Onset functions and peak picking over generated three-band energies.
#include "audio/analysis/onset_detection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
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

}  // namespace

TEST(OnsetStrength, RisesOverWindowsInSinglePrecisionAheadLessBehindNeverUsingFrameZero) {
    EXPECT_EQ(onsetRiseWindow(FRAME_126), 5u);
    EXPECT_EQ(onsetPeakWindow(FRAME_126), 25u);
    EXPECT_EQ(onsetRiseWindow(FRAME_120), 4u);
    EXPECT_EQ(onsetPeakWindow(FRAME_120), 24u);
    EXPECT_EQ(onsetPeakWindow(0.0f), 0u);

    // The rise over the window ahead less the window behind, never using frame zero.
    std::vector<SThreeBandEnergy> energies(40, SThreeBandEnergy{0.0f, 0.0f, 0.0f});
    energies[0].low = 100.0f;  // frame 0 never counts
    for (u32 i = 20; i < 40; ++i) energies[i].low = 1.0f;
    energies[25].middle = -3.0f;  // negative energies count as 0
    energies[26].high = NAN;      // so do values that are not numbers
    const u32 n = u32(energies.size());

    struct SCase {
        const char* name;
        u32 band, frame;
        f32 strength;
    };
    const SCase cases[] = {
        {"frame 0 never counts", 0, 0, 0.0f},
        {"ahead [16, 21) holds frame 20", 0, 16, 1.0f},
        {"ahead [20, 25), behind empty", 0, 20, 5.0f},
        {"5 ahead less 3 behind", 0, 23, 2.0f},
        {"cut ahead, clamped at 0", 0, 38, 0.0f},
        {"a negative energy counts as 0", 1, 25, 0.0f},
        {"a value that is not a number counts as 0", 2, 26, 0.0f},
    };
    for (const SCase& c : cases) EXPECT_EQ(onsetStrength(energies.data(), n, c.band, c.frame, 5), c.strength) << c.name;
}

// The functions are onsetStrength's rises, clamped at 0, summed band by band in band order.
TEST(OnsetFunctions, AreTheBandsOnsetStrengthsBitForBit) {
    const u32 n = 300;
    std::mt19937 rng(9);
    std::uniform_real_distribution<f32> dist(-0.2f, 1.0f);
    std::vector<SThreeBandEnergy> energies(n);
    for (SThreeBandEnergy& e : energies) e = SThreeBandEnergy{dist(rng), dist(rng), dist(rng)};
    energies[7].middle = NAN;
    for (u32 window : {1u, 5u, 17u}) {
        std::vector<f32> summed(n), low(n), high(n), expectedSummed(n), expectedLow(n), expectedHigh(n);
        computeOnsetFunctions(energies.data(), n, window, summed.data(), low.data(), high.data());
        for (u32 i = 0; i < n; ++i) {
            f32 rises[3];
            for (u32 band = 0; band < 3; ++band)
                rises[band] = std::max(onsetStrength(energies.data(), n, band, i, window), 0.0f);
            expectedSummed[i] = ((0.0f + rises[0]) + rises[1]) + rises[2];
            expectedLow[i] = rises[0];
            expectedHigh[i] = rises[2];
        }
        EXPECT_EQ(summed, expectedSummed) << window;
        EXPECT_EQ(low, expectedLow) << window;
        EXPECT_EQ(high, expectedHigh) << window;
    }
}

TEST(OnsetPeak, NeighboursMustBeStrictlySmallerWithinWindowsCutAtTheEndsAndThresholdsAreExact) {
    const std::vector<f32> values = {0.0f, 1.0f, 3.0f, 1.0f, 3.0f, 0.0f, 0.0f, 2.0f, 0.0f};
    const u32 n = u32(values.size());
    // Frame 2 with a window of 3 meets frame 4's equal value, of 2 leaves it out; frame 7 is below
    // the threshold. At frame 0 the window is [0, w): a larger value at frame w does not count.
    const f32 head[] = {5.0f, 1.0f, 1.0f, 9.0f}, single[] = {7.0f};
    EXPECT_FALSE(isOnsetPeak(values.data(), n, 2, 3, 1.0f)) << "window 3 meets frame 4's equal value";
    EXPECT_TRUE(isOnsetPeak(values.data(), n, 2, 2, 1.0f)) << "window 2 leaves frame 4 out";
    EXPECT_FALSE(isOnsetPeak(values.data(), n, 7, 2, 2.5f)) << "below the threshold";
    EXPECT_TRUE(isOnsetPeak(head, 4, 0, 3, 1.0f)) << "the larger value at frame w is outside [0, w)";
    EXPECT_FALSE(isOnsetPeak(head, 4, 0, 4, 1.0f)) << "the larger value inside the window";
    EXPECT_TRUE(isOnsetPeak(head, 4, 3, 25, 1.0f)) << "the last frame, its window cut";
    EXPECT_FALSE(isOnsetPeak(single, 1, 0, 25, 1.0f)) << "a lone value";

    // Exact thresholds are picked and anything smaller is not.
    std::vector<f32> summed(200, 0.0f), low(200, 0.0f), high(200, 0.0f);
    summed[50] = 1.5f;
    low[50] = high[50] = 1.0f;
    summed[120] = std::nextafter(1.5f, 0.0f);
    low[120] = high[120] = std::nextafter(1.0f, 0.0f);
    SOnsetLists out;
    pickOnsets(summed.data(), low.data(), high.data(), u32(summed.size()), FRAME_126, &out.beats, out.lists);

    for (const SBeatArray* list : {&out.beats, &out.lists[0], &out.lists[1], &out.lists[2]}) {
        ASSERT_EQ(list->count, 1u);
        EXPECT_EQ((*list)[0].time, 50.0f * FRAME_126);
    }
    EXPECT_EQ(out.lists[E_ONSET_LIST_SUMMED][0].strength, 1.5f);
    EXPECT_EQ(out.lists[E_ONSET_LIST_LOW][0].strength, 1.0f);
}
