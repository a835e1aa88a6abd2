// One frame: its time step and the frame tick that drives every subsystem in a fixed order.
#pragma once

#include "core/types.h"

// Reads the counter frequency; the first measurement then counts from 0.
void frameTimerInit();
// Seconds since the previous call.
f32 frameTimerElapsed();
// Makes the next frame the first again (start of a run, and tests).
void resetFirstFrame();

// One frame: 1 to go on, 0 when the program is to quit.
s32 runFrame();
// The tick: 1 to go on, 0 when the quit flag is set.
s32 gameFrameTick(f32 dt);

// The per-frame services the tick calls before the mode's update, in their order. Tests
// replace entries to watch the order; the game never changes them.
struct SFrameTickServices {
    void (*songScanTick)();
    void (*taskLayerDispatch)();
    void (*logManagerWake)();
    void (*pumpFileCompletions)();
    s32 (*updateInput)();
    void (*updateAudioEngine)(f32 dt);
    void (*updateAmbientLighting)();
    void (*medalQueueTick)();
    void (*leaderboardTick)();
};
extern SFrameTickServices g_FrameTickServices;
extern const SFrameTickServices kDefaultFrameTickServices;
