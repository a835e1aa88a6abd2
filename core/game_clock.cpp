#include "core/game_clock.h"

#include <ctime>

SGameClock g_aGameClocks[GAME_CLOCK_COUNT];
namespace {
s32 g_iInputSettleFrames = 0;
}  // namespace

s32 inputSettleFrames() { return g_iInputSettleFrames; }
void setInputSettleFrames(s32 frames) { g_iInputSettleFrames = frames; }

void setClockDelta(int clock, f32 seconds) {
    SGameClock& target = g_aGameClocks[clock];
    target.frameTime = seconds;
    target.totalTime += f64(seconds);
}
