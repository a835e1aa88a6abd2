// Present pacing on a fake clock: deadlines one period apart, restarts after a late frame, and the
// judgement that a swap claiming to wait for v-sync does not.
#include "platform/gfx/frame_pacer.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

constexpr u64 MS = 1000000;

TEST(FramePacer, PacedPresentsKeepOnePeriodApartUnlessNothingWaitsOrTheSwapIsShownNotToWait) {
    ClFramePacer pacer;
    pacer.configure(true, false, 50);  // 20 ms
    ASSERT_TRUE(pacer.pacing());
    // {asked at, presents at} in ms: the first present goes at once; slightly late (170) presents
    // at once and the deadline keeps its rhythm; more than a period late (300) gives no burst of
    // catch-up presents, the rhythm restarts from now.
    for (auto [at, presents] : {std::pair{100u, 100u}, {105u, 120u}, {121u, 140u}, {170u, 170u}, {171u, 180u}, {300u, 300u}, {301u, 320u}})
        EXPECT_EQ(pacer.beforePresent(at * MS), presents * MS) << at;

    // Without v-sync nothing waits. A swap said to wait is believed until thirty fast presents in
    // a row show that it does not; an unknown refresh rate is taken as 60 Hz.
    ClFramePacer immediate;
    immediate.configure(false, false, 60);
    immediate.beforePresent(MS);
    EXPECT_EQ(immediate.beforePresent(2 * MS), 2 * MS);

    ClFramePacer waiting;
    waiting.configure(true, true, 0);
    waiting.beforePresent(MS);
    EXPECT_EQ(waiting.beforePresent(2 * MS), 2 * MS) << "a waiting swap keeps the pace itself";
    u64 t = 3 * MS;
    waiting.afterPresent(t);
    for (u32 i = 0; i < FRAME_PACER_FAST_PRESENTS - 1; ++i) waiting.afterPresent(t += 2 * MS);
    waiting.afterPresent(t += 20 * MS);  // one slow present resets the count
    for (u32 i = 0; i < FRAME_PACER_FAST_PRESENTS - 1; ++i) waiting.afterPresent(t += 2 * MS);
    EXPECT_TRUE(waiting.swapWaits());
    waiting.afterPresent(t += 2 * MS);
    EXPECT_EQ(waiting.swapWaits(), false);
    EXPECT_EQ(waiting.pacing(), true);
    EXPECT_EQ(waiting.beforePresent(t), t);
    EXPECT_EQ(waiting.beforePresent(t + MS), t + 1000000000ull / 60) << "a period of the unknown rate's 60 Hz";
}

}  // namespace
