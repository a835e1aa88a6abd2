// What input asks of the layers above it: the random input tester aims at the centre of a
// random pointer hit region of the user interface. The program fills the record once at
// start-up (app/layer_imports.cpp) and clears it at shutdown; without it there are no regions.
// Main thread only.
#pragma once

#include "core/types.h"

struct SInputImports {
    // Writes a region centre in normalised client coordinates (0..1); false when there is none
    // (ui).
    bool (*pointerRegionCentre)(f32* x, f32* y) = nullptr;
};

// Copies the record; null clears every member.
void setInputImports(const SInputImports* imports);

// (0, 0) when no region centre is imported or there is no region.
void randomPointerRegionCentre(f32* x, f32* y);
