// Reproducible random generators owned by their users (the boss choice, the wave generation).
// Each one is the classic 32-bit Mersenne Twister MT19937, identical word for word to
// std::mt19937 for the same seed, and its whole state is saved as {seed, draws}: restoring
// replays the draws, so the same song always rebuilds the same waves.
//
// A generator belongs to one owner and does not lock.
#pragma once

#include "core/types.h"

constexpr u32 RAND_OBJ_WORD_COUNT = 624;
// The seed used when a generator is drawn from before anything seeded it.
constexpr u32 RAND_OBJ_DEFAULT_SEED = 5489;

// Saved generator state, three 32-bit words stored inside the save data.
struct SRandObjState {
    u32 valid;  // 1 when the record holds a state
    u32 seed;
    u32 draws;  // draws since that seeding
};
static_assert(sizeof(SRandObjState) == 12, "stored in the save data as three 32-bit words");

// Base of the random generator objects; it has no operations of its own.
class ClRandObj {
public:
    virtual ~ClRandObj() = default;

protected:
    ClRandObj() = default;
    ClRandObj(const ClRandObj&) = default;
    ClRandObj& operator=(const ClRandObj&) = default;
};

class ClRandObjSFMT : public ClRandObj {
public:
    // Unseeded: the first draw seeds with RAND_OBJ_DEFAULT_SEED.
    ClRandObjSFMT();

    // Seeds with the record's seed and skips its number of draws, so the next draw is the one
    // that followed the save. Linear in the number of draws.
    virtual void restoreState(const SRandObjState& record);
    virtual void seed(u32 s);
    // next() x 1/(2^32 - 1) in double precision, rounded: [0, 1] with both ends reachable.
    virtual f32 randomUnitFloat();
    // lo + (hi - lo) x randomUnitFloat(), the span rounded to f32 first.
    virtual f32 randomFloatInRange(f32 lo, f32 hi);
    // (next() mod 0x7FFFFFFF) mod n. n = 0 gives 0 (after one draw).
    virtual u32 randomBelow(u32 n);
    // randomFloatInRange over [value - value x fraction, value + value x fraction].
    virtual f32 randomAround(f32 value, f32 fraction);

    // The next tempered 32-bit word.
    u32 next();

    // The MT19937 state, in this order. Owners use the operations above; tests may set a word.
    u32 mt[RAND_OBJ_WORD_COUNT];
    // Position of the next word: RAND_OBJ_WORD_COUNT means regenerate first, one more means
    // never seeded.
    s32 index;
    u32 draws;  // since the last seeding
    u32 lastSeed;

private:
    void regenerate();
};
