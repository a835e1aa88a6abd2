// The song's fingerprint: one letter 'A' to 'K' per 25-second segment of its spawn-bar levels,
// enciphered into the song-feature buffer. Whatever reads the buffer deciphers it with the same
// key (makeFingerprintKey) and an all-zero initialisation vector.
#pragma once

#include "audio/analysis/spawn_bars.h"
#include "core/types.h"

constexpr u32 FINGERPRINT_MAX_LETTERS = 30;
constexpr f32 FINGERPRINT_SEGMENT_SECONDS = 25.0f;

// The key is the first 16 bytes of SHA-256(seed || value as little-endian u32). Both are ours;
// changing either makes every stored fingerprint unreadable.
constexpr u8 FINGERPRINT_KEY_SEED[16] = {0x56, 0x4C, 0x44, 0x58, 0x2D, 0x66, 0x70, 0x72,
                                         0xB3, 0x1E, 0x7A, 0x09, 0xC4, 0x5D, 0x92, 0x6E};
constexpr u32 FINGERPRINT_KEY_VALUE = 0x2F6A9C15u;

// Segments of trunc(25 / bar duration) bars, whole segments only, at most 30. Each segment's mean
// level, sum / (count + 0.01) held to [0, 1], gives 'A' + trunc(10 x mean). Writes the letters
// (no terminator) and returns how many.
u32 computeFingerprintLetters(const SSpawnBar* bars, u32 barCount, f32 barDuration,
                              char out[FINGERPRINT_MAX_LETTERS]);

void makeFingerprintKey(u8 outKey[16]);

// Enciphers the letters (AES-128-CBC with the length block) into a new song-feature buffer,
// freeing the previous one.
void storeSongFingerprint(const char* letters, u32 count);

// The enciphered fingerprint and its length; null and 0 when there is none.
const u8* getSongFeatureBuffer(u32* outLength);
// Frees the buffer (shutdown; a later computeSongFeatures makes a new one).
void releaseSongFeatureBuffer();
