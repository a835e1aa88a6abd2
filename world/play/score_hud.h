// The play state's heads-up display: the score, the floating popups, the chain widgets and the
// score targets. Runs every frame of the in-game update, after the backdrop.
#pragma once

#include "core/types.h"

// The target state of the shown score against the selected song's targets for the difficulty:
// -1 before the first target, 0 before the second, 1 all reached.
s32 scoreTargetState(s32 shown);

void updateScoreHud();
