// The decode thread: one pass of the codec manager (stepCodecManager) every interval, until a
// pass answers 0.
#pragma once

#include "core/types.h"

// Starts the thread. 1 when it runs; 0 when it could not start or already runs.
s32 startDecodeThread();
// Milliseconds slept between passes; the song scan lowers it around its work.
void setDecodeThreadInterval(u32 milliseconds);
// Back to CODEC_DEFAULT_DECODE_INTERVAL_MS (33).
void resetDecodeThreadInterval();
// Ends the current sleep at once (a stop request need not wait out the interval).
void wakeDecodeThread();
// Waits without limit for the thread to end; nothing happens when it does not run.
void joinDecodeThread();
bool isDecodeThreadStarted();
