// Pointer hit regions: the screen rectangles of the focusable widgets drawn in the last frame,
// which the pointer focuses and the random input tester aims at. Main thread only.
#pragma once

#include "core/types.h"
#include "render/canvases.h"

class ClWidget;

constexpr u32 UI_HIT_REGION_CAPACITY = 128;

struct SUiHitRegion {
    ClWidget* widget;
    s32 region;        // the widget's own numbering (a list's rows)
    SCanvasRect rect;  // back-buffer pixels
};

void clearUiHitRegions();
// Regions beyond the capacity are dropped; empty rectangles are not added.
void addUiHitRegion(ClWidget* widget, s32 region, const SCanvasRect& rect);
u32 uiHitRegionCount();
const SUiHitRegion& uiHitRegion(u32 index);
// The region under the pixel, the one added last when several are; null when none.
const SUiHitRegion* findUiHitRegionAt(f32 x, f32 y);
// The index of the widget's first region; -1 when it has none.
s32 firstUiHitRegionOf(const ClWidget* widget);
// The provider the input layer's random tester calls: the centre of a region drawn at random
// (the global generator), in 0..1 of the back buffer ("FULL"). False without regions or
// canvases.
bool randomUiHitRegionCentre(f32* x, f32* y);
