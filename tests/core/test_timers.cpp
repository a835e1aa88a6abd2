// Count-up timers on the game clocks and the blink test.
#include "core/game_clock.h"
#include "core/timers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

void resetClocks() { std::fill(std::begin(g_aGameClocks), std::end(g_aGameClocks), SGameClock{}); }

// Both game modes set the clocks, then advance the timers.
void frame(f32 systemStep, f32 gameplayStep) {
    setClockDelta(GAME_CLOCK_SYSTEM, systemStep);
    setClockDelta(GAME_CLOCK_GAMEPLAY, gameplayStep);
    updateTimers();
}

class Timers : public ::testing::Test {
protected:
    void SetUp() override {
        resetClocks();
        timersInit();
    }
    void TearDown() override {
        timersShutdown();
        resetClocks();
    }
};

TEST_F(Timers, EachTimerRunsOnItsOwnClockWhileRunning) {
    SCountUpTimer* upOnSystem = takeCountUpTimer(GAME_CLOCK_SYSTEM);
    SCountUpTimer* upOnGameplay = takeCountUpTimer(GAME_CLOCK_GAMEPLAY);
    frame(0.25f, 0.0f);
    upOnSystem->running = 0;
    frame(0.25f, 0.0f);
    EXPECT_EQ(upOnSystem->elapsed, 0.25f);
    EXPECT_EQ(upOnGameplay->elapsed, 0.0f);
}

TEST_F(Timers, ANullReleaseIsIgnoredAndThePoolHoldsItsCapacityThenRefuses) {
    releaseCountUpTimer(nullptr);
    std::vector<SCountUpTimer*> countUps;
    for (u32 i = 0; i < COUNTUP_TIMER_CAPACITY; ++i) countUps.push_back(takeCountUpTimer(0));
    releaseCountUpTimer(countUps[5]);
    EXPECT_EQ(takeCountUpTimer(1), countUps[5]);
    EXPECT_EQ(takeCountUpTimer(0), nullptr);
}

TEST(TimersDeathTest, AClockThatDoesNotExistStopsTheProgram) {
    EXPECT_EXIT(takeCountUpTimer(GAME_CLOCK_COUNT), ::testing::ExitedWithCode(3), "no game clock");
    EXPECT_EXIT(isBlinkOn(2.0f, 0.0f, 99), ::testing::ExitedWithCode(3), "no game clock");
}

TEST(Blink, AlternatesEveryHalfSecondAtRateTwoAndStaysDefinedOnLongRuns) {
    resetClocks();
    std::vector<bool> states;
    for (int i = 0; i < 6; ++i) {
        states.push_back(isBlinkOn(2.0f, 0.0f, GAME_CLOCK_SYSTEM));
        setClockDelta(GAME_CLOCK_SYSTEM, 0.25f);
    }
    EXPECT_EQ(states, (std::vector<bool>{false, false, true, true, false, false}));
    g_aGameClocks[GAME_CLOCK_SYSTEM].totalTime = 3.0e10;      // beyond a 32-bit integer
    EXPECT_TRUE(isBlinkOn(1.0f, 1.0f, GAME_CLOCK_SYSTEM));
    g_aGameClocks[GAME_CLOCK_SYSTEM].totalTime = 1.0e300;     // the product overflows
    EXPECT_FALSE(isBlinkOn(1.0e10f, 0.0f, GAME_CLOCK_SYSTEM));
    resetClocks();
}

}  // namespace
