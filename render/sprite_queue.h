// The 2D quad batch: screen-space images (UI sprites, HUD pieces, text glyphs) queued during the
// frame with a layer, a material and a colour, sorted by layer and material, and turned into
// batched geometry under an orthographic projection by the scene render.
//
// Positions are pixels of the render target current when the quad was queued (the back buffer
// unless setSpriteTarget chose a group). Smaller layers draw first.
#pragma once

#include "core/types.h"
#include "core/vec.h"

struct SMaterial;
class ClRenderTargetGroup;

constexpr u32 SPRITE_QUEUE_CAPACITY = 3072;

struct SSpriteQuad {
    f32 x, y;  // top-left corner
    f32 width, height;
    ClVec2 texMin;
    ClVec2 texMax;
    const SMaterial* material;
    u32 colour;  // ARGB
};

// Clears the queue, creates the canvases with "FULL" over the back buffer and makes it current,
// and (when called again) resets the target to the back buffer.
void initSpriteQueue();
// Quads drawn while the queue is not initialised are ignored.
bool spriteQueueInitialised();
void shutdownSpriteQueue();

// A full queue drops the quad without a report.
void addSpriteQuadUV(u32 layer, const SMaterial* material, u32 colour, f32 x, f32 y, f32 width, f32 height,
                     const ClVec2& texMin, const ClVec2& texMax);
void addSpriteQuad(u32 layer, const SMaterial* material, u32 colour, f32 x, f32 y, f32 width, f32 height);
// x and y placed in the current canvas (render/canvases.h).
void addSpriteQuadAligned(u32 layer, const SMaterial* material, u32 colour, f32 x, f32 y, f32 width, f32 height,
                          u32 pivotFlags, u32 anchorFlags, bool round);

// Quads queued afterwards draw into the group (null: the back buffer).
void setSpriteTarget(ClRenderTargetGroup* group);
f32 spriteTargetWidth();
f32 spriteTargetHeight();

// Render worker: by layer, then by the material's pool index (deterministic, unlike addresses).
void sortSpriteQueue();
// Render worker, once sorted: the quads of layers first..last into the batcher with z = layer x
// depthScale, depth -layer and the quad's target as key.
void buildSpriteQueueGeometry(u32 mask, u32 firstLayer, u32 lastLayer, f32 depthScale);
// After drawing: no quads, not sorted.
void resetSortedSpriteQueue();
// Empties the queue whatever its state (the hand-off, while the device is lost).
void clearSpriteQueue();

// The orthographic projection over the selected render target (x 0..width, y 0..height down).
void pushSpriteProjection();
void popSpriteTransforms();

u32 spriteQueueCount();
const SSpriteQuad& spriteQueueQuad(u32 index);
