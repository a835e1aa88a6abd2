#include "world/effects/equaliser_display.h"

#include "audio/analysis/spectrum_analysis.h"
#include "core/random.h"
#include "core/saved_options.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "world/effects/equaliser_state.h"
#include "world/services/bar_colour_scheme.h"

#include <algorithm>
#include <cmath>

namespace {

// Layer masks: base line and cells also in the reflection; the ceiling glow in the world only.
constexpr u32 EQ_BASE_LINE_MASK = 0xEC;
constexpr u32 EQ_CEILING_LINE_MASK = 0xAC;
constexpr u32 EQ_CEILING_GLOW_MASK = 0x2C;
constexpr u32 EQ_CELL_MASK = 0xF4;
constexpr u32 EQ_HIGHLIGHT_MASK = 0xAC;

// Neighbouring cells overlap by 2%; a cell is 0.95 of a row high, hanging from its row's top.
constexpr f32 EQ_CELL_WIDTH_FACTOR = 1.02f;
constexpr f32 EQ_CELL_HEIGHT = 3.7321429f;
constexpr u32 EQ_HIGHLIGHT_ALPHA_WITHOUT_BLOOM = 0xE5000000u;
constexpr u32 EQ_BLOCKED_ALPHA = 0x18000000u;
constexpr u32 EQ_GLOW_LINE_ALPHA = 0xA3000000u;

constexpr u32 RGB_MASK = 0x00FFFFFFu;

f32 lineWidth(f32 base, f32 spread) { return base + spread * randomUnitFloat(); }

// A coin from the global generator: 0 or 1.
u32 flickerCoin() { return (sfmtGenRand32() % 2147483647u) % 2u; }

void drawLines(s32 ceilingRow, f32 guardianRise) {
    SMaterial* line = getMaterialForEffectAndTextureName("Debug_Add", "Images/BarBrightLine");
    SMaterial* glow = getMaterialForEffectAndTextureName("system_add_nobias", "Images/Lensflare-glow");
    const u32 lineColour = g_BarColourScheme.eqLineColour().current;
    const f32 width = f32(EQ_DISPLAY_WIDTH);

    appendLineCommand({0, 0, 0}, {width, 0, 0}, lineWidth(1.8f, 2.4f), lineColour, line, 0.0f, 1, EQ_BASE_LINE_MASK);

    const f32 ceiling = f32(f64(ceilingRow) * EQ_ROW_PITCH);
    g_fEqualiserCeiling = ceiling;
    // The ceiling line fades as the guardian level rises faster.
    const f32 fade = std::clamp(std::trunc((1.0f - guardianRise) * 255.0f), 0.0f, 255.0f);
    const u32 ceilingColour = (u32(fade) << 24) | (lineColour & RGB_MASK);
    appendLineCommand({0, ceiling, 0}, {width, ceiling, 0}, lineWidth(1.8f, 2.4f), ceilingColour, line, 0.0f, 1,
                      EQ_CEILING_LINE_MASK);
    const u32 glowColour = (g_BarColourScheme.eqGlowLineColour().current & RGB_MASK) | EQ_GLOW_LINE_ALPHA;
    appendLineCommand({0, ceiling, 0}, {width, ceiling, 0}, lineWidth(12.0f, 16.0f), glowColour, glow, 0.0f, 1,
                      EQ_CEILING_GLOW_MASK);
}

struct SColumnStyle {
    SMaterial* cell;
    SMaterial* highlight;
    u32 cellColour;
    u32 highlightColour;
    u32 blockedColour;
    f32 highlightSize;
};

void drawColumn(const SColumnStyle& style, s32 column, s32 level, s32 ceilingRow, f64 pitch) {
    const f32 x0 = f32(pitch * column);
    const f32 cellWidth = f32(f64(EQ_CELL_WIDTH_FACTOR) * pitch);
    const ClVec3 normal = {0, 0, 1};
    const ClVec3 along = {1, 0, 0};
    for (s32 i = 0; i < level; ++i) {
        // The column fades upwards and flickers by one step.
        const u32 alpha = 240u - 18u * (u32(i) + flickerCoin());
        appendQuadCommand({x0, f32((i + 1) * EQ_ROW_PITCH), 0}, normal, along, cellWidth, EQ_CELL_HEIGHT,
                          (alpha << 24) | style.cellColour, style.cell, EQ_CELL_MASK, 0.0f);
    }
    for (s32 row = ceilingRow + 1; row <= EQ_ROW_COUNT; ++row) {
        appendQuadCommand({x0, f32(row * EQ_ROW_PITCH), 0}, normal, along, cellWidth, EQ_CELL_HEIGHT,
                          style.blockedColour, style.cell, EQ_CELL_MASK, 0.0f);
    }
    const f32 size = style.highlightSize;
    for (s32 i = 0; i < level; i += 5) {
        appendSpriteCommand({f32(pitch * (column + 0.5)), f32(i * EQ_ROW_PITCH), 0},
                            randomFloatInRange(size - 0.1f * size, size + 0.1f * size), style.highlightColour,
                            style.highlight, EQ_HIGHLIGHT_MASK, 0.0f);
    }
}

}  // namespace

s32 equaliserCeilingRow(f32 guardianLevel) {
    const f32 above = std::max(0.0f, guardianLevel - 100.0f);
    const f32 blocked = std::trunc(above / 900.0f * 13.0f);
    return EQ_ROW_COUNT - s32(std::clamp(blocked, 0.0f, f32(EQ_ROW_COUNT)));
}

s32 equaliserColumnForBand(u32 band, u32 bandCount, f32 pan, f32* outEdge) {
    const f64 pitch = EQ_DISPLAY_WIDTH / bandCount;
    if (pan == 0.0f) {
        *outEdge = 0.0f;
        return s32(band);
    }
    // A positive pan packs the bands towards the right, from column trunc(a); a negative one
    // towards the left, up to column trunc(b).
    const f32 a = std::clamp(pan, 0.0f, 1.0f) * f32(bandCount) * 0.75f;
    const f32 b = (0.75f * std::clamp(pan + 1.0f, 0.0f, 1.0f) + 0.25f) * f32(bandCount);
    const s32 ia = s32(a);
    const s32 ib = s32(b);
    *outEdge = f32(pitch * (a != 0.0f ? ia : ib));
    return s32(ia + f64(ib - ia) * band / bandCount);
}

void drawEqualiserDisplay(s32 frame) {
    const s32 ceilingRow = equaliserCeilingRow(g_fGuardianLevel);
    drawLines(ceilingRow, g_fGuardianRise);

    const SSpectrumHeader& header = spectrumAnalysis().header;
    const u32 bandCount = std::min(header.bandCount, SPECTRUM_MAX_BANDS);
    if (frame < 0 || u32(frame) >= header.frameCount || header.bandValues == nullptr || bandCount == 0) return;

    SColumnStyle style;
    style.cell = getMaterialForEffectAndTextureName("Debug_Add", "Images/EQ");
    style.highlight = getMaterialForEffectAndTextureName("Debug_Add", "Images/Lensflare-glow");
    style.cellColour = g_BarColourScheme.eqCellColour().current;
    style.highlightColour = g_BarColourScheme.eqHighlightColour().current;
    if (savedOptions().bloom == 0) style.highlightColour = (style.highlightColour & RGB_MASK) | EQ_HIGHLIGHT_ALPHA_WITHOUT_BLOOM;
    style.blockedColour = (style.highlightColour & RGB_MASK) | EQ_BLOCKED_ALPHA;
    style.highlightSize = g_BarColourScheme.eqHighlightSize().current;

    const f64 pitch = EQ_DISPLAY_WIDTH / bandCount;
    for (u32 band = 0; band < bandCount; ++band) {
        const f32 value = spectrumBandValue(u32(frame), band);
        const f32 scaled = value > 0.0f ? std::trunc(14.0f * value) : 0.0f;
        const s32 level = std::min(s32(std::min(scaled, f32(EQ_ROW_COUNT))), ceilingRow);
        const s32 column = equaliserColumnForBand(band, bandCount, g_fEqualiserPan, &g_fEqualiserPanEdge);
        drawColumn(style, column, level, ceilingRow, pitch);
    }
}
