// What the in-game camera reads of the layers above render, written by them each step: the world
// writes the arena focus and the player, the action mode the running and pause flags. All zero
// until then.
#pragma once

#include "core/types.h"
#include "core/vec.h"

struct SCameraWorldInputs {
    ClVec3 arenaFocus;
    u32 actionGameRunning;
    u32 playerExists;
    ClVec3 playerPosition;  // the player entity's root node, this frame
    u32 pauseFlags[3];      // any non-zero: paused
};

extern SCameraWorldInputs g_CameraWorldInputs;

bool cameraGamePaused();
