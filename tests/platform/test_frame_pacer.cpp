// Present pacing on a fake clock: deadlines one period apart, restarts after a late frame, and the
// judgement that a swap claiming to wait for v-sync does not.
#include "platform/gfx/frame_pacer.h"

#include <gtest/gtest.h>

namespace {

constexpr u64 MS = 1000000;

TEST(FramePacer, PacedPresentsKeepOnePeriodApartAndALateFrameRestartsTheDeadline) {
    ClFramePacer pacer;
    pacer.configure(true, false, 50);  // 20 ms
    ASSERT_TRUE(pacer.pacing());
    EXPECT_EQ(pacer.beforePresent(100 * MS), 100 * MS) << "the first present goes at once";
    EXPECT_EQ(pacer.beforePresent(105 * MS), 120 * MS);
    EXPECT_EQ(pacer.beforePresent(121 * MS), 140 * MS);
    // Slightly late: presents at once, the deadline keeps its rhythm.
    EXPECT_EQ(pacer.beforePresent(170 * MS), 170 * MS);
    EXPECT_EQ(pacer.beforePresent(171 * MS), 180 * MS);
    // More than a period late: no burst of catch-up presents, the rhythm restarts from now.
    EXPECT_EQ(pacer.beforePresent(300 * MS), 300 * MS);
    EXPECT_EQ(pacer.beforePresent(301 * MS), 320 * MS);
}

TEST(FramePacer, WithoutVsyncOrWithAWaitingSwapNothingWaitsAndUnknownRefreshIsSixtyHertz) {
    ClFramePacer immediate;
    immediate.configure(false, false, 60);
    ClFramePacer waitingSwap;
    waitingSwap.configure(true, true, 0);
    EXPECT_EQ(waitingSwap.periodNs(), 1000000000ull / 60);
    for (u64 t = 0; t < 100; ++t) {
        EXPECT_EQ(immediate.beforePresent(t * MS), t * MS);
        EXPECT_EQ(waitingSwap.beforePresent(t * 17 * MS), t * 17 * MS);
        waitingSwap.afterPresent(t * 17 * MS);
    }
    EXPECT_TRUE(waitingSwap.swapWaits()) << "presents a period apart: the swap does wait";
}

TEST(FramePacer, ThirtyFastPresentsInARowShowTheSwapDoesNotWait) {
    ClFramePacer pacer;
    pacer.configure(true, true, 60);
    u64 t = 0;
    pacer.afterPresent(t);
    for (u32 i = 0; i < FRAME_PACER_FAST_PRESENTS - 1; ++i) pacer.afterPresent(t += 2 * MS);
    pacer.afterPresent(t += 20 * MS);  // one slow present resets the count
    for (u32 i = 0; i < FRAME_PACER_FAST_PRESENTS - 1; ++i) pacer.afterPresent(t += 2 * MS);
    EXPECT_TRUE(pacer.swapWaits());
    pacer.afterPresent(t += 2 * MS);
    EXPECT_FALSE(pacer.swapWaits());
    EXPECT_TRUE(pacer.pacing());
    EXPECT_EQ(pacer.beforePresent(t), t);
    EXPECT_EQ(pacer.beforePresent(t + MS), t + pacer.periodNs());
}

}  // namespace
