#include "core/sweep_segment.h"

#include <gtest/gtest.h>

#include "core/game_clock.h"

namespace {

class SweepSegment : public ::testing::Test {
protected:
    void SetUp() override { saved = g_aGameClocks[GAME_CLOCK_GAMEPLAY]; }
    void TearDown() override { g_aGameClocks[GAME_CLOCK_GAMEPLAY] = saved; }
    static void setStep(f32 seconds) { g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = seconds; }

    SGameClock saved{};
};

}  // namespace

TEST_F(SweepSegment, GrowsToItsSpanSlidesAndFinishesWhenLowPassesTheEndEitherWay) {
    ClSweepSegment s;
    s.init(10.0f, 3.0f, 2.0f);
    EXPECT_EQ(s.hasStarted(), 0u);
    setStep(0.5f);
    int updates = 0;
    u32 running = 1;
    while (running && updates < 100) {
        running = s.update();
        ++updates;
        EXPECT_LE(s.high - s.low, 3.0f + 1e-5f);
    }
    // lead reaches 13 after 13 steps, where low passes 10.
    EXPECT_EQ(updates, 14);
    EXPECT_EQ(s.low, 10.0f);
    EXPECT_EQ(s.high, 10.0f);

    // Backwards, mirrored.
    s.init(10.0f, 3.0f, -2.0f);
    setStep(1.0f);
    updates = 0;
    while (s.update() && updates < 100) ++updates;
    EXPECT_EQ(s.high, 0.0f);
}
