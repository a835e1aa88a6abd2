// The render worker's frame: every piece of geometry of the handed-over half built, then the
// preview targets, the water reflection, the scene, the glow source and the bloom, the top 2D
// band, and the present; at the end the half's lists are cleared.
#pragma once

#include "core/types.h"
#include "core/vec.h"

constexpr u32 BLUR_TAP_COUNT = 15;
constexpr f32 WATER_PLANE_HEIGHT = -8.0f;

struct SBlurTables {
    ClVec2 horizontal[BLUR_TAP_COUNT];
    ClVec2 vertical[BLUR_TAP_COUNT];
    f32 weights[BLUR_TAP_COUNT];
};
// For a bloom target bloomWidth pixels wide.
SBlurTables makeBlurTables(f32 bloomWidth);

// Makes the hand-off run the scene render (render/render_worker.h).
void installSceneRender();
void renderScene();
void renderBloom();
// The frame's bookkeeping without drawing (nothing presented).
void skipFrameBookkeeping();
// Main thread: the clearing of a half that will not be drawn.
void clearFrameHalf(u32 half);
