#include "audio/analysis/spectrum_geometry.h"

#include <gtest/gtest.h>

#include <vector>

TEST(SpectrumGeometry, WorkedValuesFromTheRate) {
    struct SCase {
        f32 rate;
        u32 framesPerSecond, hop, window, transform, bands;
    };
    const SCase cases[] = {{44100.0f, 126, 350, 700, 1024, 18},
                           {192000.0f, 120, 1600, 3200, 4096, 24},
                           {8000.0f, 125, 64, 128, 128, 12}};
    for (const SCase& c : cases) {
        SSpectrumGeometry g;
        ASSERT_TRUE(computeSpectrumGeometry(c.rate, &g)) << c.rate;
        EXPECT_EQ(g.framesPerSecond, c.framesPerSecond);
        EXPECT_EQ(g.hop, c.hop);
        EXPECT_EQ(g.windowLength, c.window);
        EXPECT_EQ(g.transformSize, c.transform);
        EXPECT_EQ(g.bandCount, c.bands);
        EXPECT_EQ(g.frameDuration, 1.0f / f32(c.framesPerSecond));
    }
    EXPECT_EQ(spectrumFramesPerSecond(11025), 147u);
}

TEST(SpectrumGeometry, LowOddAndBrokenRatesAreRefused) {
    SSpectrumGeometry g;
    for (f32 rate : {0.0f, 7999.0f, -44100.0f, 192001.0f, 192000.5f, __builtin_nanf("")})
        EXPECT_FALSE(computeSpectrumGeometry(rate, &g)) << rate;
    // 44,056 = 8 x 5,507: its smallest divisor from 120 up is far above 200.
    EXPECT_FALSE(computeSpectrumGeometry(44056.0f, &g));
}

TEST(SpectrumGeometry, BandsArePowersOfOnePointThreeTilingTheBins) {
    EXPECT_EQ(spectrumBandWidth(0), 1u);
    EXPECT_EQ(spectrumBandWidth(3), 2u);
    EXPECT_EQ(spectrumBandWidth(23), 417u);
    // Tiny hops stop at the hop's bin count.
    EXPECT_EQ(spectrumBandCount(175), 16u);
    EXPECT_EQ(spectrumBandCount(735), 21u);
    EXPECT_EQ(spectrumBandCount(3), 3u);

    u32 first[SPECTRUM_BAND_CAPACITY];
    u32 width[SPECTRUM_BAND_CAPACITY];
    const u32 count = layoutSpectrumBands(350, first, width, SPECTRUM_BAND_CAPACITY);
    ASSERT_EQ(count, 18u);
    u32 next = 0;
    for (u32 b = 0; b < count; ++b) {
        EXPECT_EQ(first[b], next);
        next += width[b];
    }
    EXPECT_EQ(next, 350u);
    EXPECT_EQ(width[17], 73u);  // the last band is cut
}

TEST(SpectrumGeometry, ThreeBandSplitUsesNyquistOverHop) {
    const SThreeBandSplit a = computeThreeBandSplit(22050, 350);
    EXPECT_EQ(a.low, 7u);
    EXPECT_EQ(a.middle, 24u);
    EXPECT_EQ(a.high, 98u);
    // Every accepted rate keeps the split inside the kept bins.
    for (u32 rate = SPECTRUM_MIN_SAMPLE_RATE; rate <= SPECTRUM_MAX_SAMPLE_RATE; rate += 50) {
        SSpectrumGeometry g;
        if (!computeSpectrumGeometry(static_cast<f32>(rate), &g)) continue;
        const SThreeBandSplit s = computeThreeBandSplit(g.nyquist, g.hop);
        EXPECT_LE(s.low, s.middle) << rate;
        EXPECT_LE(s.middle, s.high) << rate;
        EXPECT_LE(s.high, g.hop) << rate;
    }
}

// 3 minutes of 16-bit stereo at 44.1 kHz give 22,680 frames; a partial sample frame is dropped.
TEST(SpectrumGeometry, FrameCountRoundsUpAndRefusesZeroWidths) {
    struct SCase {
        const char* name;
        u32 bytes, channels, bytesPerSample, hop, frames;
    };
    const SCase cases[] = {
        {"three minutes", 7938000u * 4u, 2, 2, 350, 22680},
        {"one whole hop", 350u * 4u, 2, 2, 350, 1},
        {"a hop and a partial sample frame", 351u * 4u + 3u, 2, 2, 350, 2},
        {"no channels", 1000, 0, 2, 350, 0},
        {"no sample width", 1000, 2, 0, 350, 0},
        {"no hop", 1000, 2, 2, 0, 0},
        {"the largest size", 0xFFFFFFFFu, 1, 1, 64, 67108864},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(spectrumFrameCount(c.bytes, c.channels, c.bytesPerSample, c.hop), c.frames) << c.name;
}
