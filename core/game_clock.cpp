#include "core/game_clock.h"

SGameClock g_aGameClocks[GAME_CLOCK_COUNT];
f32& g_fFrameTime = g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime;

void setClockDelta(int clock, f32 seconds) {
    SGameClock& target = g_aGameClocks[clock];
    target.frameTime = seconds;
    target.totalTime += f64(seconds);
}
