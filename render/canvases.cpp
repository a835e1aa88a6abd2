#include "render/canvases.h"

#include "core/fatal_error.h"
#include "core/global_objects.h"
#include "core/name_hash.h"

#include <cmath>
#include <cstdio>

namespace {

struct SCanvasTable {
    bool created = false;
    SCanvas canvases[CANVAS_CAPACITY] = {};
    u32 nameHashes[CANVAS_CAPACITY] = {};
    u32 count = 0;
    const SCanvas* current = nullptr;
    u32 currentHash = 0;
    SCanvasRect stack[CANVAS_STACK_CAPACITY] = {};
    u32 stackDepth = 0;
};

SCanvasTable g_Canvases;

const s32 STARTUP_VARIANT_HEIGHTS[] = {1080, 720, 480};

void requireCanvases(const char* what) {
    if (!g_Canvases.created) fatalErrorf("%s: the canvases do not exist yet", what);
}

f32 placeAxis(f32 extent, f32 value, f32 size, u32 anchor, u32 pivot, u32 low, u32 centre, u32 high) {
    f32 v;
    if (anchor & low) {
        v = value;
    } else if (anchor & high) {
        v = extent - value;
    } else if (anchor & centre) {
        v = extent * 0.5f + value;
    } else {
        fatalErrorf("canvas anchor flags 0x%x name no position on an axis", anchor);
    }
    if (!(pivot & low)) {
        if (pivot & high) {
            v -= size;
        } else if (pivot & centre) {
            v -= size * 0.5f;
        } else {
            fatalErrorf("canvas pivot flags 0x%x name no position on an axis", pivot);
        }
    }
    return v;
}

void defineStartupVariants(SCanvas* canvas) {
    for (s32 height : STARTUP_VARIANT_HEIGHTS) addCanvasVariant(canvas, height);
}

}  // namespace

f32 roundToNearest(f32 x) { return std::floor(x + 0.5f); }

ClVec2 placeRectInCanvas(const SCanvasRect& canvas, f32 x, f32 y, f32 width, f32 height, u32 anchorFlags,
                         u32 pivotFlags, bool round) {
    f32 px = placeAxis(canvas.right - canvas.left, x, width, anchorFlags, pivotFlags, E_ALIGN_LEFT, E_ALIGN_CENTRE,
                       E_ALIGN_RIGHT);
    f32 py = placeAxis(canvas.bottom - canvas.top, y, height, anchorFlags, pivotFlags, E_ALIGN_TOP, E_ALIGN_MIDDLE,
                       E_ALIGN_BOTTOM);
    if (round) {
        px = roundToNearest(px);
        py = roundToNearest(py);
    }
    return ClVec2(px + canvas.left, py + canvas.top);
}

ClVec2 alignRectInCurrentCanvas(const SCanvas& canvas, f32 x, f32 y, f32 width, f32 height, u32 anchorFlags,
                                u32 pivotFlags, bool round) {
    const SCanvasRect& rect = g_Canvases.stackDepth ? g_Canvases.stack[g_Canvases.stackDepth - 1] : canvas.rect;
    return placeRectInCanvas(rect, x, y, width, height, anchorFlags, pivotFlags, round);
}

void createCanvases(f32 backBufferWidth, f32 backBufferHeight) {
    g_Canvases = SCanvasTable{};
    g_Canvases.created = true;
    // "FULL" is placed in the whole back buffer it is made from.
    g_Canvases.canvases[0].rect = {0.0f, backBufferWidth, 0.0f, backBufferHeight};
    defineCanvas("FULL", 1080.0f, backBufferHeight, 0.0f, 0.0f, backBufferWidth, backBufferHeight,
                 E_ALIGN_LEFT | E_ALIGN_TOP, E_ALIGN_LEFT | E_ALIGN_TOP);
    g_Canvases.current = getCanvas("FULL");
    g_Canvases.currentHash = crc32TextNoCase("FULL");
}

void defineStartupCanvases(f32 backBufferWidth, f32 backBufferHeight) {
    const f32 h = backBufferHeight;
    f32 coreWidth, coreHeight, pixelHeight;
    if (h >= 900.0f) {
        coreWidth = 1200.0f, coreHeight = 900.0f, pixelHeight = 1080.0f;
    } else if (h >= 600.0f) {
        coreWidth = 800.0f, coreHeight = 600.0f, pixelHeight = 720.0f;
    } else if (h >= 480.0f) {
        coreWidth = 533.0f, coreHeight = 480.0f, pixelHeight = 480.0f;
    } else {
        coreWidth = 1224.0f * h / 1080.0f, coreHeight = 918.0f * h / 1080.0f, pixelHeight = h;
    }
    defineStartupVariants(getCanvas("FULL"));
    const u32 centred = E_ALIGN_CENTRE | E_ALIGN_MIDDLE;
    defineStartupVariants(defineCanvas("43CORE", 1080.0f, pixelHeight, 0.0f, 0.0f, coreWidth, coreHeight, centred, centred));
    defineStartupVariants(
        defineCanvas("SAFE", 1080.0f, pixelHeight, 0.0f, 0.0f, backBufferWidth, backBufferHeight, centred, centred));
}

void releaseCanvases() { g_Canvases = SCanvasTable{}; }

bool canvasesCreated() { return g_Canvases.created; }

SCanvas* defineCanvas(const char* name, f32 unitsHigh, f32 pixelHeight, f32 x, f32 y, f32 width, f32 height,
                      u32 anchorFlags, u32 pivotFlags) {
    requireCanvases(name);
    SCanvas* canvas = findCanvas(name);
    if (!canvas) {
        if (g_Canvases.count == CANVAS_CAPACITY) fatalErrorf("canvas \"%s\": all %u canvases are taken", name, CANVAS_CAPACITY);
        g_Canvases.nameHashes[g_Canvases.count] = crc32TextNoCase(name);
        canvas = &g_Canvases.canvases[g_Canvases.count++];
    }
    const SCanvasRect outer = g_Canvases.stackDepth ? g_Canvases.stack[g_Canvases.stackDepth - 1] : g_Canvases.canvases[0].rect;
    const ClVec2 corner = placeRectInCanvas(outer, x, y, width, height, anchorFlags, pivotFlags, true);
    canvas->rect = {corner.x, corner.x + roundToNearest(width), corner.y, corner.y + roundToNearest(height)};
    canvas->scale = pixelHeight / unitsHigh;
    canvas->pixelHeight = pixelHeight;
    std::snprintf(canvas->suffix, sizeof canvas->suffix, "_%.0f", double(pixelHeight));
    canvas->variantCount = 0;
    return canvas;
}

bool addCanvasVariant(SCanvas* canvas, s32 pixelHeight) {
    if (canvas->variantCount == CANVAS_VARIANT_CAPACITY) return false;
    SCanvasVariant& variant = canvas->variants[canvas->variantCount++];
    variant.pixelHeight = pixelHeight;
    std::snprintf(variant.suffix, sizeof variant.suffix, "_%d", pixelHeight);
    return true;
}

SCanvas* findCanvas(const char* name) {
    if (!g_Canvases.created) return nullptr;
    const u32 hash = crc32TextNoCase(name);
    for (u32 i = 0; i < g_Canvases.count; ++i)
        if (g_Canvases.nameHashes[i] == hash) return &g_Canvases.canvases[i];
    return nullptr;
}

SCanvas* getCanvas(const char* name) {
    requireCanvases(name);
    SCanvas* canvas = findCanvas(name);
    if (!canvas) fatalErrorf("canvas \"%s\" is not defined", name);
    return canvas;
}

const SCanvas* currentCanvas() { return g_Canvases.current; }

void pushCanvasRect(const SCanvasRect& rect) {
    if (g_Canvases.stackDepth < CANVAS_STACK_CAPACITY) g_Canvases.stack[g_Canvases.stackDepth++] = rect;
}

void popCanvasRect() {
    if (g_Canvases.stackDepth > 0) --g_Canvases.stackDepth;
}

