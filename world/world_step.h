// The world's game step, run once per gameplay step by the in-game mode (and repeated with fixed
// steps while play catches up at the start of a song), and what the world hands the layers below
// it for the frame they draw. The mode lists the whole step in order: the buffer flip
// (flipFrameBuffers, entity/frame_parity.h), the song clock, the beat delivery (processors' beat
// routines run inside it) and the wave spawn tick, then worldStep.
#pragma once

#include "core/types.h"
#include "core/vec.h"

// The middle of the play area (x 0 to 325, z 0 to 269.75): the point the in-game camera keeps in
// view.
constexpr f32 ARENA_FOCUS_X = 162.5f;
constexpr f32 ARENA_FOCUS_Z = 134.875f;

// The world's part of the step, after the flip and the tick above, in this order: the live
// entities' update, the flying notes, the collision pass (its contacts resolved, the kill queue
// worked off around each and the blast pass run), the kill queue, the destroyed flush, the sweep
// of spent score pickups, the freed flush; then publishWorldFrameInputs. Timers and speeds use
// frameTime(); path motion uses g_fGameStep, both set by the caller.
void worldStep();

// The camera's arena focus and the first player's ship (present while spawned or active, and
// where its root stands); the particle systems' FX colours from the colour scheme and the
// backdrop's smoothed music level.
void publishWorldFrameInputs();
