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

// to - from, channel by channel.
SColourRGBA colourDifference(const SColourRGBA& from, const SColourRGBA& to);
// from + delta x f, channel by channel.
SColourRGBA colourBlend(const SColourRGBA& from, const SColourRGBA& delta, f32 f);
