// The render worker: all drawing and presenting happens on it. The main thread fills half
// 1 - flip index of the double-buffered lists; at the end of its frame it flips, wakes the worker
// and waits until the worker has drawn and presented that half.
#pragma once

#include "core/types.h"

#include <atomic>

// Clears the stop and exited flags and starts the worker with its two events; failure ends the
// program.
void startRenderWorker();
// Wakes the worker to end and waits for it; nothing when it does not run.
void stopRenderWorker();
bool renderWorkerRunning();

// 0 or 1: producers append to half 1 - renderFlipIndex(), the worker reads half renderFlipIndex().
// Written only by the hand-off while the worker waits for its start event; read inline, as every
// draw command appended asks for it.
extern std::atomic<u32> g_RenderFlipIndex;
inline u32 renderFlipIndex() { return g_RenderFlipIndex.load(std::memory_order_relaxed); }
void resetRenderFlipIndex();

// The end of every game mode's update: camera blenders, then the hand-off.
s32 finishFrame();
// The hand-off; returns the device-ready flag. While the device is not ready nothing is flipped
// or drawn, and the producers' half is cleared here on the main thread instead.
s32 submitFrameToRenderWorker();

// The steps of a frame that other parts of the renderer own. Tests replace entries.
struct SFrameHandOffSteps {
    // Clears every per-frame list of one half (draw lists, 2D queue).
    void (*clearFrameHalf)(u32 half);
    // The worker's frame: draws half renderFlipIndex() and ends with presentRenderedFrame().
    void (*renderScene)();
};
extern SFrameHandOffSteps g_FrameHandOffSteps;
extern const SFrameHandOffSteps kDefaultFrameHandOffSteps;

// Presents the back buffer and keeps the result for the lost-device check.
void presentRenderedFrame();
// Frames the worker has completed since it started.
u64 renderWorkerFramesDrawn();
