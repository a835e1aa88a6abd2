// The per-frame draw lists: camera-facing sprites, lines, lines with a width and colour gradient,
// and textured quads, appended by game code and turned into batched geometry by the render worker.
//
// Every list is double-buffered by the flip index (render/render_worker.h): the main thread appends
// to half 1 - flip, the render worker builds and clears half flip. A command is drawn in a pass
// when (its layer mask AND the pass mask) == the pass mask; its owner (the render-target group of
// a preview, or null for the main scene) becomes the batched object's key.
#pragma once

#include "core/task_layer.h"

#include "core/types.h"
#include "core/vec.h"

struct SMaterial;
class ClRenderTargetGroup;

constexpr u32 SPRITE_COMMAND_CAPACITY = 16000;
constexpr u32 LINE_COMMAND_CAPACITY = 16000;
constexpr u32 GRADIENT_LINE_COMMAND_CAPACITY = 16000;
constexpr u32 QUAD_COMMAND_CAPACITY = 5000;
constexpr u32 DRAW_BUILD_RECORD_COUNT = 4;
constexpr u32 DRAW_BUILD_JOB_CAPACITY = 32;

// The pointers first, so the record packs into 48 bytes.
struct SSpriteCommand {
    ClVec4 position;
    const SMaterial* material;
    ClRenderTargetGroup* owner;
    f32 size;  // the full edge length
    u32 colour;
    u32 layerMask;
    f32 rotation;  // kept, not applied
};
static_assert(sizeof(SSpriteCommand) == 48, "a sprite record is three quarters of a cache line");

struct SLineCommand {
    ClVec4 start;
    ClVec4 end;
    u32 colour;
    const SMaterial* material;
    f32 width;       // half the drawn thickness
    f32 widthScale;  // kept, not read by the builder
    u32 layerMask;
    ClRenderTargetGroup* owner;
    u32 word;  // kept, not read by the builder
};

struct SGradientLineCommand {
    ClVec4 start;
    ClVec4 end;
    u32 word;  // always 0
    u32 startColour;
    u32 endColour;
    f32 startWidth;
    f32 endWidth;
    const SMaterial* material;
    u32 layerMask;
    ClRenderTargetGroup* owner;
};

struct SQuadCommand {
    ClVec4 corners[4];
    ClVec4 texCoords[4];  // u, v, 0, 0
    const SMaterial* material;
    u32 colour;
    u32 layerMask;
    ClRenderTargetGroup* owner;
    f32 depth;
};

// Producers: main thread, into half 1 - flip.

// Null when the half already holds SPRITE_COMMAND_CAPACITY - 1 sprites. The passes select the
// sprite by the layer mask given here, whatever its record says later.
SSpriteCommand* appendSpriteCommand(const ClVec3& position, f32 size, u32 colour, const SMaterial* material,
                                    u32 layerMask, f32 rotation);
// Dropped when the half holds LINE_COMMAND_CAPACITY - 1 lines.
void appendLineCommand(const ClVec3& start, const ClVec3& end, f32 width, u32 colour, const SMaterial* material,
                       f32 widthScale, u32 word, u32 layerMask);
// How many more lines the producer half takes before appendLineCommand drops them: a producer
// whose commands are all lines checks it once and skips the work of lines that would be dropped.
u32 lineCommandRoom();
// A run of lines taken at once, for a producer of many: `count` records (up to the n asked for,
// fewer when the half is nearly full) now counted in the half, each of which the producer must
// fill whole before the frame is handed over, with `owner` as its owner.
struct SLineRun {
    SLineCommand* lines;
    u32 count;
    ClRenderTargetGroup* owner;
};
SLineRun takeLineCommands(u32 n);
// Dropped when the half holds GRADIENT_LINE_COMMAND_CAPACITY - 1 lines.
void appendGradientLineCommand(const ClVec3& start, const ClVec3& end, f32 startWidth, f32 endWidth, u32 startColour,
                               u32 endColour, const SMaterial* material, u32 layerMask);
// A quad from origin along a and across b = a x n. Dropped when the half holds 4,999 quads.
void appendQuadCommand(const ClVec3& origin, const ClVec3& n, const ClVec3& a, f32 sizeAlong, f32 sizeAcross,
                       u32 colour, const SMaterial* material, u32 layerMask, f32 depth);
void appendCentredQuadCommand(const ClVec3& centre, const ClVec3& n, const ClVec3& a, f32 sizeAlong, f32 sizeAcross,
                              u32 colour, const SMaterial* material, u32 layerMask, f32 depth);
// With texture coordinates between texMin and texMax; dropped when 4,998 are queued.
void appendCentredQuadCommandUV(const ClVec3& centre, const ClVec3& n, const ClVec3& a, f32 sizeAlong, f32 sizeAcross,
                                u32 colour, const SMaterial* material, const ClVec2& texMin, const ClVec2& texMax,
                                u32 layerMask, f32 depth);
// Dropped when 4,999 are queued; its depth is 0.
void appendQuadCommandCorners(const ClVec3& c0, const ClVec3& c1, const ClVec3& c2, const ClVec3& c3, u32 colour,
                              const SMaterial* material, u32 layerMask);
// Stored into every command appended afterwards; null is the main scene.
void setCurrentDrawOwner(ClRenderTargetGroup* owner);

// Consumers: render worker, half flip.

// Sprites and gradient lines of the half, then the lines on the worker pool (waiting for them).
// The batched object's mask is the command's minus excludeMask; a command with an owner faces
// the owner's eye point instead of eye.
void buildDrawCommands(u32 passMask, const ClVec4& eye, u32 excludeMask);
// Every quad of the half, whatever its mask.
void buildQuadCommands();
void clearDrawLists();
// Empties one half (the hand-off clears the filled half when no frame can be drawn).
void clearDrawListHalf(u32 half);

// The line builder's task routines, which the program hands to core's import record for
// TASK_TYPE_DRAW_LIST_LINES.
const STaskType& drawListLineTaskType();
// The pool of build records (start-up, shutdown).
void initDrawBatchPool();
void releaseAllDrawBatches();

// Lines per worker-pool job: n cut into min(max(2, poolThreads), DRAW_BUILD_JOB_CAPACITY)
// slices, rounded up.
u32 lineSliceSize(u32 lineCount, u32 poolThreads);

struct SDrawListCounts {
    u32 sprites;
    u32 lines;
    u32 gradientLines;
    u32 quads;
};
SDrawListCounts drawListCounts(u32 half);
// The commands of one half, drawListCounts(half) of each: for the builders' callers that check what
// a producer appended.
const SSpriteCommand* drawListSprites(u32 half);
const SLineCommand* drawListLines(u32 half);
const SQuadCommand* drawListQuads(u32 half);
