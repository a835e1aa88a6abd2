// The guardian's noisy full-screen backdrop, shared by the story sequences and the corruption
// background: a fresh noise offset every frame and one quad of "game_guardian_bg".
#pragma once

#include "core/types.h"

// Draws two noise values from the global generator (always, so the draws do not depend on
// whether anything is drawn), then, when the 2D queue is set up, sets "g_v2GuardianNoise" and
// "g_v4GuardianAdder".
void setGuardianNoiseConstants(u32 adderColour);
// setGuardianNoiseConstants, then, when the 2D queue is set up, queues the quad over the whole
// target, white with the alpha byte.
void drawGuardianNoiseQuad(u32 layer, u32 alpha, u32 adderColour);
