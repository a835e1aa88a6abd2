// The numbered game clocks: clock 0 is real time, clock 1 is game time (clamped, scaled and
// stopped while paused). Both game modes set them first in every update. Also the local date.
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

// Frames during which the player's control ignores its input; the frame tick counts it down.
s32 inputSettleFrames();
void setInputSettleFrames(s32 frames);

// Stores the frame step and adds it to the running total.
void setClockDelta(int clock, f32 seconds);
