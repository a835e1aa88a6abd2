// The flip index shared by every double-buffered per-frame list (draw lists, attached nodes).
//
// Producers on the main thread fill half 1 - flip index during a frame; the render worker reads
// half flip index. The index changes only in the frame hand-off, while the worker waits for its
// start signal, so neither side needs a lock to read it.
#pragma once

#include "core/types.h"

u32 frameFlipIndex();
// The half the main thread fills now.
inline u32 producerFrameHalf() { return 1u - frameFlipIndex(); }
// The hand-off's step between closing the filled half and waking the worker; nothing else flips.
void flipFrameHalf();
// Start-up: flip index 0.
void resetFrameHalf();
