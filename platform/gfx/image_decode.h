// Image files in memory to RGBA8 pixels and back: the decoding half of texture creation, kept
// apart from the upload so that it needs no graphics device. PNG, TGA, BMP and JPEG are read;
// PNG is written (saved textures, test pictures and the generated game images).
#pragma once

#include "platform/types.h"

#include <string>
#include <vector>

// Larger images are refused before any pixel memory is taken; the largest texture the game
// loads is far below it.
constexpr u32 IMAGE_MAX_SIDE = 8192;

struct SDecodedImage {
    u32 width = 0;
    u32 height = 0;
    std::vector<u8> rgba;  // width * height * 4 bytes, top row first, R G B A
};

// False with a reason (the decoder's own words) for damaged, unknown or oversized data.
bool decodeImage(const void* data, size_t size, SDecodedImage* out, std::string* error);

// PNG bytes of RGBA8 pixels (top row first); empty when the size is 0 or too large.
std::vector<u8> encodePng(u32 width, u32 height, const u8* rgba);
// Writes them as a file; false when encoding or writing fails.
bool writePngFile(const char* path, u32 width, u32 height, const u8* rgba);
