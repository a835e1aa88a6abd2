// Lens flares: six flare textures loaded at start-up (other effects find them by name) and a pool
// of three flare records the scene walks each frame. Nothing adds records, so the pass finds none.
#pragma once

#include "core/types.h"

constexpr u32 LENS_FLARE_TEXTURE_COUNT = 6;
constexpr u32 LENS_FLARE_CAPACITY = 3;

extern const char* const g_aLensFlareTextureNames[LENS_FLARE_TEXTURE_COUNT];

void loadLensFlareTextures();
// Render worker: every live record released, so that each frame starts empty.
void runLensFlarePass();
void releaseLensFlares();
