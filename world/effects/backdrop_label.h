// The label with the song's remaining time, shown by the backdrop during play.
#pragma once

#include "core/types.h"

// Writes the remaining time into the "playback_time_remaining" widget, or a blank text when no
// song plays.
void updateBackdropTimeLabel();
