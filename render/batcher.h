// The geometry batcher: almost everything drawn goes through two big per-frame buffers.
//
// Producers (main thread, render worker, worker-pool jobs) reserve room for objects, write their
// vertices and staged indices, and tag each object with a layer mask, a material, a depth and a
// target key. The render worker then builds per-layer lists: the objects whose mask holds every
// bit of the layer's, sorted and grouped into runs of one material per target key, their indices
// copied into the index buffer; each run is one indexed draw.
#pragma once

#include "core/types.h"
#include "core/vec.h"

#include <cstdint>

struct SMaterial;

// 36 bytes: position, colour (ARGB, stored as the bytes B, G, R, A), normal, texture coordinate.
struct SBatchVertex {
    f32 x, y, z;
    u32 colour;
    f32 nx, ny, nz;
    f32 u, v;
};
static_assert(sizeof(SBatchVertex) == 36, "the vertex layout is fixed");

constexpr u32 BATCH_VERTEX_CAPACITY = 128000;
constexpr u32 BATCH_INDEX_CAPACITY = 512000;          // 32-bit indices, staged and in the buffer alike
constexpr u32 BATCH_OBJECT_CAPACITY = BATCH_VERTEX_CAPACITY / 3;
constexpr u32 BATCH_TARGET_KEY_CAPACITY = 16;
constexpr u32 BATCH_LAYER_COUNT = 12;
constexpr u32 BATCH_RUN_CAPACITY = 1024;              // per layer and key
// The 2D quad batch (screens, HUD, pointer) builds its geometry after the world's has been
// reserved. The frame's last room for that many quads is kept for it, so that a world that
// fills the frame cannot take the screens with it.
constexpr u32 BATCH_QUAD_SHARE = 3072;
constexpr u32 BATCH_QUAD_SHARE_VERTICES = 4 * BATCH_QUAD_SHARE;
constexpr u32 BATCH_QUAD_SHARE_INDICES = 6 * BATCH_QUAD_SHARE;

// 0 is the main scene; any other key is the address of the ClRenderTargetGroup drawn into.
using BatchKey = uintptr_t;
constexpr BatchKey BATCH_KEY_MAIN_SCENE = 0;

struct SBatchIndexRange {
    u32 first;  // into the staged indices
    u32 count;
};

struct SBatchRun {
    const SMaterial* material;
    u32 firstIndex;  // into the index buffer
    u32 indexCount;
};

// Where a producer writes what it reserved: all null when nothing was reserved. Staged indices
// are absolute vertex numbers of the frame: vertexBase + the object's own vertex number.
struct SBatchReservation {
    SBatchVertex* vertices;
    u32* stagedIndices;
    u32 firstStagedIndex;
    u32 vertexBase;
    u32* layerMasks;
    SBatchIndexRange* indexRanges;
    f32* depths;
    const SMaterial** materials;
    BatchKey* keys;
};

// With resetKeys the registered keys become {main scene}; without, they survive (device reset).
// False, with the batcher not ready, when the device cannot make its buffers.
bool createBatchBuffers(bool resetKeys);
void releaseBatchBuffers();

// Main thread, start of each game-mode update: the other buffer pair, locked whole with discard,
// every count and run count zero. Nothing happens while the batcher is not ready.
void beginBatchFrame();
// Render worker, before drawing. Nothing happens while the batcher is not ready.
void unlockBatchBuffers();

// Any thread. Fails (all null) when the batcher or the device is not ready, or when the frame
// would reach BATCH_VERTEX_CAPACITY vertices, or exceed the object or staged-index capacity,
// each less the 2D quad batch's share.
SBatchReservation reserveBatchGeometry(u32 objects, u32 vertices, u32 indices);
// The same for the 2D quad batch, which may also take its share.
SBatchReservation reserveBatchQuadGeometry(u32 objects, u32 vertices, u32 indices);

// Appends a key; 0 when all BATCH_TARGET_KEY_CAPACITY are taken (or it is already there).
s32 registerBatchTarget(BatchKey key);
// Removes a key, closing the gap: 1, or 0 when it was not registered.
s32 unregisterBatchTarget(BatchKey key);
u32 batchTargetCount();

// Render worker, buffers still locked. Objects whose mask holds every bit of layerMask go into
// the layer's runs, per registered key. With sortByDepth: far first, then by material; with only
// sortByMaterial: by material; with neither, submission order is kept. Objects with a key that is
// not registered are skipped and logged; objects whose indices no longer fit into the index
// buffer, or whose run list is full, are dropped and logged.
void buildLayerDrawList(u32 layer, u32 layerMask, bool sortByDepth, bool sortByMaterial);

// Render worker, inside the scene and after unlockBatchBuffers: one indexed draw per run of the
// layer and key, each with its material made current (render/render_state.h) and the identity
// node as world; the material is ended afterwards. A key that is not registered stops the
// program; nothing is drawn while the batcher is not ready.
void drawBatchLayer(u32 layer, BatchKey key);

// The runs of a layer for a key; a key that is not registered stops the program.
u32 batchRunCount(u32 layer, BatchKey key);
const SBatchRun* batchRuns(u32 layer, BatchKey key);

// What this frame holds; the locked buffers (null while unlocked).
u32 batchVertexCount();
u32 batchIndexWritePosition();
const SBatchVertex* batchLockedVertices();
const u32* batchLockedIndices();

// v rounded up to a power of two (0 stays 0, a power of two stays).
u32 nextPowerOfTwo(u32 v);
