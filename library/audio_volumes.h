// The volume-scale bases the options give the sound engine's slots.
#pragma once

#include "core/types.h"

// The song's own volume factor (1.0 normal), which the in-game mode sets and resets; it is the
// base of the song-volume slot at the next applyAudioVolumes.
void setSongVolumeFactor(f32 factor);

// Sets the bases: music 0 when DISABLE_MUSIC is non-zero, else 1; effects by DISABLE_SFX and
// voice by DISABLE_VOICE likewise; the song-volume slot takes the song volume factor.
void applyAudioVolumes();
