// The enemy families that may stand in for a size's rolled generator, wave by wave. Each family
// takes a share of the waves of its size; the schedule draws one number per wave and
// pickWaveFamily turns it into a family, or into none (the size's rolled generator) when the
// draw lies past the families' shares. Main thread only.
#pragma once

#include "core/types.h"

class ClDNAGenerator;

constexpr u32 WAVE_FAMILY_CAPACITY = 32;

struct SWaveFamily {
    ClDNAGenerator* generator;  // its category is the size it stands in for
    f32 share;                  // of the waves of that size
    u32 patrols;                // after arriving it steers between points instead of bouncing
};

// A size's shares adding up past 1 are fatal, and so is a full table.
void addWaveFamily(ClDNAGenerator* generator, f32 share, u32 patrols);
void clearWaveFamilies();
// The family of the size category for a draw in [0, 1), or null.
const SWaveFamily* pickWaveFamily(u32 category, f32 draw);
