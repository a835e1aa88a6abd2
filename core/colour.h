// Packed 32-bit ARGB colours (alpha in the top byte, then red, green, blue) and their form as
// four floats in 0..1 (byte / 255), which the animators and tweens blend in.
#pragma once

#include "core/types.h"

struct SColourRGBA {
    f32 r;
    f32 g;
    f32 b;
    f32 a;
};

SColourRGBA unpackColourARGB(u32 colour);

// Each channel times 255, clamped to 0..255 and truncated toward zero. Channels outside 0..1
// (overshooting blends, computed alphas) saturate instead of spilling into their neighbours;
// NaN packs as 0.
void packColourARGB(u32* out, const SColourRGBA& rgba);

// Replaces the alpha byte with alpha x 255 (clamped and truncated like packColourARGB),
// keeping red, green and blue.
u32 setColourAlpha(u32 colour, f32 alpha);

// to - from, channel by channel.
SColourRGBA colourDifference(const SColourRGBA& from, const SColourRGBA& to);
// from + delta x f, channel by channel.
SColourRGBA colourBlend(const SColourRGBA& from, const SColourRGBA& delta, f32 f);

// Each byte (alpha, red, green, blue) times the factor, rounded to single precision, held at 255
// (NaN too) and truncated toward zero, in place. A negative factor gives 0.
void scaleColourARGB(u32* colour, f32 factor);
