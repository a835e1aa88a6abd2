// Font faces: a glyph atlas texture and the placement of each glyph, found by the face's name
// ("NiceCapsBoldFont"). The interface's start-up fills the faces; the text drawing reads them.
//
// Metrics are in face pixels, the atlas's own: a glyph's quad is width x height, its top-left
// corner offset from the pen at the top of its line, and the pen moves on by the advance.
//
// Main thread only.
#pragma once

#include "core/types.h"
#include "core/vec.h"

#include <vector>

class ClTexture;

constexpr u32 FONT_FACE_NAME_LENGTH = 64;

struct SFontGlyph {
    u32 code = 0;  // a Unicode code point
    ClVec2 texMin;  // atlas coordinates, 0..1
    ClVec2 texMax;
    f32 width = 0.0f;
    f32 height = 0.0f;
    f32 offsetX = 0.0f;
    f32 offsetY = 0.0f;
    f32 advance = 0.0f;
};

struct SFontFace {
    char name[FONT_FACE_NAME_LENGTH] = {};
    u32 nameHash = 0;
    ClTexture* texture = nullptr;  // the atlas; owned by the texture table
    f32 lineHeight = 0.0f;         // face pixels from one line's top to the next
    // Drawn for a code neither the face nor its fallback face has; 0 (or a code the face lacks
    // too) draws nothing there.
    u32 fallbackCode = u'?';
    std::vector<SFontGlyph> glyphs;  // ascending by code
    // The face the texts take the characters this one lacks from (scaled to this face's line
    // height), or null; it has a texture of its own.
    const SFontFace* fallbackFace = nullptr;

    // The face's own glyph of the code, or null.
    const SFontGlyph* findOwnGlyph(u32 code) const;
    // The glyph of the code, else the fallback code's glyph, else null.
    const SFontGlyph* findGlyph(u32 code) const;
};

// A new, empty face registered under the name; a name registered already is fatal.
SFontFace* createFontFace(const char* name);
// Destroys every face.
void releaseFontFaces();
// The face registered under the name (letter case does not matter), or null.
SFontFace* findFontFace(const char* name);
// The named face or, when there is none, its base face: the name without its last "-suffix"
// ("NiceCapsBoldFont-JAP" falls back to "NiceCapsBoldFont"). Null when neither exists.
SFontFace* findFontFaceOrBase(const char* name);
