// The sound engine: voices, cues by name, volumes and fades on the game clocks, and the
// streamed music.
#pragma once

#include "core/types.h"

// Once per frame from the tick. The step is not used: fades run on the game clocks.
void updateAudioEngine(f32 dt);
