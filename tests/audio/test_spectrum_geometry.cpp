// The geometry's refusals and frame counts. What it works out for each rate the pass accepts is
// pinned by the spectral pass's digests, one per transform size.
#include "audio/analysis/spectrum_geometry.h"

#include <gtest/gtest.h>

TEST(SpectrumGeometry, LowOddAndBrokenRatesAndZeroWidthsAreRefusedAndFrameCountsRoundUp) {
    SSpectrumGeometry g;
    for (f32 rate : {0.0f, 7999.0f, -44100.0f, 192001.0f, 192000.5f, __builtin_nanf("")})
        EXPECT_FALSE(computeSpectrumGeometry(rate, &g)) << rate;
    // 44,056 = 8 x 5,507: its smallest divisor from 120 up is far above 200.
    EXPECT_FALSE(computeSpectrumGeometry(44056.0f, &g));

    // Frame counts: 3 minutes of 16-bit stereo at 44.1 kHz give 22,680 frames; a partial sample
    // frame is dropped; zero widths are refused.
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
