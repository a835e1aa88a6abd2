#include "core/colour.h"

namespace {

u32 channelByte(f32 channel) {
    const f32 product = channel * 255.0f;
    // Written so that NaN falls into the first branch.
    if (!(product > 0.0f)) return 0;
    if (product >= 255.0f) return 255;
    return static_cast<u32>(product);
}

f32 byteChannel(u32 colour, int shift) {
    return static_cast<f32>((colour >> shift) & 0xFFu) / 255.0f;
}

}  // namespace

SColourRGBA unpackColourARGB(u32 colour) {
    return SColourRGBA{byteChannel(colour, 16), byteChannel(colour, 8), byteChannel(colour, 0),
                       byteChannel(colour, 24)};
}

void packColourARGB(u32* out, const SColourRGBA& rgba) {
    *out = channelByte(rgba.a) << 24 | channelByte(rgba.r) << 16 | channelByte(rgba.g) << 8 |
           channelByte(rgba.b);
}

SColourRGBA colourDifference(const SColourRGBA& from, const SColourRGBA& to) {
    return SColourRGBA{to.r - from.r, to.g - from.g, to.b - from.b, to.a - from.a};
}

SColourRGBA colourBlend(const SColourRGBA& from, const SColourRGBA& delta, f32 f) {
    return SColourRGBA{from.r + delta.r * f, from.g + delta.g * f, from.b + delta.b * f,
                       from.a + delta.a * f};
}
