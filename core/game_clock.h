// The numbered game clocks: clock 0 is real time, clock 1 is game time (clamped, scaled and
// stopped while paused). Both game modes set them first in every update.
#pragma once

#include "core/types.h"

constexpr int GAME_CLOCK_COUNT = 4;
constexpr int GAME_CLOCK_SYSTEM = 0;
constexpr int GAME_CLOCK_GAMEPLAY = 1;

struct SGameClock {
    f32 frameTime;  // this frame's step in seconds
    f64 totalTime;  // the steps added up
};

extern SGameClock g_aGameClocks[GAME_CLOCK_COUNT];
// The gameplay clock's frame step, read by everything that moves in the world.
extern f32& g_fFrameTime;

// Stores the frame step and adds it to the running total.
void setClockDelta(int clock, f32 seconds);
