// The glyph table of a bitmap font face, "Fonts/<face>.vfnt", written by the font tool beside
// the face's atlas image "Fonts/<face>.png" and read by the interface's start-up.
//
// Little-endian:
//    0  "VFNT"
//    4  u32 version (FONT_FILE_VERSION)
//    8  u32 atlas width, u32 atlas height (pixels, each 1..FONT_ATLAS_MAX_SIDE)
//   16  f32 line height (pixels from one line's top to the next), f32 ascent (line top to baseline)
//   24  u32 fallback code (drawn for codes the face lacks; 0 for none)
//   28  u32 glyph count (at most FONT_FILE_MAX_GLYPHS)
//   32  glyphs, FONT_FILE_GLYPH_SIZE bytes each, codes (Unicode code points) strictly ascending:
//       u32 code, u16 x, u16 y, u16 width, u16 height (the glyph's rectangle in the atlas),
//       s16 offset x, s16 offset y (its top-left corner from the pen at the line's top),
//       f32 advance (pixels the pen moves on)
//  end  the digest trailer (core/digest.h) under FONT_FILE_DIGEST_VALUE
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

constexpr u32 FONT_FILE_VERSION = 2;
constexpr u32 FONT_FILE_HEADER_SIZE = 32;
constexpr u32 FONT_FILE_GLYPH_SIZE = 20;
constexpr u32 FONT_FILE_MAX_GLYPHS = 16384;
constexpr u32 FONT_FILE_MAX_CODE = 0x10FFFF;
constexpr u32 FONT_ATLAS_MAX_SIDE = 4096;
constexpr u32 FONT_FILE_DIGEST_VALUE = 0x544E4656u;  // "VFNT"

struct SFontFileGlyph {
    u32 code = 0;
    u16 x = 0, y = 0, width = 0, height = 0;
    s16 offsetX = 0, offsetY = 0;
    f32 advance = 0.0f;
};

struct SFontFileImage {
    u32 atlasWidth = 0;
    u32 atlasHeight = 0;
    f32 lineHeight = 0.0f;
    f32 ascent = 0.0f;
    u32 fallbackCode = 0;
    std::vector<SFontFileGlyph> glyphs;
};

// The file's bytes, trailer included.
std::vector<u8> writeFontFile(const SFontFileImage& image);
// False, with the reason, for a damaged or inconsistent file; out is then unspecified.
bool readFontFile(const u8* bytes, u32 size, SFontFileImage* out, std::string* error);
