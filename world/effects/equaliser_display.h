// The equaliser strip that stands in the arena during play: one column of up to 13 glowing cells
// per band of the current spectral frame, lit from the base line, under a ceiling line that comes
// down as the guardian level rises, packed towards the side the music is panned to. Drawn anew
// through the draw lists every world step; it keeps nothing between calls.
#pragma once

#include "core/types.h"

// The strip lies in the plane z = 0, x from 0 to EQ_DISPLAY_WIDTH, rows of EQ_ROW_PITCH upwards.
constexpr f64 EQ_DISPLAY_WIDTH = 325.0;
constexpr f64 EQ_ROW_PITCH = 55.0 / 14.0;
constexpr s32 EQ_ROW_COUNT = 13;

// The ceiling row L: 13 while the guardian level is 100 or less, 0 at 1000.
s32 equaliserCeilingRow(f32 guardianLevel);
// The column band k of bandCount is drawn in for the music pan; *outEdge is the packed block's free
// edge (0 while the pan is 0).
s32 equaliserColumnForBand(u32 band, u32 bandCount, f32 pan, f32* outEdge);

// Appends the base line, the ceiling lines and every band's cells and highlights for the spectral
// frame, and rewrites g_fEqualiserCeiling and g_fEqualiserPanEdge. A frame below 0 (the song has
// not started) or a song without a band table draws the lines only.
void drawEqualiserDisplay(s32 frame);
