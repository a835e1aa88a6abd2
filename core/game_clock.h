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

// A local calendar date and time of day, to the minute.
struct SDateTime {
    s32 year;    // full year, such as 2010
    s32 month;   // 1 to 12
    s32 day;     // 1 to 31
    s32 hour;    // 0 to 23
    s32 minute;  // 0 to 59
};

// second - first in whole seconds, both read as local times with seconds 0 and no daylight-saving
// adjustment. Months outside 1 to 12 carry into the year.
s64 secondsBetweenDates(const SDateTime& first, const SDateTime& second);
