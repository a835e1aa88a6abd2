#include "core/rand_obj.h"

namespace {

// The published MT19937 parameters.
constexpr u32 MT_MIDDLE = 397;
constexpr u32 MT_MATRIX_A = 0x9908B0DFu;
constexpr u32 MT_UPPER_MASK = 0x80000000u;
constexpr u32 MT_LOWER_MASK = 0x7FFFFFFFu;

constexpr s32 INDEX_REGENERATE = s32(RAND_OBJ_WORD_COUNT);
constexpr s32 INDEX_UNSEEDED = INDEX_REGENERATE + 1;

// Draws are first reduced by this, so the draw 0x7FFFFFFF counts as 0.
constexpr u32 DRAW_REDUCTION = 0x7FFFFFFFu;

inline u32 twist(u32 upper, u32 lower, u32 middle) {
    const u32 y = (upper & MT_UPPER_MASK) | (lower & MT_LOWER_MASK);
    return middle ^ (y >> 1) ^ ((y & 1u) != 0 ? MT_MATRIX_A : 0u);
}

}  // namespace

ClRandObjSFMT::ClRandObjSFMT()
    : mt{}, index(INDEX_UNSEEDED), draws(0), lastSeed(RAND_OBJ_DEFAULT_SEED) {}

void ClRandObjSFMT::seed(u32 s) {
    draws = 0;
    lastSeed = s;
    mt[0] = s;
    for (u32 i = 1; i < RAND_OBJ_WORD_COUNT; ++i) {
        mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + i;
    }
    index = INDEX_REGENERATE;
}

void ClRandObjSFMT::regenerate() {
    constexpr u32 n = RAND_OBJ_WORD_COUNT;
    u32 i = 0;
    for (; i < n - MT_MIDDLE; ++i) {
        mt[i] = twist(mt[i], mt[i + 1], mt[i + MT_MIDDLE]);
    }
    for (; i < n - 1; ++i) {
        mt[i] = twist(mt[i], mt[i + 1], mt[i + MT_MIDDLE - n]);
    }
    mt[n - 1] = twist(mt[n - 1], mt[0], mt[MT_MIDDLE - 1]);
}

u32 ClRandObjSFMT::next() {
    if (index >= INDEX_REGENERATE) {
        if (index == INDEX_UNSEEDED) {
            seed(RAND_OBJ_DEFAULT_SEED);
        }
        regenerate();
        index = 0;
    }
    u32 y = mt[index];
    ++index;
    ++draws;
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

void ClRandObjSFMT::restoreState(const SRandObjState& record) {
    seed(record.seed);
    // Tempering does not touch the state, so skipping draws only moves the index, a block of
    // 624 at a time.
    u32 remaining = record.draws;
    while (remaining > 0) {
        if (index >= INDEX_REGENERATE) {
            regenerate();
            index = 0;
        }
        const u32 available = RAND_OBJ_WORD_COUNT - u32(index);
        const u32 step = remaining < available ? remaining : available;
        index += s32(step);
        remaining -= step;
    }
    draws += record.draws;
}

f32 ClRandObjSFMT::randomUnitFloat() {
    return f32(f64(next()) * (1.0 / 4294967295.0));
}

f32 ClRandObjSFMT::randomFloatInRange(f32 lo, f32 hi) {
    const f32 span = hi - lo;
    return lo + span * randomUnitFloat();
}

u32 ClRandObjSFMT::randomBelow(u32 n) {
    const u32 reduced = next() % DRAW_REDUCTION;
    return n != 0 ? reduced % n : 0;
}

f32 ClRandObjSFMT::randomAround(f32 value, f32 fraction) {
    const f32 spread = value * fraction;
    return randomFloatInRange(value - spread, value + spread);
}
