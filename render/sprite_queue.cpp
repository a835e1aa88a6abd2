#include "render/sprite_queue.h"

#include "render/batcher.h"
#include "render/canvases.h"
#include "render/materials.h"
#include "render/render_device.h"
#include "render/render_state.h"
#include "render/render_target.h"
#include "render/texture.h"
#include "render/transform_stacks.h"

#include <algorithm>

namespace {

struct SSpriteQueue {
    SSpriteQuad quads[SPRITE_QUEUE_CAPACITY];
    u16 layers[SPRITE_QUEUE_CAPACITY];
    ClRenderTargetGroup* targets[SPRITE_QUEUE_CAPACITY];
    u16 order[SPRITE_QUEUE_CAPACITY];
    u16 count = 0;
    bool sorted = false;
    ClRenderTargetGroup* target = nullptr;
    f32 targetWidth = 0.0f;
    f32 targetHeight = 0.0f;
    bool initialised = false;
};

SSpriteQueue g_SpriteQueue;

u32 materialSortKey(const SMaterial* material) { return material ? material->poolIndex : 0; }

void writeSpriteVertex(SBatchVertex* v, f32 x, f32 y, f32 z, u32 colour, f32 u, f32 tv) {
    *v = SBatchVertex{x, y, z, colour, 0.0f, 0.0f, 0.0f, u, tv};
}

}  // namespace

void initSpriteQueue() {
    SSpriteQueue& queue = g_SpriteQueue;
    queue.count = 0;
    queue.sorted = false;
    createCanvases(screenWidth(), screenHeight());
    if (queue.initialised) setSpriteTarget(nullptr);
    queue.targetWidth = screenWidth();
    queue.targetHeight = screenHeight();
    queue.initialised = true;
}

bool spriteQueueInitialised() { return g_SpriteQueue.initialised; }

void shutdownSpriteQueue() {
    g_SpriteQueue.initialised = false;
    g_SpriteQueue.count = 0;
    g_SpriteQueue.target = nullptr;
}

void addSpriteQuadUV(u32 layer, const SMaterial* material, u32 colour, f32 x, f32 y, f32 width, f32 height,
                     const ClVec2& texMin, const ClVec2& texMax) {
    SSpriteQueue& queue = g_SpriteQueue;
    if (queue.count >= SPRITE_QUEUE_CAPACITY) return;
    const u16 i = queue.count++;
    queue.quads[i] = SSpriteQuad{x, y, width, height, texMin, texMax, material, colour};
    queue.layers[i] = u16(layer);
    queue.targets[i] = queue.target;
    queue.sorted = false;
}

void addSpriteQuad(u32 layer, const SMaterial* material, u32 colour, f32 x, f32 y, f32 width, f32 height) {
    addSpriteQuadUV(layer, material, colour, x, y, width, height, ClVec2(0.0f, 0.0f), ClVec2(1.0f, 1.0f));
}

void addSpriteQuadAligned(u32 layer, const SMaterial* material, u32 colour, f32 x, f32 y, f32 width, f32 height,
                          u32 pivotFlags, u32 anchorFlags, bool round) {
    if (g_SpriteQueue.count >= SPRITE_QUEUE_CAPACITY) return;
    const ClVec2 p = alignRectInCurrentCanvas(*currentCanvas(), x, y, width, height, anchorFlags, pivotFlags, round);
    addSpriteQuad(layer, material, colour, p.x, p.y, width, height);
}

void setSpriteTarget(ClRenderTargetGroup* group) {
    SSpriteQueue& queue = g_SpriteQueue;
    if (!queue.initialised) return;
    queue.target = group;
    if (group) {
        queue.targetWidth = group->target()->textureWidth();
        queue.targetHeight = group->target()->textureHeight();
    } else {
        queue.targetWidth = screenWidth();
        queue.targetHeight = screenHeight();
    }
}

f32 spriteTargetWidth() { return g_SpriteQueue.targetWidth; }
f32 spriteTargetHeight() { return g_SpriteQueue.targetHeight; }

void sortSpriteQueue() {
    SSpriteQueue& queue = g_SpriteQueue;
    if (!queue.initialised) return;
    for (u16 i = 0; i < queue.count; ++i) queue.order[i] = i;
    std::sort(queue.order, queue.order + queue.count, [&](u16 a, u16 b) {
        if (queue.layers[a] != queue.layers[b]) return queue.layers[a] < queue.layers[b];
        return materialSortKey(queue.quads[a].material) < materialSortKey(queue.quads[b].material);
    });
    queue.sorted = true;
}

static_assert(SPRITE_QUEUE_CAPACITY <= BATCH_QUAD_SHARE, "the batcher keeps room for every queued quad");

void buildSpriteQueueGeometry(u32 mask, u32 firstLayer, u32 lastLayer, f32 depthScale) {
    SSpriteQueue& queue = g_SpriteQueue;
    if (!queue.sorted) return;
    for (u16 n = 0; n < queue.count; ++n) {
        const u16 i = queue.order[n];
        const u32 layer = queue.layers[i];
        if (layer < firstLayer || layer > lastLayer) continue;
        const SBatchReservation r = reserveBatchQuadGeometry(1, 4, 6);
        if (!r.vertices) return;  // the frame's geometry is full: the rest cannot fit either
        const SSpriteQuad& q = queue.quads[i];
        const f32 z = f32(layer) * depthScale;
        const f32 x0 = q.x - 0.5f, y0 = q.y - 0.5f;
        writeSpriteVertex(r.vertices + 0, x0, y0, z, q.colour, q.texMin.x, q.texMin.y);
        writeSpriteVertex(r.vertices + 1, x0 + q.width, y0, z, q.colour, q.texMax.x, q.texMin.y);
        writeSpriteVertex(r.vertices + 2, x0, y0 + q.height, z, q.colour, q.texMin.x, q.texMax.y);
        writeSpriteVertex(r.vertices + 3, x0 + q.width, y0 + q.height, z, q.colour, q.texMax.x, q.texMax.y);
        const u32 b = r.vertexBase;
        const u32 indices[6] = {b, b + 1, b + 2, b + 1, b + 3, b + 2};
        std::copy(indices, indices + 6, r.stagedIndices);
        r.layerMasks[0] = mask;
        r.indexRanges[0] = SBatchIndexRange{r.firstStagedIndex, 6};
        r.depths[0] = -f32(layer);
        r.materials[0] = q.material;
        r.keys[0] = reinterpret_cast<BatchKey>(queue.targets[i]);
    }
}

void resetSortedSpriteQueue() {
    if (!g_SpriteQueue.sorted) return;
    g_SpriteQueue.count = 0;
    g_SpriteQueue.sorted = false;
}

void clearSpriteQueue() {
    g_SpriteQueue.count = 0;
    g_SpriteQueue.sorted = false;
}

void pushSpriteProjection() { pushOrthoProjection(getRenderTargetWidth(), getRenderTargetHeight()); }

void popSpriteTransforms() {
    popTransform(E_TRANSFORM_PROJECTION);
    popTransform(E_TRANSFORM_VIEW);
}

u32 spriteQueueCount() { return g_SpriteQueue.count; }
const SSpriteQuad& spriteQueueQuad(u32 index) { return g_SpriteQueue.quads[index]; }
