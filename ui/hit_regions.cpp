#include "ui/hit_regions.h"

#include "core/random.h"

namespace {

SUiHitRegion g_regions[UI_HIT_REGION_CAPACITY];
u32 g_regionCount = 0;

}  // namespace

void clearUiHitRegions() { g_regionCount = 0; }

void addUiHitRegion(ClWidget* widget, s32 region, const SCanvasRect& rect) {
    if (g_regionCount == UI_HIT_REGION_CAPACITY || rect.right <= rect.left || rect.bottom <= rect.top) return;
    g_regions[g_regionCount++] = SUiHitRegion{widget, region, rect};
}

u32 uiHitRegionCount() { return g_regionCount; }

const SUiHitRegion& uiHitRegion(u32 index) { return g_regions[index]; }

const SUiHitRegion* findUiHitRegionAt(f32 x, f32 y) {
    for (u32 i = g_regionCount; i-- > 0;) {
        const SCanvasRect& r = g_regions[i].rect;
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return &g_regions[i];
    }
    return nullptr;
}

s32 firstUiHitRegionOf(const ClWidget* widget) {
    for (u32 i = 0; i < g_regionCount; ++i)
        if (g_regions[i].widget == widget) return s32(i);
    return -1;
}

bool randomUiHitRegionCentre(f32* x, f32* y) {
    const SCanvas* full = findCanvas("FULL");
    if (g_regionCount == 0 || !full) return false;
    const f32 width = full->rect.right - full->rect.left;
    const f32 height = full->rect.bottom - full->rect.top;
    if (width <= 0.0f || height <= 0.0f) return false;
    const SCanvasRect& r = g_regions[sfmtGenRand32() % g_regionCount].rect;
    *x = ((r.left + r.right) * 0.5f - full->rect.left) / width;
    *y = ((r.top + r.bottom) * 0.5f - full->rect.top) / height;
    return true;
}
