// The two buffer indices that select one of the two copies of every world matrix and bounding
// volume of nodes and atoms: readers of this frame use the current one, readers of the frame
// before the previous one.
#pragma once

#include "core/types.h"

extern u32 g_uFrameCurrent;   // 0 or 1
extern u32 g_uFramePrevious;  // always 1 - g_uFrameCurrent
// Counts the flips, skipping 0: a mark taken in one frame matches this only within that frame.
extern u32 g_uFrameFlips;

// Once per frame, first in the game step: previous = current, current = 1 - current.
void flipFrameBuffers();
