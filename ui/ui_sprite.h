// Named interface sprites ("hud-boss-bar"): a piece of a texture, drawn on a canvas into the 2D
// quad queue, optionally filled only to a fraction from the left (meters and bars).
//
// Main thread only.
#pragma once

#include "core/types.h"
#include "core/vec.h"
#include "render/canvases.h"

class ClTexture;

struct SUiSprite {
    ClTexture* texture = nullptr;  // owned by the texture table
    ClVec2 texMin{0.0f, 0.0f};
    ClVec2 texMax{1.0f, 1.0f};
};

// Registers (or replaces) the sprite under the name.
void registerUiSprite(const char* name, const SUiSprite& sprite);
// Null when no sprite has the name.
const SUiSprite* findUiSprite(const char* name);
void releaseUiSprites();

// Draws the sprite with the effect on the canvas: its top-left corner at (x, y) canvas units from
// the canvas point the alignment flags name (by default the top centre), width x height canvas
// units times scale, cut to the fill fraction (held to 0..1) of its width and of its texture
// from the left. False, with nothing drawn, for an unknown sprite or canvas or a fill of 0.
bool drawUiSprite(const char* spriteName, const char* effect, u32 colour, const char* canvasName, u32 layer, f32 x,
                  f32 y, f32 width, f32 height, f32 fill, f32 scale, u32 alignment = E_ALIGN_CENTRE | E_ALIGN_TOP);
