#include "ui/ui_draw.h"

#include "core/float_helpers.h"
#include "core/string_table.h"
#include "render/materials.h"
#include "render/sprite_queue.h"
#include "render/texture.h"
#include "ui/font_face.h"
#include "ui/text_draw.h"
#include "ui/widget.h"

#include <string>

namespace {

ClTexture* g_uiWhite = nullptr;
std::u16string g_widened;

// UTF-8 into UTF-16 units, code points above the first plane and broken sequences as '?'.
void widenUtf8(const char* text, std::u16string* out) {
    out->clear();
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        u32 code = *p++;
        u32 more = 0;
        if (code >= 0xF0) code = 0xFFFFFFFFu;
        else if (code >= 0xE0) code &= 0x0F, more = 2;
        else if (code >= 0xC0) code &= 0x1F, more = 1;
        else if (code >= 0x80) code = 0xFFFFFFFFu;
        for (; more > 0; --more) {
            if ((*p & 0xC0) != 0x80) {
                code = 0xFFFFFFFFu;
                break;
            }
            code = (code << 6) | (*p++ & 0x3F);
        }
        if (code == 0xFFFFFFFFu) {
            while ((*p & 0xC0) == 0x80) ++p;
            code = u'?';
        }
        out->push_back(char16_t(code));
    }
}

}  // namespace

void initUiDraw() { g_uiWhite = loadTexture(UI_SHAPE_IMAGE); }

void releaseUiDraw() { g_uiWhite = nullptr; }

u32 colourWithAlpha(u32 colour, f32 alpha) {
    const u32 a = u32(f32(colour >> 24) * clamp01(alpha) + 0.5f);
    return (a << 24) | (colour & 0xFFFFFFu);
}

void drawUiRect(u32 layer, const SCanvasRect& rect, u32 colour, f32 alpha) {
    if (!g_uiWhite || rect.right <= rect.left || rect.bottom <= rect.top) return;
    addSpriteQuad(layer, getMaterialForEffectAndTexture(UI_SHAPE_EFFECT, g_uiWhite), colourWithAlpha(colour, alpha),
                  rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

void drawUiOutline(u32 layer, const SCanvasRect& rect, f32 thickness, u32 colour, f32 alpha) {
    const f32 t = thickness;
    drawUiRect(layer, {rect.left, rect.right, rect.top, rect.top + t}, colour, alpha);
    drawUiRect(layer, {rect.left, rect.right, rect.bottom - t, rect.bottom}, colour, alpha);
    drawUiRect(layer, {rect.left, rect.left + t, rect.top + t, rect.bottom - t}, colour, alpha);
    drawUiRect(layer, {rect.right - t, rect.right, rect.top + t, rect.bottom - t}, colour, alpha);
}

bool drawUiText(const SUiDrawState& state, u32 layer, const SCanvasRect& rect, const char* face, f32 size,
                u32 alignment, u32 colour, u32 shadowColour, const char16_t* text) {
    const SFontFace* found = findFontFaceOrBase(face);
    if (!found || found->lineHeight <= 0.0f || !text || state.scale <= 0.0f) return false;
    STextStyle style;
    style.canvas = state.canvas;
    style.effect = UI_TEXT_EFFECT;
    style.face = face;
    style.boxWidth = (rect.right - rect.left) / state.scale;
    style.boxHeight = (rect.bottom - rect.top) / state.scale;
    pushCanvasRect(rect);
    const bool drawn = drawText(style, layer, alignment, 0.0f, 0.0f, size / found->lineHeight,
                                colourWithAlpha(colour, state.alpha), text, colourWithAlpha(shadowColour, state.alpha));
    popCanvasRect();
    return drawn;
}

const char16_t* widgetDisplayText(const ClWidget& widget) {
    if (const char16_t* wide = widget.getWideText("dynamicUnicodeText")) return wide;
    if (const char* narrow = widget.getText("dynamicText")) {
        widenUtf8(narrow, &g_widened);
        return g_widened.c_str();
    }
    const u32 id = u32(widget.getInt("localizedID"));
    return id ? stringTableLookup(id) : nullptr;
}
