// The centre of a random pointer hit region of the user interface, for the random input tester.
// The interface lives above input, so it installs the provider; with none installed there are
// no regions.
#pragma once

#include "core/types.h"

// Writes a region centre in normalised client coordinates (0..1); false when there is none.
using PointerRegionCentreProvider = bool (*)(f32* x, f32* y);

void setPointerRegionCentreProvider(PointerRegionCentreProvider provider);
// (0, 0) when no provider is installed or it has no region.
void randomPointerRegionCentre(f32* x, f32* y);
