// The fingerprint letters from the bar levels, and the enciphered song-feature buffer.
#include "audio/analysis/song_fingerprint.h"

#include "core/cipher.h"
#include "tests/support/cipher_read.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<SSpawnBar> barsWithLevels(std::initializer_list<std::pair<u32, f32>> runs) {
    std::vector<SSpawnBar> bars;
    for (const auto& [count, level] : runs) bars.insert(bars.end(), count, SSpawnBar{0.0f, 0.0f, 0.0f, level, 0, 0, 0.0f});
    return bars;
}

std::string letters(const std::vector<SSpawnBar>& bars, f32 barDuration) {
    char out[FINGERPRINT_MAX_LETTERS];
    const u32 count = computeFingerprintLetters(bars.data(), u32(bars.size()), barDuration, out);
    return std::string(out, count);
}

}  // namespace

TEST(FingerprintLetters, OneLetterPerWholeTwentyFiveSecondSegmentFromItsMeanLevelAtMostThirty) {
    // Half-second bars: 50 to a segment. A full segment at level 1 reads 50 / 50.01 -> 'J'.
    EXPECT_EQ(letters(barsWithLevels({{50, 0.0f}, {50, 1.0f}, {50, 0.55f}, {25, 0.3f}, {24, 0.3f}}), 0.5f), "AJF");
    // The mean is over the segment's own bars: 20 / 50.01 = 0.39992 -> 'D'; 10 / 50.01 -> 'B'.
    // Bars of 62/126 s: trunc(25 / 0.49206) = 50 bars as well.
    const std::vector<SSpawnBar> bars = barsWithLevels({{10, 0.0f}, {40, 0.5f}, {50, 0.2f}});
    EXPECT_EQ(letters(bars, 0.5f), "DB");
    EXPECT_EQ(letters(bars, 62.0f / 126.0f), "DB");
    // Levels outside 0 to 1 are held to the letter range.
    EXPECT_EQ(letters(barsWithLevels({{50, 3.0f}, {50, -1.0f}}), 0.5f), "KA");
    // At most thirty letters, and none for too short or degenerate input.
    const std::vector<SSpawnBar> longSong = barsWithLevels({{50 * 40, 0.75f}});
    EXPECT_EQ(letters(longSong, 0.5f), std::string(30, 'H'));
    EXPECT_EQ(letters(barsWithLevels({{49, 1.0f}}), 0.5f), "");
    EXPECT_EQ(letters(longSong, 0.0f), "");
    EXPECT_EQ(letters(longSong, 30.0f), "") << "a bar longer than a segment gives no whole segment";
}

TEST(SongFeatureBuffer, HoldsTheLettersEncipheredAndIsReplacedAndReleased) {
    // The buffer's length and deciphered text; one padded block and the length block for "ABC".
    struct SStored {
        u32 length;
        std::string text;
    };
    const auto stored = [] {
        u32 length = 0;
        const u8* buffer = getSongFeatureBuffer(&length);
        if (!buffer) return SStored{length, "(none)"};
        u8 key[CIPHER_KEY_SIZE];
        u8 iv[CIPHER_BLOCK_SIZE];
        makeFingerprintKey(key);
        makeZeroIvWithWord(iv, 0);
        std::string text;
        return SStored{length, test_support::decipherWithLength(buffer, length, key, iv, &text) ? text : "(undecipherable)"};
    };
    storeSongFingerprint("ABC", 3);
    const SStored short_ = stored();
    EXPECT_EQ(short_.length, 32u);
    EXPECT_EQ(short_.text, "ABC");
    u32 length = 0;
    const std::string raw(reinterpret_cast<const char*>(getSongFeatureBuffer(&length)), length);
    EXPECT_EQ(raw.find("ABC"), std::string::npos) << "never stored in the clear";
    const std::string many(30, 'K');
    storeSongFingerprint(many.data(), u32(many.size()));
    const SStored longer = stored();
    EXPECT_EQ(longer.length, 48u);
    EXPECT_EQ(longer.text, many);
    releaseSongFeatureBuffer();
    const SStored released = stored();
    EXPECT_EQ(released.length, 0u);
    EXPECT_EQ(released.text, "(none)");
}
