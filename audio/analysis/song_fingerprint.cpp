#include "audio/analysis/song_fingerprint.h"

#include "core/cipher.h"
#include "core/digest.h"

#include <cstdlib>

namespace {
u8* g_pSongFeatureBuffer = nullptr;
u32 g_uSongFeatureBufferLength = 0;
}  // namespace

u32 computeFingerprintLetters(const SSpawnBar* bars, u32 barCount, f32 barDuration,
                              char out[FINGERPRINT_MAX_LETTERS]) {
    const s32 barsPerSegment = barDuration > 0.0f ? s32(FINGERPRINT_SEGMENT_SECONDS / barDuration) : 0;
    if (barsPerSegment < 1) return 0;
    const u32 segmentBars = u32(barsPerSegment);
    u32 letters = 0;
    for (u32 first = 0; first + segmentBars <= barCount && letters < FINGERPRINT_MAX_LETTERS; first += segmentBars) {
        f32 sum = 0.0f;
        for (u32 i = first; i < first + segmentBars; ++i) sum += bars[i].level;
        f32 mean = sum / (f32(segmentBars) + 0.01f);
        if (!(mean > 0.0f)) mean = 0.0f;
        if (mean > 1.0f) mean = 1.0f;
        out[letters++] = char('A' + s32(10.0f * mean));
    }
    return letters;
}

void makeFingerprintKey(u8 outKey[16]) {
    u8 digest[DIGEST_SIZE];
    computeDigestWithValue(digest, FINGERPRINT_KEY_SEED, sizeof(FINGERPRINT_KEY_SEED), FINGERPRINT_KEY_VALUE);
    for (u32 i = 0; i < CIPHER_KEY_SIZE; ++i) outKey[i] = digest[i];
}

void storeSongFingerprint(const char* letters, u32 count) {
    u8 key[CIPHER_KEY_SIZE];
    u8 iv[CIPHER_BLOCK_SIZE];
    makeFingerprintKey(key);
    makeZeroIvWithWord(iv, 0);
    u8* block = nullptr;
    u32 length = 0;
    encryptBufferWithLength(reinterpret_cast<const u8*>(letters), count, &block, &length, key, iv);
    releaseSongFeatureBuffer();
    g_pSongFeatureBuffer = block;
    g_uSongFeatureBufferLength = length;
}

const u8* getSongFeatureBuffer(u32* outLength) {
    if (outLength != nullptr) *outLength = g_uSongFeatureBufferLength;
    return g_pSongFeatureBuffer;
}

void releaseSongFeatureBuffer() {
    std::free(g_pSongFeatureBuffer);
    g_pSongFeatureBuffer = nullptr;
    g_uSongFeatureBufferLength = 0;
}
