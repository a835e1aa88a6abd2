#include "ui/text_draw.h"

#include "core/string_helpers.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/canvases.h"
#include "render/materials.h"
#include "render/shader.h"
#include "render/sprite_queue.h"
#include "render/texture.h"
#include "ui/font_face.h"
#include "ui/text_tags.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr u32 ALIGN_HORIZONTAL = E_ALIGN_LEFT | E_ALIGN_CENTRE | E_ALIGN_RIGHT;

// The code point at c (a surrogate pair is one), moving c past it.
u32 takeCodePoint(const char16_t*& c) {
    const u32 unit = *c++;
    if (unit >= 0xD800 && unit <= 0xDBFF && *c >= 0xDC00 && *c <= 0xDFFF) return 0x10000 + ((unit - 0xD800) << 10) + (*c++ - 0xDC00);
    return unit;
}

// A character's glyph: the face's own; else its fallback face's, drawn at the scale that gives
// it the face's line height; else the face's fallback code's.
struct SPlacedGlyph {
    const SFontGlyph* glyph;
    f32 scale;
    bool borrowed;
};

SPlacedGlyph placeGlyph(const SFontFace& face, u32 code) {
    if (const SFontGlyph* own = face.findOwnGlyph(code)) return {own, 1.0f, false};
    const SFontFace* other = face.fallbackFace;
    if (other && other->texture && other->lineHeight > 0.0f) {
        if (const SFontGlyph* borrowed = other->findOwnGlyph(code)) return {borrowed, face.lineHeight / other->lineHeight, true};
    }
    return {face.findGlyph(code), 1.0f, false};
}

f32 lineWidth(const SFontFace& face, const char16_t* line) {
    f32 width = 0.0f;
    for (const char16_t* c = line; *c && *c != u'\n';) {
        const SPlacedGlyph placed = placeGlyph(face, takeCodePoint(c));
        if (placed.glyph) width += placed.glyph->advance * placed.scale;
    }
    return width;
}

// Where a piece of `size` starts in a span of `extent` under the alignment.
f32 alignWithin(f32 extent, f32 size, u32 alignment, u32 low, u32 centre, u32 high) {
    if (alignment & low) return 0.0f;
    if (alignment & high) return extent - size;
    if (alignment & centre) return (extent - size) * 0.5f;
    return 0.0f;
}

// The materials of a face and of its fallback face (null when it has none).
struct SFaceMaterials {
    const SMaterial* own;
    const SMaterial* fallback;
};

// The glyphs of the text in a box whose top-left corner is at `corner` (pixels), k pixels per
// face pixel; each character in its own colour when colours are given.
void queueGlyphs(const SFontFace& face, SFaceMaterials materials, u32 layer, u32 colour, const char16_t* text,
                 ClVec2 corner, ClVec2 box, f32 k, u32 alignment, const u32* colours = nullptr) {
    const ClVec2 size = measureText(face, text);
    f32 top = corner.y + alignWithin(box.y, size.y * k, alignment, E_ALIGN_TOP, E_ALIGN_MIDDLE, E_ALIGN_BOTTOM);
    for (const char16_t* line = text;; top += face.lineHeight * k) {
        f32 pen = corner.x + alignWithin(box.x, lineWidth(face, line) * k, alignment & ALIGN_HORIZONTAL, E_ALIGN_LEFT,
                                         E_ALIGN_CENTRE, E_ALIGN_RIGHT);
        pen = roundToNearest(pen);
        const f32 lineTop = roundToNearest(top);
        const char16_t* c = line;
        while (*c && *c != u'\n') {
            const char16_t* first = c;
            const SPlacedGlyph placed = placeGlyph(face, takeCodePoint(c));
            const SFontGlyph* glyph = placed.glyph;
            if (!glyph) continue;
            const SMaterial* material = placed.borrowed ? materials.fallback : materials.own;
            const f32 g = k * placed.scale;
            if (glyph->width > 0.0f && glyph->height > 0.0f && material)
                addSpriteQuadUV(layer, material, colours ? colours[first - text] : colour, pen + glyph->offsetX * g,
                                lineTop + glyph->offsetY * g, glyph->width * g, glyph->height * g, glyph->texMin,
                                glyph->texMax);
            pen += glyph->advance * g;
        }
        if (!*c) break;
        line = c + 1;
    }
}

void queueTextWithShadow(const SFontFace& face, SFaceMaterials material, u32 layer, u32 colour,
                         const char16_t* text, ClVec2 corner, ClVec2 box, f32 k, u32 alignment, u32 shadowColour,
                         f32 shadowOffset, const u32* colours) {
    if (shadowColour >> 24) {
        const ClVec2 shadowCorner(corner.x + shadowOffset, corner.y + shadowOffset);
        queueGlyphs(face, material, layer > 0 ? layer - 1 : 0, shadowColour, text, shadowCorner, box, k, alignment);
    }
    queueGlyphs(face, material, layer, colour, text, corner, box, k, alignment, colours);
}

const SMaterial* fallbackMaterial(const char* effect, const SFontFace& face) {
    const SFontFace* other = face.fallbackFace;
    return other && other->texture ? getMaterialForEffectAndTexture(effect, other->texture) : nullptr;
}

// Reused from call to call, so that tagged texts cost no allocation once the buffers are grown.
std::u16string g_taglessText;
std::vector<u32> g_tagColours;

}  // namespace

ClVec2 measureText(const SFontFace& face, const char16_t* text) {
    ClVec2 size(0.0f, 0.0f);
    if (!text) return size;
    for (const char16_t* line = text;;) {
        size.x = std::max(size.x, lineWidth(face, line));
        size.y += face.lineHeight;
        while (*line && *line != u'\n') ++line;
        if (!*line) break;
        ++line;
    }
    return size;
}

bool drawText(const STextStyle& style, u32 layer, u32 alignment, f32 x, f32 y, f32 scale, u32 colour,
              const char16_t* text, u32 shadowColour) {
    const SFontFace* face = findFontFaceOrBase(style.face);
    const SCanvas* canvas = findCanvas(style.canvas ? style.canvas : "FULL");
    if (!face || !face->texture || !canvas || !text) return false;
    const u32* colours = nullptr;
    if (hasColourTags(text)) {
        parseColourTags(text, colour, &g_taglessText, &g_tagColours);
        text = g_taglessText.c_str();
        colours = g_tagColours.data();
    }
    const SFaceMaterials material = {getMaterialForEffectAndTexture(style.effect, face->texture),
                                     fallbackMaterial(style.effect, *face)};
    const f32 k = scale * canvas->scale;
    const ClVec2 size = measureText(*face, text);
    const ClVec2 box(style.boxWidth > 0.0f ? style.boxWidth * canvas->scale : size.x * k,
                     style.boxHeight > 0.0f ? style.boxHeight * canvas->scale : size.y * k);
    const ClVec2 corner = alignRectInCurrentCanvas(*canvas, x * canvas->scale, y * canvas->scale, box.x, box.y,
                                                   alignment, alignment, false);
    queueTextWithShadow(*face, material, layer, colour, text, corner, box, k, alignment, shadowColour,
                        TEXT_SHADOW_OFFSET * k, colours);
    return true;
}

bool drawTextAtWorldPosition(const ClCamera* camera, const ClVec3& position, const char* effect, u32 textureHash,
                             const char* faceName, u32 layer, f32 size, f32 offsetX, f32 offsetY, u32 alignment,
                             u32 colour, const char16_t* text) {
    if (!camera) camera = viewCamera();
    const SFontFace* face = findFontFaceOrBase(faceName);
    if (!camera || !face || !face->texture || face->lineHeight <= 0.0f || !text) return false;

    bool inFront = false;
    const ClVec2 screen = camera->projectToScreen(position, &inFront);
    if (!inFront) return false;

    const f32 width = spriteTargetWidth();
    const f32 height = spriteTargetHeight();
    const f32 unit = height / WORLD_TEXT_SCREEN_UNITS;
    const ClVec2 point(screen.x * width + offsetX * unit, screen.y * height + offsetY * unit);
    const f32 k = size * unit / face->lineHeight;
    const ClVec2 extent = measureText(*face, text);
    const ClVec2 box(extent.x * k, extent.y * k);
    const SCanvasRect at{point.x, point.x, point.y, point.y};
    const ClVec2 corner = placeRectInCanvas(at, 0.0f, 0.0f, box.x, box.y, E_ALIGN_LEFT | E_ALIGN_TOP, alignment, false);

    const SMaterial* plain = getMaterialForEffect(effect);
    ClTexture* second = textureHash ? findTextureByHash(textureHash) : nullptr;
    const SMaterial* material = second && plain->shader->hasTextureSlot(1)
                                    ? getMaterialForEffectAndTextures2(effect, face->texture, second)
                                    : getMaterialForEffectAndTexture(effect, face->texture);
    queueGlyphs(*face, {material, fallbackMaterial(effect, *face)}, layer, colour, text, corner, box, k, alignment);
    return true;
}
