#include "ui/font_file_format.h"

#include "core/digest.h"

#include <cmath>
#include <cstring>

namespace {

const char MAGIC[4] = {'V', 'F', 'N', 'T'};

template <typename T>
void put(std::vector<u8>& out, T value) {
    u8 bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

template <typename T>
T take(const u8* at) {
    T value;
    std::memcpy(&value, at, sizeof(T));
    return value;
}

bool fail(std::string* error, const char* reason) {
    if (error) *error = reason;
    return false;
}

}  // namespace

std::vector<u8> writeFontFile(const SFontFileImage& image) {
    std::vector<u8> out(MAGIC, MAGIC + 4);
    put<u32>(out, FONT_FILE_VERSION);
    put<u32>(out, image.atlasWidth);
    put<u32>(out, image.atlasHeight);
    put<f32>(out, image.lineHeight);
    put<f32>(out, image.ascent);
    put<u32>(out, image.fallbackCode);
    put<u32>(out, u32(image.glyphs.size()));
    for (const SFontFileGlyph& g : image.glyphs) {
        put<u32>(out, g.code);
        put<u16>(out, g.x);
        put<u16>(out, g.y);
        put<u16>(out, g.width);
        put<u16>(out, g.height);
        put<s16>(out, g.offsetX);
        put<s16>(out, g.offsetY);
        put<f32>(out, g.advance);
    }
    u8 digest[DIGEST_SIZE];
    computeDigestWithValue(digest, out.data(), u32(out.size()), FONT_FILE_DIGEST_VALUE);
    out.insert(out.end(), digest, digest + DIGEST_SIZE);
    return out;
}

bool readFontFile(const u8* bytes, u32 size, SFontFileImage* out, std::string* error) {
    if (!bytes || size < FONT_FILE_HEADER_SIZE + DIGEST_SIZE) return fail(error, "shorter than its header");
    if (std::memcmp(bytes, MAGIC, 4) != 0) return fail(error, "not a font glyph table");
    if (take<u32>(bytes + 4) != FONT_FILE_VERSION) return fail(error, "unknown version");
    const u32 count = take<u32>(bytes + 28);
    if (count > FONT_FILE_MAX_GLYPHS) return fail(error, "too many glyphs");
    if (u64(size) != u64(FONT_FILE_HEADER_SIZE) + u64(count) * FONT_FILE_GLYPH_SIZE + DIGEST_SIZE)
        return fail(error, "size does not match its glyph count");
    if (!verifyTrailingDigest(bytes, size, FONT_FILE_DIGEST_VALUE)) return fail(error, "digest does not match");

    out->atlasWidth = take<u32>(bytes + 8);
    out->atlasHeight = take<u32>(bytes + 12);
    out->lineHeight = take<f32>(bytes + 16);
    out->ascent = take<f32>(bytes + 20);
    out->fallbackCode = take<u32>(bytes + 24);
    if (out->atlasWidth == 0 || out->atlasHeight == 0 || out->atlasWidth > FONT_ATLAS_MAX_SIDE ||
        out->atlasHeight > FONT_ATLAS_MAX_SIDE)
        return fail(error, "atlas size out of range");
    if (!std::isfinite(out->lineHeight) || out->lineHeight <= 0.0f || !std::isfinite(out->ascent))
        return fail(error, "line metrics out of range");
    if (out->fallbackCode > FONT_FILE_MAX_CODE) return fail(error, "fallback code out of range");

    out->glyphs.resize(count);
    for (u32 i = 0; i < count; ++i) {
        const u8* at = bytes + FONT_FILE_HEADER_SIZE + i * FONT_FILE_GLYPH_SIZE;
        SFontFileGlyph& g = out->glyphs[i];
        g.code = take<u32>(at);
        g.x = take<u16>(at + 4);
        g.y = take<u16>(at + 6);
        g.width = take<u16>(at + 8);
        g.height = take<u16>(at + 10);
        g.offsetX = take<s16>(at + 12);
        g.offsetY = take<s16>(at + 14);
        g.advance = take<f32>(at + 16);
        if (g.code > FONT_FILE_MAX_CODE || (i > 0 && g.code <= out->glyphs[i - 1].code))
            return fail(error, "glyph codes out of order or range");
        if (u32(g.x) + g.width > out->atlasWidth || u32(g.y) + g.height > out->atlasHeight)
            return fail(error, "glyph outside its atlas");
        if (!std::isfinite(g.advance) || g.advance < 0.0f) return fail(error, "glyph advance out of range");
    }
    return true;
}
