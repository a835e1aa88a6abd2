// The equaliser's shared values: the display values that the equaliser strip writes and the
// world's effects read, the guardian's level that the strip reads, and the equaliser pulse.
// All 0 until a song starts; main thread only.
#pragma once

#include "core/types.h"

extern f32 g_fGuardianLevel;     // written by the guardian background
extern f32 g_fGuardianRise;
extern f32 g_fEqualiserPan;      // the music pan, -1 to 1, written by the static sparks
extern f32 g_fEqualiserPanEdge;  // x of the edge between the two packed column groups
extern f32 g_fEqualiserCeiling;  // y of the strip's ceiling

// What the audio layer imports for the song display: a new song zeroes the pan, edge and ceiling and
// restarts the pulse; each drawn frame moves the pulse on.
void resetEqualiserDisplay();
void advanceEqualiserPulse(f32 dt);
// The pulse: 0 to 1 and back over 2 s (the static spark rises to 55 x this value).
f32 equaliserPulseValue();
