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

// Written by core alone (setClockDelta); tests set a clock up directly.
extern SGameClock g_aGameClocks[GAME_CLOCK_COUNT];

// What the layers above read: a clock, and the gameplay clock's frame step that everything that
// moves in the world reads. Inline: the world and the particles read them per entity each frame.
inline const SGameClock& gameClock(int clock) { return g_aGameClocks[clock]; }
inline f32 frameTime() { return g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime; }

// Frames during which the player's control ignores its input; the frame tick counts it down.
s32 inputSettleFrames();
void setInputSettleFrames(s32 frames);

// Stores the frame step and adds it to the running total.
void setClockDelta(int clock, f32 seconds);
