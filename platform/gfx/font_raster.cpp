#include "platform/gfx/font_raster.h"

#include <stb_truetype.h>

struct SRasterFont {
    stbtt_fontinfo info;
    f32 scale = 0.0f;
};

namespace {

SRasterFont* openFont(const u8* bytes, u32 size, f32 pixels, bool perEm) {
    if (!bytes || size < 12 || pixels <= 0.0f) return nullptr;
    const int offset = stbtt_GetFontOffsetForIndex(bytes, 0);
    if (offset < 0 || u32(offset) >= size) return nullptr;
    auto* font = new SRasterFont;
    if (!stbtt_InitFont(&font->info, bytes, offset)) {
        delete font;
        return nullptr;
    }
    font->scale = perEm ? stbtt_ScaleForMappingEmToPixels(&font->info, pixels) : stbtt_ScaleForPixelHeight(&font->info, pixels);
    return font;
}

}  // namespace

SRasterFont* rasterFontOpen(const u8* bytes, u32 size, f32 pixelHeight) { return openFont(bytes, size, pixelHeight, false); }

SRasterFont* rasterFontOpenEm(const u8* bytes, u32 size, f32 pixelsPerEm) { return openFont(bytes, size, pixelsPerEm, true); }

void rasterFontClose(SRasterFont* font) { delete font; }

f32 rasterFontPixelsPerEm(const SRasterFont* font) {
    return font->scale / stbtt_ScaleForMappingEmToPixels(&font->info, 1.0f);
}

void rasterFontMetrics(const SRasterFont* font, f32* ascent, f32* descent, f32* lineGap) {
    int a = 0, d = 0, g = 0;
    stbtt_GetFontVMetrics(&font->info, &a, &d, &g);
    *ascent = f32(a) * font->scale;
    *descent = f32(d) * font->scale;
    *lineGap = f32(g) * font->scale;
}

bool rasterFontGlyph(const SRasterFont* font, u32 codePoint, SRasterGlyph* out) {
    const int index = stbtt_FindGlyphIndex(&font->info, int(codePoint));
    if (index == 0) return false;
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&font->info, index, &advance, &bearing);
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetGlyphBitmapBox(&font->info, index, font->scale, font->scale, &x0, &y0, &x1, &y1);
    out->width = x1 > x0 ? u32(x1 - x0) : 0;
    out->height = y1 > y0 ? u32(y1 - y0) : 0;
    out->left = x0;
    out->top = y0;
    out->advance = f32(advance) * font->scale;
    out->coverage.assign(size_t(out->width) * out->height, 0);
    if (out->width && out->height)
        stbtt_MakeGlyphBitmap(&font->info, out->coverage.data(), int(out->width), int(out->height), int(out->width),
                              font->scale, font->scale, index);
    return true;
}
