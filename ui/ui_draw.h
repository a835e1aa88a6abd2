// The interface's filled rectangles, outlines and texts, queued into the 2D quad queue in
// screen pixels. Main thread only.
#pragma once

#include "core/types.h"
#include "render/canvases.h"

class ClWidget;
struct SUiDrawState;

// Shapes are drawn with this effect over the white image "Images/square".
constexpr const char* UI_SHAPE_EFFECT = "system_blend";
constexpr const char* UI_SHAPE_IMAGE = "Images/square";
constexpr const char* UI_TEXT_EFFECT = "system_font";

// Takes the white image (loading it when absent); without it no shape is drawn.
void initUiDraw();
void releaseUiDraw();

// The colour with its alpha scaled (alpha held to 0..1).
u32 colourWithAlpha(u32 colour, f32 alpha);
void drawUiRect(u32 layer, const SCanvasRect& rect, u32 colour, f32 alpha);
// The four edges, thickness pixels wide, inside the rectangle.
void drawUiOutline(u32 layer, const SCanvasRect& rect, f32 thickness, u32 colour, f32 alpha);
// The text laid out inside the rectangle by the alignment flags, lines size canvas units high,
// colour tags applied, the shadow one layer below (none when its alpha is 0). False when the
// face (or its base face) or the canvas is missing.
bool drawUiText(const SUiDrawState& state, u32 layer, const SCanvasRect& rect, const char* face, f32 size,
                u32 alignment, u32 colour, u32 shadowColour, const char16_t* text);

// What a text widget shows: "dynamicUnicodeText", else "dynamicText" (UTF-8), else the string of
// "localizedID" when not 0; null when none gives a text. A narrow text is widened into a buffer
// the next call reuses.
const char16_t* widgetDisplayText(const ClWidget& widget);
