#include "core/rand_obj.h"
#include "core/random.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Inverse of the MT19937 output tempering: the state word that a given output comes from.
u32 untemper(u32 y) {
    y ^= y >> 18;
    y ^= (y << 15) & 0xEFC60000u;
    u32 x = y;
    for (int i = 0; i < 4; ++i) x = y ^ ((x << 7) & 0x9D2C5680u);
    y = x;
    for (int i = 0; i < 2; ++i) x = y ^ (x >> 11);
    return x;
}

// Makes the generator's next draw the given word, as if the state had produced it.
void forceNextDraw(ClRandObjSFMT& generator, u32 draw) {
    generator.seed(1);
    generator.index = 0;
    generator.mt[0] = untemper(draw);
}

u64 pairOfDraws() {
    const u64 low = sfmtGenRand32();
    const u64 high = sfmtGenRand32();
    return low | (high << 32);
}

}  // namespace

// ---- Global SFMT-19937 generator: worked values ----

// The reference output as 64-bit words (two consecutive 32-bit draws, low word first) for seed
// 4321; pairs 310 to 313 span the first regeneration of the 624-word state.
TEST(SfmtGenerator, SequenceCrossesRegenerationAsReference) {
    sfmtInitGenRand(4321);
    std::vector<u64> pairs(314);
    std::vector<u32> indexes;
    for (u64& pair : pairs) pair = pairOfDraws(), indexes.push_back(g_sfmtState.index);
    EXPECT_EQ(indexes[309], 620u);
    EXPECT_EQ(indexes[310], 622u);
    EXPECT_EQ(indexes[311], SFMT_WORD_COUNT);
    const struct {
        u32 draw;
        u64 value;
    } reference[] = {{0, 16924766246869039260ull},   {1, 8201438687333352714ull},   {310, 18146933153017348921ull},
                     {311, 17369978576367231139ull}, {312, 1246940717230386603ull}, {313, 11335758870083327110ull}};
    for (const auto& row : reference) EXPECT_EQ(pairs[row.draw], row.value) << "pair " << row.draw;
}

// Discarding across a regeneration leaves the generator where as many draws one by one do.
TEST(SfmtGenerator, DiscardingWordsLeavesTheGeneratorWhereDrawingThemDoes) {
    sfmtInitGenRand(4321);
    for (u32 i = 0; i < 700; ++i) sfmtGenRand32();
    const SSfmtState drawn = g_sfmtState;
    const u32 nextDrawn = sfmtGenRand32();
    sfmtInitGenRand(4321);
    sfmtDiscard(3);
    sfmtDiscard(697);
    EXPECT_EQ(g_sfmtState.index, drawn.index);
    EXPECT_EQ(g_sfmtState.draws, drawn.draws);
    EXPECT_EQ(sfmtGenRand32(), nextDrawn);
}

// ---- Per-object MT19937 ----

TEST(RandObjSFMT, UnseededStartsAtReferenceSeed5489AndEqualsStdMt19937AcrossRegenerations) {
    ClRandObjSFMT generator;
    EXPECT_EQ(generator.next(), 3499211612u);
    EXPECT_EQ(generator.next(), 581869302u);

    for (u32 seed : {0u, 0x12345678u, 0xFFFFFFFFu}) {
        ClRandObjSFMT generator;
        generator.seed(seed);
        std::mt19937 oracle(seed);
        for (int i = 0; i < 3 * 624 + 5; ++i) ASSERT_EQ(generator.next(), u32(oracle())) << seed << " draw " << i;
    }
}

TEST(RandObjSFMT, RestoreInFreshObjectContinuesTheSequence) {
    for (u32 drawsBefore : {1u, 624u, 1500u}) {
        ClRandObjSFMT original;
        original.seed(2024);
        for (u32 i = 0; i < drawsBefore; ++i) original.next();

        ClRandObjSFMT restored;
        restored.restoreState(SRandObjState{1, 2024, drawsBefore});
        for (int i = 0; i < 700; ++i) ASSERT_EQ(restored.next(), original.next()) << "after " << drawsBefore;
    }
}

// ---- Per-object derived draws ----

TEST(RandObjSFMTDraws, Draw7FFFFFFFReducesToZeroFirst) {
    ClRandObjSFMT generator;
    // 0x7FFFFFFF itself is odd; 0xFFFFFFFF mod 0x7FFFFFFF = 1.
    forceNextDraw(generator, 0x7FFFFFFFu);
    EXPECT_EQ(generator.randomBelow(2), 0u);
    forceNextDraw(generator, 0xFFFFFFFFu);
    EXPECT_EQ(generator.randomBelow(1000), 1u);
    EXPECT_EQ(generator.randomBelow(0), 0u) << "a zero count does not divide by zero";
}
