// The per-frame lists' part of the frame hand-off (render/render_worker.h's SFrameHandOffSteps):
// what closes the filled half before the flip, and what empties a half that will never be drawn.
#pragma once

#include "core/types.h"

// Main thread, before the flip: the attached nodes of the filled half follow their objects.
void closeFrameHalfLists(u32 half);
// Main thread, while the device is not ready: the draw lists and attached nodes of the half.
void clearFrameHalfLists(u32 half);
