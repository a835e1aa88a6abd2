// The global random source: one SFMT-19937 generator (the SIMD-oriented Fast Mersenne Twister,
// 32-bit output) for particles, effects, input testing and gameplay variation. Reproducible
// per-owner sequences use ClRandObjSFMT (core/rand_obj.h) instead.
//
// Main thread only: nothing here locks.
#pragma once

#include "core/types.h"

// 156 blocks of 128 bits, read out as 32-bit words.
constexpr u32 SFMT_BLOCK_COUNT = 156;
constexpr u32 SFMT_WORD_COUNT = SFMT_BLOCK_COUNT * 4;

struct SSfmtState {
    alignas(16) u32 words[SFMT_WORD_COUNT];
    // Next word to hand out; SFMT_WORD_COUNT or more means the state is regenerated first.
    u32 index;
    u32 seed;
    u32 initialised;
    // Draws since the last seeding; kept for inspection, the generator never reads it.
    u32 draws;
};

// Game code draws through the functions below; tests may read and set the record directly.
extern SSfmtState g_sfmtState;

// Seeds the generator (the reference initialisation by one 32-bit seed, then the period
// certification) and resets the draw count.
void sfmtInitGenRand(u32 seed);

// Remakes the whole state (seeding first with the fallback seed when nothing seeded it) and
// starts reading it from its first word.
void sfmtRefill();

// The next 32-bit word; the whole state is regenerated once every 624 draws. Inline: particles
// and glints draw tens of thousands of words a frame.
inline u32 sfmtGenRand32() {
    SSfmtState& state = g_sfmtState;
    if (state.index >= SFMT_WORD_COUNT) sfmtRefill();
    ++state.draws;
    return state.words[state.index++];
}

// Draws from the global generator with the read position held in the run, for a loop that draws
// many words: the same words in the same order as as many sfmtGenRand32 calls, the state's index
// and draw count written back when the state is remade and when the run ends. Nothing else may
// draw from the generator while a run is open.
class ClSfmtRun {
public:
    ClSfmtRun() : m_index(g_sfmtState.index) {}
    ~ClSfmtRun() { writeBack(); }
    ClSfmtRun(const ClSfmtRun&) = delete;
    ClSfmtRun& operator=(const ClSfmtRun&) = delete;

    u32 next() {
        if (m_index >= SFMT_WORD_COUNT) {
            writeBack();
            sfmtRefill();
            m_index = g_sfmtState.index;
        }
        ++m_taken;
        return g_sfmtState.words[m_index++];
    }
    // The next n words at once: a pointer into the state when it holds them all, else into spare
    // (room for n), filled word by word across the remaking. Read them before the next draw.
    const u32* take(u32 n, u32* spare) {
        if (m_index + n <= SFMT_WORD_COUNT) {
            const u32* words = g_sfmtState.words + m_index;
            m_index += n;
            m_taken += n;
            return words;
        }
        for (u32 i = 0; i < n; ++i) spare[i] = next();
        return spare;
    }

private:
    void writeBack() {
        g_sfmtState.index = m_index;
        g_sfmtState.draws += m_taken;
        m_taken = 0;
    }

    u32 m_index;
    u32 m_taken = 0;
};

// Takes n words and drops them: the state, its index and the draw count end as n calls of
// sfmtGenRand32 leave them, without a call per word.
void sfmtDiscard(u32 n);

// A draw times 2^-32, formed in double precision and rounded to f32. The exact range before
// rounding is [0, 1); the largest draws round up to exactly 1.0f, so a caller that turns the
// value into an index must clamp it.
f32 randomUnitFloat();
// The same of a word already drawn.
inline f32 unitFloatOfDraw(u32 draw) { return f32(f64(draw) * (1.0 / 4294967296.0)); }

// lo + (hi - lo) x randomUnitFloat(), the span rounded to f32 first.
f32 randomFloatInRange(f32 lo, f32 hi);
