// Canvases: named rectangles of the screen with a scale (pixels per canvas unit), used to lay out
// screen elements, and the stack of rectangles the UI pushes around widget trees.
//
// Anchor and pivot flags: horizontal 1 left, 2 centre, 4 right; vertical 8 top, 16 middle,
// 32 bottom. Each word needs one horizontal and one vertical bit.
#pragma once

#include "core/types.h"
#include "core/vec.h"

enum E_CanvasAlign : u32 {
    E_ALIGN_LEFT = 1,
    E_ALIGN_CENTRE = 2,
    E_ALIGN_RIGHT = 4,
    E_ALIGN_TOP = 8,
    E_ALIGN_MIDDLE = 16,
    E_ALIGN_BOTTOM = 32,
};

constexpr u32 CANVAS_CAPACITY = 4;
constexpr u32 CANVAS_VARIANT_CAPACITY = 8;
constexpr u32 CANVAS_SUFFIX_LENGTH = 16;

struct SCanvasVariant {
    s32 pixelHeight;
    char suffix[CANVAS_SUFFIX_LENGTH];
};

struct SCanvasRect {
    f32 left, right, top, bottom;
};

struct SCanvas {
    SCanvasRect rect;
    f32 scale;  // pixels per canvas unit
    f32 pixelHeight;
    char suffix[CANVAS_SUFFIX_LENGTH];  // "_<pixel height>"
    SCanvasVariant variants[CANVAS_VARIANT_CAPACITY];
    u32 variantCount;
};

// The table with "FULL" over the back buffer (1080 units high), current, and an empty stack.
void createCanvases(f32 backBufferWidth, f32 backBufferHeight);
// Start-up: the variants 1080, 720 and 480 of "FULL", then "43CORE" and "SAFE" with theirs.
void defineStartupCanvases(f32 backBufferWidth, f32 backBufferHeight);
void releaseCanvases();
bool canvasesCreated();

// Creates or redefines (emptying its variants); a fifth name is fatal.
SCanvas* defineCanvas(const char* name, f32 unitsHigh, f32 pixelHeight, f32 x, f32 y, f32 width, f32 height,
                      u32 anchorFlags, u32 pivotFlags);
// A full list keeps its variants and returns false.
bool addCanvasVariant(SCanvas* canvas, s32 pixelHeight);
// Null when unknown; getCanvas stops the program instead.
SCanvas* findCanvas(const char* name);
SCanvas* getCanvas(const char* name);
const SCanvas* currentCanvas();

// The UI's stack of layout rectangles (16 entries; a 17th push and a pop of an empty stack are
// ignored). Its top replaces the canvas in the placement operations.
void pushCanvasRect(const SCanvasRect& rect);
void popCanvasRect();

ClVec2 placeRectInCanvas(const SCanvasRect& canvas, f32 x, f32 y, f32 width, f32 height, u32 anchorFlags,
                         u32 pivotFlags, bool round);
ClVec2 alignRectInCurrentCanvas(const SCanvas& canvas, f32 x, f32 y, f32 width, f32 height, u32 anchorFlags,
                                u32 pivotFlags, bool round);
f32 roundToNearest(f32 x);
