// Sound cues panned by where in the arena they happen: the left edge (x = 0) is full left, the
// right edge (x = 325) full right.
#pragma once

#include "audio/sound/sound_engine.h"
#include "core/types.h"
#include "core/vec.h"

// 2 x clamp01(x / 325) - 1.
f32 cuePanForWorldX(f32 x);
// Plays the cue once, panned by the position; the handle stays valid while it sounds (the
// engine frees it at its end). A null handle when no cue has the name or none is free.
SCueHandle playSoundCueAt(const char* cueName, const ClVec3& position);
// Nothing for a null or stale handle.
void panCueByWorldX(SCueHandle cue, const ClVec3& position);
