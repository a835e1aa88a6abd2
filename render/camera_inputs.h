// What the in-game camera reads of the layers above render, set by them through the setters each
// step: the world sets the arena focus and the player, the action mode the running and pause
// flags. All zero until then.
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

const SCameraWorldInputs& cameraWorldInputs();
// The world's part: the arena focus, whether the player's ship is in play and where.
void setCameraWorldView(const ClVec3& arenaFocus, u32 playerExists, const ClVec3& playerPosition);
// The action mode's part: whether play runs, and its three pause flags.
void setCameraActionRunning(u32 running);
void setCameraPauseFlags(u32 paused, u32 pauseKind, u32 tipPending);

bool cameraGamePaused();
