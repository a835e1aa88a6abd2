// The arena's extent on the ground plane (x across, z up the screen) and its tests.
#pragma once

#include "core/types.h"
#include "core/vec.h"

constexpr f32 PLAY_AREA_WIDTH = 325.0f;
constexpr f32 PLAY_AREA_DEPTH = 269.75f;
// The extended area reaches 97.5 beyond each side and as far below z = 0 as the arena is deep.
constexpr f32 EXTENDED_PLAY_AREA_MARGIN = 97.5f;

// x in [0, 325] and z in [0, 269.75], bounds included.
bool isInsidePlayArea(const ClVec3& position);
// x in [-97.5, 422.5] and z in [-269.75, 269.75], bounds included.
bool isInsideExtendedPlayArea(const ClVec3& position);
