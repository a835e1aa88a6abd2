#include "render/batcher.h"

#include "core/crit_section_pool.h"
#include "core/fatal_error.h"
#include "core/log_manager.h"
#include "platform/gfx/gfx_device.h"
#include "render/batch_buffers.h"
#include "render/render_state.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace {

// Selected object numbers are padded to a power of two for the merge sort.
constexpr u32 BATCH_SORT_CAPACITY = 65536;
static_assert(BATCH_OBJECT_CAPACITY <= BATCH_SORT_CAPACITY, "object numbers are 16-bit");

const char* const BATCH_LOG_NAME = "render";

struct SBatcher {
    std::atomic<bool> ready{false};
    SCritSection* lock = nullptr;
    u32 bufferIndex = 0;

    // This frame's counts; written under the lock by reservations.
    u32 vertexCount = 0;
    u32 objectCount = 0;
    u32 stagedIndexCount = 0;
    u32 indexWritePosition = 0;
    s32 lockedBuffer = -1;
    SBatchVertex* lockedVertices = nullptr;
    u32* lockedIndices = nullptr;

    BatchKey keys[BATCH_TARGET_KEY_CAPACITY] = {};
    u32 keyCount = 0;
};

SBatcher g_Batcher;

u32 g_auStagedIndices[BATCH_INDEX_CAPACITY];
u32 g_auLayerMasks[BATCH_OBJECT_CAPACITY];
SBatchIndexRange g_aIndexRanges[BATCH_OBJECT_CAPACITY];
f32 g_afDepths[BATCH_OBJECT_CAPACITY];
const SMaterial* g_apMaterials[BATCH_OBJECT_CAPACITY];
BatchKey g_aKeys[BATCH_OBJECT_CAPACITY];

u32 g_auRunCounts[BATCH_LAYER_COUNT][BATCH_TARGET_KEY_CAPACITY];
SBatchRun g_aRuns[BATCH_LAYER_COUNT][BATCH_TARGET_KEY_CAPACITY][BATCH_RUN_CAPACITY];

// Render worker only.
u16 g_auSelected[BATCH_SORT_CAPACITY];
u16 g_auSortScratch[BATCH_SORT_CAPACITY];

constexpr BatchKey BATCH_SORT_SENTINEL_KEY = ~BatchKey(0);

s32 keyPosition(BatchKey key) {
    for (u32 i = 0; i < g_Batcher.keyCount; ++i)
        if (g_Batcher.keys[i] == key) return static_cast<s32>(i);
    return -1;
}

// Depths ordered as integers: a total order, NaN included, so a bad depth cannot break the sort.
s32 depthOrder(f32 depth) {
    s32 bits;
    std::memcpy(&bits, &depth, sizeof bits);
    return bits < 0 ? static_cast<s32>(0x80000000u - static_cast<u32>(bits)) : bits;
}

uintptr_t materialOrder(u16 object) { return reinterpret_cast<uintptr_t>(g_apMaterials[object]); }

BatchKey objectKey(u16 object) { return object == 0xFFFFu ? BATCH_SORT_SENTINEL_KEY : g_aKeys[object]; }

// Bottom-up merge sort by key, stable; count is a power of two, padded with the sentinel object.
void mergeSortByKey(u16* objects, u32 count) {
    u16* from = objects;
    u16* to = g_auSortScratch;
    for (u32 width = 1; width < count; width *= 2) {
        for (u32 start = 0; start < count; start += 2 * width) {
            u32 left = start;
            u32 right = start + width;
            const u32 leftEnd = start + width;
            const u32 rightEnd = start + 2 * width;
            u32 out = start;
            while (left < leftEnd && right < rightEnd)
                to[out++] = objectKey(from[right]) < objectKey(from[left]) ? from[right++] : from[left++];
            while (left < leftEnd) to[out++] = from[left++];
            while (right < rightEnd) to[out++] = from[right++];
        }
        std::swap(from, to);
    }
    if (from != objects) std::memcpy(objects, from, count * sizeof(u16));
}

// The layer's objects, their numbers into g_auSelected; with keyOrder, whether their keys come in
// order is found on the way, so that a layer kept in submission order needs no second pass.
template <bool keyOrder>
u32 selectObjects(u32 layerMask, bool& keysInOrder) {
    u32 count = 0;
    BatchKey lastKey = 0;
    keysInOrder = true;
    for (u32 object = 0; object < g_Batcher.objectCount; ++object) {
        if ((g_auLayerMasks[object] & layerMask) != layerMask) continue;
        if (keyOrder) {
            const BatchKey key = g_aKeys[object];
            if (count > 0 && key < lastKey) keysInOrder = false;
            lastKey = key;
        }
        g_auSelected[count++] = static_cast<u16>(object);
    }
    return count;
}

// The sort flags' orders, on copies of the fields, so the comparisons read one record each.
struct SSortRecord {
    BatchKey key;
    s32 depth;
    u16 object;
    uintptr_t material;
};
SSortRecord g_aSortRecords[BATCH_OBJECT_CAPACITY];

// keysInOrder is read only when the layer is sorted by key alone.
void sortSelected(u32 count, bool sortByDepth, bool sortByMaterial, bool keysInOrder) {
    u16* objects = g_auSelected;
    if (!sortByDepth && !sortByMaterial) {
        if (count < 2 || keysInOrder) return;
        const u32 padded = nextPowerOfTwo(count);
        for (u32 i = count; i < padded; ++i) objects[i] = 0xFFFFu;
        mergeSortByKey(objects, padded);
        return;
    }
    for (u32 i = 0; i < count; ++i) {
        const u16 object = objects[i];
        g_aSortRecords[i] = SSortRecord{g_aKeys[object], sortByDepth ? depthOrder(g_afDepths[object]) : 0,
                                        object, materialOrder(object)};
    }
    // With depth: far (greater) first; records without depth all hold 0, leaving key and material.
    std::sort(g_aSortRecords, g_aSortRecords + count, [](const SSortRecord& a, const SSortRecord& b) {
        if (a.key != b.key) return a.key < b.key;
        if (a.depth != b.depth) return a.depth > b.depth;
        return a.material < b.material;
    });
    for (u32 i = 0; i < count; ++i) objects[i] = g_aSortRecords[i].object;
}

// Copies an object's indices without a library call: a quad's 6 and a wide line's 18 as one
// fixed-size copy each, others in 16-byte steps, the last step ending at the last index.
inline void copyIndices(u32* to, const u32* from, u32 count) {
    constexpr u32 quadIndices = 6;
    constexpr u32 wideLineIndices = 18;
    constexpr u32 step = 4;
    if (count == quadIndices) {
        std::memcpy(to, from, quadIndices * sizeof(u32));
    } else if (count == wideLineIndices) {
        std::memcpy(to, from, wideLineIndices * sizeof(u32));
    } else if (count < step) {
        for (u32 i = 0; i < count; ++i) to[i] = from[i];
    } else {
        for (u32 i = 0; i + step < count; i += step) std::memcpy(to + i, from + i, step * sizeof(u32));
        std::memcpy(to + count - step, from + count - step, step * sizeof(u32));
    }
}

// A layer's runs being built: the write position and drop count are kept here and stored back
// once, since the index copies could otherwise overwrite them as far as the compiler knows.
struct SRunWriter {
    u32* indices;
    u32 writePosition;
    u32 dropped;
};

// Appends the object's indices to the run list, extending the last run when it has the same
// material.
inline void addObjectToRuns(SRunWriter& writer, u32& runCount, SBatchRun* runs, u16 object, SBatchRun*& currentRun) {
    const SBatchIndexRange range = g_aIndexRanges[object];
    const SMaterial* material = g_apMaterials[object];
    const bool extends = currentRun && currentRun->material == material;
    if (range.count > BATCH_INDEX_CAPACITY - writer.writePosition || (!extends && runCount == BATCH_RUN_CAPACITY)) {
        ++writer.dropped;
        return;
    }
    if (extends) {
        currentRun->indexCount += range.count;
    } else {
        currentRun = &runs[runCount++];
        *currentRun = SBatchRun{material, writer.writePosition, range.count};
    }
    copyIndices(writer.indices + writer.writePosition, g_auStagedIndices + range.first, range.count);
    writer.writePosition += range.count;
}

void buildLayer(u32 layer, u32 layerMask, bool sortByDepth, bool sortByMaterial) {
    SBatcher& batcher = g_Batcher;
    if (layer >= BATCH_LAYER_COUNT) fatalErrorf("batch layer %u does not exist", layer);
    if (!batcher.lockedVertices || !batcher.lockedIndices) return;

    const bool byKeyAlone = !sortByDepth && !sortByMaterial;
    bool keysInOrder = true;
    const u32 count =
        byKeyAlone ? selectObjects<true>(layerMask, keysInOrder) : selectObjects<false>(layerMask, keysInOrder);
    sortSelected(count, sortByDepth, sortByMaterial, keysInOrder);

    SRunWriter writer = {batcher.lockedIndices, batcher.indexWritePosition, 0};
    SBatchRun* currentRun = nullptr;
    s32 position = -1;
    BatchKey runKey = 0;
    for (u32 i = 0; i < count; ++i) {
        const u16 object = g_auSelected[i];
        const BatchKey key = g_aKeys[object];
        if (i == 0 || key != runKey) {
            runKey = key;
            position = keyPosition(key);
            currentRun = nullptr;
            if (position >= 0)
                g_auRunCounts[layer][position] = 0;
            else
                writeLog(findLog(BATCH_LOG_NAME), "batcher: layer %u skips objects of unregistered key %#llx", layer,
                         static_cast<unsigned long long>(key));
        }
        if (position >= 0)
            addObjectToRuns(writer, g_auRunCounts[layer][position], g_aRuns[layer][position], object, currentRun);
    }
    batcher.indexWritePosition = writer.writePosition;
    if (writer.dropped != 0)
        writeLog(findLog(BATCH_LOG_NAME), "batcher: layer %u dropped %u objects (index buffer or run list full)", layer,
                 writer.dropped);
}

}  // namespace

bool createBatchBuffers(bool resetKeys) {
    SBatcher& batcher = g_Batcher;
    if (resetKeys) {
        batcher.keys[0] = BATCH_KEY_MAIN_SCENE;
        batcher.keyCount = 1;
    }
    if (batcher.ready) return true;
    if (!createBatchDeviceBuffers()) return false;
    batcher.lock = critSectionCreateOrDie("geometry batcher");
    batcher.lockedBuffer = -1;
    batcher.lockedVertices = nullptr;
    batcher.lockedIndices = nullptr;
    batcher.vertexCount = batcher.objectCount = batcher.stagedIndexCount = batcher.indexWritePosition = 0;
    batcher.ready = true;
    return true;
}

void releaseBatchBuffers() {
    SBatcher& batcher = g_Batcher;
    if (!batcher.ready) return;
    critSectionEnter(batcher.lock);
    batcher.ready = false;
    if (batcher.lockedBuffer >= 0) unlockBatchDeviceBuffers(static_cast<u32>(batcher.lockedBuffer));
    batcher.lockedBuffer = -1;
    batcher.lockedVertices = nullptr;
    batcher.lockedIndices = nullptr;
    critSectionLeave(batcher.lock);
    critSectionDestroy(batcher.lock);
    batcher.lock = nullptr;
    releaseBatchDeviceBuffers();
}


void beginBatchFrame() {
    SBatcher& batcher = g_Batcher;
    if (!batcher.ready) return;
    critSectionEnter(batcher.lock);
    if (batcher.lockedBuffer >= 0) unlockBatchDeviceBuffers(static_cast<u32>(batcher.lockedBuffer));
    batcher.bufferIndex ^= 1u;
    lockBatchDeviceBuffers(batcher.bufferIndex, &batcher.lockedVertices, &batcher.lockedIndices);
    batcher.lockedBuffer = static_cast<s32>(batcher.bufferIndex);
    batcher.vertexCount = batcher.objectCount = batcher.stagedIndexCount = batcher.indexWritePosition = 0;
    std::memset(g_auRunCounts, 0, sizeof g_auRunCounts);
    critSectionLeave(batcher.lock);
}

void unlockBatchBuffers() {
    SBatcher& batcher = g_Batcher;
    if (!batcher.ready) return;
    critSectionEnter(batcher.lock);
    if (batcher.lockedBuffer >= 0) unlockBatchDeviceBuffers(static_cast<u32>(batcher.lockedBuffer));
    batcher.lockedBuffer = -1;
    batcher.lockedVertices = nullptr;
    batcher.lockedIndices = nullptr;
    critSectionLeave(batcher.lock);
}

namespace {

// The counts may already be past a limit that leaves out the quad share.
bool fitsBelow(u32 count, u32 request, u32 limit) { return count <= limit && request <= limit - count; }

struct SBatchLimits {
    u32 objects;
    u32 vertices;  // never reached: a frame stays below it
    u32 indices;
};

constexpr SBatchLimits kWorldLimits = {BATCH_OBJECT_CAPACITY - BATCH_QUAD_SHARE,
                                       BATCH_VERTEX_CAPACITY - BATCH_QUAD_SHARE_VERTICES,
                                       BATCH_INDEX_CAPACITY - BATCH_QUAD_SHARE_INDICES};
constexpr SBatchLimits kQuadLimits = {BATCH_OBJECT_CAPACITY, BATCH_VERTEX_CAPACITY, BATCH_INDEX_CAPACITY};

SBatchReservation reserveWithin(u32 objects, u32 vertices, u32 indices, const SBatchLimits& limits) {
    SBatcher& batcher = g_Batcher;
    SBatchReservation reservation = {};
    if (!batcher.ready) return reservation;
    critSectionEnter(batcher.lock);
    const bool fits = batcher.ready && batchDeviceReady() && batcher.lockedVertices &&
                      fitsBelow(batcher.vertexCount, vertices, limits.vertices - 1) &&
                      fitsBelow(batcher.objectCount, objects, limits.objects) &&
                      fitsBelow(batcher.stagedIndexCount, indices, limits.indices);
    if (fits) {
        reservation.vertices = batcher.lockedVertices + batcher.vertexCount;
        reservation.stagedIndices = g_auStagedIndices + batcher.stagedIndexCount;
        reservation.firstStagedIndex = batcher.stagedIndexCount;
        reservation.vertexBase = batcher.vertexCount;
        reservation.layerMasks = g_auLayerMasks + batcher.objectCount;
        reservation.indexRanges = g_aIndexRanges + batcher.objectCount;
        reservation.depths = g_afDepths + batcher.objectCount;
        reservation.materials = g_apMaterials + batcher.objectCount;
        reservation.keys = g_aKeys + batcher.objectCount;
        batcher.vertexCount += vertices;
        batcher.objectCount += objects;
        batcher.stagedIndexCount += indices;
    }
    critSectionLeave(batcher.lock);
    // Producers that do not sort by depth leave it unwritten; the sort must never meet garbage.
    if (fits) std::fill(reservation.depths, reservation.depths + objects, 0.0f);
    return reservation;
}

}  // namespace

SBatchReservation reserveBatchGeometry(u32 objects, u32 vertices, u32 indices) {
    return reserveWithin(objects, vertices, indices, kWorldLimits);
}

SBatchReservation reserveBatchQuadGeometry(u32 objects, u32 vertices, u32 indices) {
    return reserveWithin(objects, vertices, indices, kQuadLimits);
}

s32 registerBatchTarget(BatchKey key) {
    SBatcher& batcher = g_Batcher;
    if (batcher.keyCount == BATCH_TARGET_KEY_CAPACITY || keyPosition(key) >= 0) return 0;
    batcher.keys[batcher.keyCount++] = key;
    return 1;
}

s32 unregisterBatchTarget(BatchKey key) {
    SBatcher& batcher = g_Batcher;
    const s32 position = keyPosition(key);
    if (position < 0) return 0;
    for (u32 i = static_cast<u32>(position) + 1; i < batcher.keyCount; ++i) batcher.keys[i - 1] = batcher.keys[i];
    --batcher.keyCount;
    return 1;
}

u32 batchTargetCount() { return g_Batcher.keyCount; }

void buildLayerDrawList(u32 layer, u32 layerMask, bool sortByDepth, bool sortByMaterial) {
    buildLayer(layer, layerMask, sortByDepth, sortByMaterial);
}

void drawBatchLayer(u32 layer, BatchKey key) {
    const SBatcher& batcher = g_Batcher;
    const u32 count = batchRunCount(layer, key);
    if (!batcher.ready || count == 0) return;
    selectBatchDeviceBuffers(batcher.bufferIndex);
    const SBatchRun* runs = batchRuns(layer, key);
    for (u32 i = 0; i < count; ++i) {
        applyMaterial(runs[i].material, identityTransformNode(), nullptr);
        gfxDrawIndexedPrimitive(E_GFX_PRIM_TRIANGLE_LIST, 0, 0, batcher.vertexCount, runs[i].firstIndex, runs[i].indexCount / 3);
    }
    endCurrentMaterial();
}

u32 batchRunCount(u32 layer, BatchKey key) {
    const s32 position = keyPosition(key);
    if (position < 0 || layer >= BATCH_LAYER_COUNT)
        fatalErrorf("batch runs of layer %u for key %#llx: no such layer or key", layer, static_cast<unsigned long long>(key));
    return g_auRunCounts[layer][position];
}

const SBatchRun* batchRuns(u32 layer, BatchKey key) {
    batchRunCount(layer, key);
    return g_aRuns[layer][keyPosition(key)];
}

u32 batchVertexCount() { return g_Batcher.vertexCount; }
u32 batchIndexWritePosition() { return g_Batcher.indexWritePosition; }
const SBatchVertex* batchLockedVertices() { return g_Batcher.lockedVertices; }
const u32* batchLockedIndices() { return g_Batcher.lockedIndices; }

u32 nextPowerOfTwo(u32 v) {
    --v;
    v |= v >> 1;
    v |= v >> 2;
    v |= v >> 4;
    v |= v >> 8;
    v |= v >> 16;
    return v + 1;
}
