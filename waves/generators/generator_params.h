// The parameter block the wave schedule hands its generators with each program it asks for. The
// song record points at one (the library keeps it); a null block asks for the defaults.
#pragma once

#include "core/types.h"

struct SGeneratorParams {
    u32 difficulty;  // 0 to 5: the enemy guns' bullet level
    f32 gunShare;    // 0 to 1: the chance that an enemy carries a gun
};

// Difficulty 0, no guns.
SGeneratorParams defaultGeneratorParams();
