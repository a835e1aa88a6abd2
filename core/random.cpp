#include "core/random.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The published SFMT-19937 parameters (reference implementation 1.3).
constexpr u32 SFMT_POS1 = 122;
constexpr u32 SFMT_SL1 = 18;
constexpr u32 SFMT_SL2_BYTES = 1;
constexpr u32 SFMT_SR1 = 11;
constexpr u32 SFMT_SR2_BYTES = 1;
constexpr u32 SFMT_MSK[4] = {0xDFFFFFEFu, 0xDDFECB7Fu, 0xBFFAFFFFu, 0xBFFFFFF6u};
constexpr u32 SFMT_PARITY[4] = {0x00000001u, 0x00000000u, 0x00000000u, 0x13C9E684u};

// Used when something draws before the start-up seeded the generator: an unseeded state is
// all zero, and the recursion would then return 0 for ever.
constexpr u32 SFMT_FALLBACK_SEED = 5489;

#if defined(__SSE2__)

// The recursion on a whole block in one register: the byte shifts move the 128-bit block, the
// word shifts each 32-bit word, exactly as the four-word form.
inline __m128i recursionSse2(__m128i a, __m128i b, __m128i c, __m128i d, __m128i mask) {
    const __m128i x = _mm_slli_si128(a, SFMT_SL2_BYTES);
    const __m128i y = _mm_and_si128(_mm_srli_epi32(b, SFMT_SR1), mask);
    const __m128i z = _mm_srli_si128(c, SFMT_SR2_BYTES);
    const __m128i v = _mm_slli_epi32(d, SFMT_SL1);
    return _mm_xor_si128(_mm_xor_si128(_mm_xor_si128(a, x), _mm_xor_si128(y, z)), v);
}

// c and d are the two blocks made last, so the first steps take them from the end of the state.
// The partner block lies SFMT_POS1 ahead, wrapping round to the blocks already made.
void regenerateAll() {
    __m128i* blocks = reinterpret_cast<__m128i*>(g_sfmtState.words);
    const __m128i mask = _mm_set_epi32(int(SFMT_MSK[3]), int(SFMT_MSK[2]), int(SFMT_MSK[1]), int(SFMT_MSK[0]));
    __m128i c = _mm_load_si128(&blocks[SFMT_BLOCK_COUNT - 2]);
    __m128i d = _mm_load_si128(&blocks[SFMT_BLOCK_COUNT - 1]);
    u32 i = 0;
    for (; i < SFMT_BLOCK_COUNT - SFMT_POS1; ++i) {
        const __m128i made = recursionSse2(_mm_load_si128(&blocks[i]), _mm_load_si128(&blocks[i + SFMT_POS1]), c, d, mask);
        _mm_store_si128(&blocks[i], made);
        c = d;
        d = made;
    }
    for (; i < SFMT_BLOCK_COUNT; ++i) {
        const __m128i partner = _mm_load_si128(&blocks[i + SFMT_POS1 - SFMT_BLOCK_COUNT]);
        const __m128i made = recursionSse2(_mm_load_si128(&blocks[i]), partner, c, d, mask);
        _mm_store_si128(&blocks[i], made);
        c = d;
        d = made;
    }
}

#else

// Shifts of a whole 128-bit block by a number of bytes.
inline void shiftLeft128(u32 out[4], const u32 in[4], u32 bytes) {
    const u64 high = (u64(in[3]) << 32) | in[2];
    const u64 low = (u64(in[1]) << 32) | in[0];
    const u64 outHigh = (high << (bytes * 8)) | (low >> (64 - bytes * 8));
    const u64 outLow = low << (bytes * 8);
    out[0] = u32(outLow);
    out[1] = u32(outLow >> 32);
    out[2] = u32(outHigh);
    out[3] = u32(outHigh >> 32);
}

inline void shiftRight128(u32 out[4], const u32 in[4], u32 bytes) {
    const u64 high = (u64(in[3]) << 32) | in[2];
    const u64 low = (u64(in[1]) << 32) | in[0];
    const u64 outLow = (low >> (bytes * 8)) | (high << (64 - bytes * 8));
    const u64 outHigh = high >> (bytes * 8);
    out[0] = u32(outLow);
    out[1] = u32(outLow >> 32);
    out[2] = u32(outHigh);
    out[3] = u32(outHigh >> 32);
}

// One step of the recursion over 128-bit blocks of four words (word 0 least significant):
// a = a ^ (a << SL2 bytes) ^ ((b >> SR1) & MSK) ^ (c >> SR2 bytes) ^ (d << SL1).
inline void recursion(u32* a, const u32* b, const u32* c, const u32* d) {
    u32 x[4];
    u32 y[4];
    shiftLeft128(x, a, SFMT_SL2_BYTES);
    shiftRight128(y, c, SFMT_SR2_BYTES);
    for (int i = 0; i < 4; ++i) {
        a[i] = a[i] ^ x[i] ^ ((b[i] >> SFMT_SR1) & SFMT_MSK[i]) ^ y[i] ^ (d[i] << SFMT_SL1);
    }
}

// c and d are the two blocks made last, so the first steps take them from the end of the state.
void regenerateAll() {
    u32* words = g_sfmtState.words;
    const u32* c = &words[(SFMT_BLOCK_COUNT - 2) * 4];
    const u32* d = &words[(SFMT_BLOCK_COUNT - 1) * 4];
    for (u32 i = 0; i < SFMT_BLOCK_COUNT; ++i) {
        const u32 partner = (i + SFMT_POS1) % SFMT_BLOCK_COUNT;
        u32* block = &words[i * 4];
        recursion(block, &words[partner * 4], c, d);
        c = d;
        d = block;
    }
}

#endif

// Makes sure the state lies on the full period: when the parity check fails, one bit is flipped.
void certifyPeriod() {
    u32* words = g_sfmtState.words;
    u32 inner = 0;
    for (int i = 0; i < 4; ++i) {
        inner ^= words[i] & SFMT_PARITY[i];
    }
    for (u32 shift = 16; shift > 0; shift >>= 1) {
        inner ^= inner >> shift;
    }
    if ((inner & 1) == 1) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        for (u32 bit = 1; bit != 0; bit <<= 1) {
            if ((bit & SFMT_PARITY[i]) != 0) {
                words[i] ^= bit;
                return;
            }
        }
    }
}

}  // namespace

SSfmtState g_sfmtState = {{}, SFMT_WORD_COUNT, 0, 0, 0};

void sfmtInitGenRand(u32 seed) {
    u32* words = g_sfmtState.words;
    words[0] = seed;
    for (u32 i = 1; i < SFMT_WORD_COUNT; ++i) {
        words[i] = 1812433253u * (words[i - 1] ^ (words[i - 1] >> 30)) + i;
    }
    certifyPeriod();
    g_sfmtState.index = SFMT_WORD_COUNT;
    g_sfmtState.seed = seed;
    g_sfmtState.initialised = 1;
    g_sfmtState.draws = 0;
}

void sfmtRefill() {
    SSfmtState& state = g_sfmtState;
    if (state.initialised == 0) {
        sfmtInitGenRand(SFMT_FALLBACK_SEED);
    }
    regenerateAll();
    state.index = 0;
}

void sfmtDiscard(u32 n) {
    SSfmtState& state = g_sfmtState;
    while (n != 0) {
        if (state.index >= SFMT_WORD_COUNT) sfmtRefill();
        const u32 taken = std::min(n, SFMT_WORD_COUNT - state.index);
        state.index += taken;
        state.draws += taken;
        n -= taken;
    }
}

f32 randomUnitFloat() {
    return unitFloatOfDraw(sfmtGenRand32());
}

f32 randomFloatInRange(f32 lo, f32 hi) {
    const f32 span = hi - lo;
    return lo + span * randomUnitFloat();
}
