// The beams an enemy keeps (ClEntity::beams): the record only. The beams are rolled, swept and
// drawn by world/effects/enemy_beams.h.
#pragma once

#include "core/array.h"
#include "core/sweep_segment.h"
#include "core/types.h"

struct SEnemyBeam {
    ClSweepSegment segment;
    u32 colour;  // packed ARGB
    f32 width;
};

struct SEnemyBeamSet {
    f32 countdown;      // seconds to an unbidden new set; FLT_MAX after a roll
    f32 originX;
    f32 originSpeed;    // units per second along x
    ClArray<SEnemyBeam> beams;
};
