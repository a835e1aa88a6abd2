// Text drawn through a font face into the 2D quad queue (render/sprite_queue.h): one quad per
// glyph, on a canvas or at the screen point of a world position. '\n' starts a new line.
//
// Alignment words are canvas flags (render/canvases.h), one horizontal and one vertical bit:
// they anchor the point in the canvas, pivot the text's box on it, and place each line in the
// box. Main thread only.
#pragma once

#include "core/types.h"
#include "core/vec.h"

class ClCamera;
struct SFontFace;

// Offset of a text's shadow, in canvas units (times the scale).
constexpr f32 TEXT_SHADOW_OFFSET = 2.0f;
// drawTextAtWorldPosition measures sizes and offsets in lines of a screen this many units high.
constexpr f32 WORLD_TEXT_SCREEN_UNITS = 1080.0f;

struct STextStyle {
    const char* canvas = "FULL";
    const char* effect = "system_font";
    // Missing faces fall back to their base face (findFontFaceOrBase).
    const char* face = nullptr;
    // The box the text is laid out in, in canvas units; 0 takes the text's own size.
    f32 boxWidth = 0.0f;
    f32 boxHeight = 0.0f;
};

// The size of the text in face pixels: its widest line and its lines x the line height.
ClVec2 measureText(const SFontFace& face, const char16_t* text);

// Draws the text at (x, y) canvas units, each face pixel scale canvas units, with its colour tags
// (ui/text_tags.h) applied; the shadow ignores them. A shadow colour
// with alpha above 0 draws the text first in that colour, TEXT_SHADOW_OFFSET x scale further
// right and down, one layer below (layer 0 keeps 0). False, with nothing drawn, without a face
// or a canvas of the style's names.
bool drawText(const STextStyle& style, u32 layer, u32 alignment, f32 x, f32 y, f32 scale, u32 colour,
              const char16_t* text, u32 shadowColour);

// Draws the text at the screen point of the world position seen by the camera (null: the view
// camera), moved by the offset; size is the line height. Sizes and offsets are in
// WORLD_TEXT_SCREEN_UNITS of the queue's target height. The glyphs take the effect with the
// face's atlas, plus the texture of the name hash as second texture when it is not 0 and the
// effect has a second slot. False, with nothing drawn, without a camera or face, or for a point
// behind the camera.
bool drawTextAtWorldPosition(const ClCamera* camera, const ClVec3& position, const char* effect, u32 textureHash,
                             const char* faceName, u32 layer, f32 size, f32 offsetX, f32 offsetY, u32 alignment,
                             u32 colour, const char16_t* text);
