// The label with the song's remaining time, shown by the backdrop during play.
#pragma once

#include "core/types.h"

// Seconds left of the playing song (never negative); false before the song cue exists and once it
// has finished.
bool backdropRemainingSeconds(f32* outSeconds);
// Writes the remaining time into the "playback_time_remaining" widget, or a blank text when no
// song plays.
void updateBackdropTimeLabel();
