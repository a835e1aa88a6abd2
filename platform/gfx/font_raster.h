// TrueType outlines rasterised into coverage bitmaps, for the build's font tool: the game itself
// draws text from the atlas the tool writes and never opens a TrueType file.
#pragma once

#include "platform/types.h"

#include <vector>

struct SRasterFont;

// Placement of one rasterised glyph, in pixels at the font's pixel height: the bitmap's top-left
// corner is (left, top) from the pen on the baseline (y grows downwards), and the pen then moves
// on by advance.
struct SRasterGlyph {
    u32 width = 0;
    u32 height = 0;
    s32 left = 0;
    s32 top = 0;
    f32 advance = 0.0f;
    std::vector<u8> coverage;  // width * height bytes, top row first, 0..255
};

// The font in the bytes, sized so that ascent - descent spans pixelHeight pixels. The bytes must
// outlive the font. Null when they hold no TrueType font.
SRasterFont* rasterFontOpen(const u8* bytes, u32 size, f32 pixelHeight);
// The same, sized so that one em spans pixelsPerEm pixels: fonts whose ascent and descent differ
// draw their letters at one size.
SRasterFont* rasterFontOpenEm(const u8* bytes, u32 size, f32 pixelsPerEm);
void rasterFontClose(SRasterFont* font);
// Pixels one em spans at the font's size.
f32 rasterFontPixelsPerEm(const SRasterFont* font);

// Pixels above and below the baseline (descent negative) and the gap between lines.
void rasterFontMetrics(const SRasterFont* font, f32* ascent, f32* descent, f32* lineGap);
// False when the font has no glyph for the code point.
bool rasterFontGlyph(const SRasterFont* font, u32 codePoint, SRasterGlyph* out);
